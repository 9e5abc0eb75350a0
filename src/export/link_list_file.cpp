// Link-list and e-mail files.
#include "export/link_list_file.h"

#include <algorithm>

#include "engine/download.h"
#include "foundation/atomic_file.h"
#include "storage/document.h"

namespace tq {
namespace {

bool Ticked(const std::vector<TVornLinkList>& ticked, TVornLinkList list) {
  return std::find(ticked.begin(), ticked.end(), list) != ticked.end();
}

}  // namespace

std::vector<std::string> LinkListLines(TVornDownload& download,
                                       const std::vector<TVornLinkList>& ticked,
                                       const std::function<void(int percent)>& progress,
                                       const std::atomic<bool>* stop) {
  uint64_t total = 0;
  for (const auto& [list, header] : kLinkListHeaders) {
    if (Ticked(ticked, list)) total += static_cast<uint64_t>(download.Links(list).Count());
  }
  std::vector<std::string> lines;
  uint64_t done = 0;
  for (const auto& [list, header] : kLinkListHeaders) {
    if (!Ticked(ticked, list)) continue;
    lines.emplace_back(header);
    TVornBaseLinks& links = download.Links(list);
    TVornReadGuard guard(links.Lock());
    for (int i = 0; i < links.Count(); ++i) {
      if (stop != nullptr && stop->load()) return lines;
      if (progress) progress(RoundPercent(done, total));
      ++done;
      try {
        lines.push_back(links.Get(i)->GetUrl());
      } catch (const EVornError&) {
        // A link without an address has no line.
      }
    }
  }
  return lines;
}

std::vector<std::string> EmailAddresses(TVornDownload& download) {
  std::vector<std::string> addresses;
  TVornBaseLinks& links = download.EmailLinks();
  TVornReadGuard guard(links.Lock());
  for (int i = 0; i < links.Count(); ++i) addresses.push_back(links.Get(i)->GetMailAddress());
  return addresses;
}

bool SaveTextLines(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return WriteFileAtomically(fileName, text);
}

}  // namespace tq
