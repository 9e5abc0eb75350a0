// The walk over the link lists and the dialog texts that follow it.
#include "search/find_files.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "engine/download.h"
#include "foundation/ansi.h"
#include "foundation/background_thread.h"
#include "foundation/errors.h"
#include "storage/document.h"

namespace tq {
namespace {

struct TFindList {
  TVornLinkList List;
  int ImageIndex;
};

// The lists searched, in search order; In Progress and Emails are not.
constexpr std::array<TFindList, 4> kFindLists = {{
    {ellReady, 0},
    {ellQueue, 1},
    {ellFailed, 2},
    {ellIgnored, 3},
}};

// Rows travel to the interface thread in batches of at most this many, sent when the gauge moves
// and after each list, so a walk over many matches is not one hand-over per row.
constexpr std::size_t kRowBatch = 256;

bool Contains(std::string_view address, std::string_view keyword, bool caseSensitive) {
  if (keyword.empty()) return false;
  if (caseSensitive) return address.find(keyword) != std::string_view::npos;
  // keyword is upper-cased already.
  return std::search(
             address.begin(), address.end(), keyword.begin(), keyword.end(), [](char a, char k) {
               return AnsiUpperChar(static_cast<unsigned char>(a)) == static_cast<unsigned char>(k);
             }) != address.end();
}

}  // namespace

TVornFindFiles::TVornFindFiles(TVornDownload& download) : m_download(download) {}

TVornFindFiles::~TVornFindFiles() {
  m_thread.reset();
}

std::string TVornFindFiles::Heading(std::string_view projectName) {
  return "Searching for files in \"" + std::string(projectName) + "\"";
}

void TVornFindFiles::Search(const std::string& keyword, bool caseSensitive) {
  if (!m_idle) return;
  m_thread.reset();
  m_items.clear();
  m_percent = 0;
  m_status = "Searching ...";
  m_idle = false;
  const std::string wanted = caseSensitive ? keyword : AnsiUpperCase(keyword);
  m_thread = std::make_unique<TVornBackgroundThread>("find-in-lists thread");
  m_thread->Start([this, wanted, caseSensitive](
                      TVornBackgroundThread& thread) { Walk(thread, wanted, caseSensitive); },
                  [this] {
                    m_idle = true;
                    m_status = std::to_string(m_items.size()) + " records found";
                    if (OnSearchEnd) OnSearchEnd(*this);
                  });
}

void TVornFindFiles::Cancel() {
  if (m_thread && !m_idle) m_thread->Terminate();
}

void TVornFindFiles::Walk(TVornBackgroundThread& thread, const std::string& keyword,
                          bool caseSensitive) {
  uint64_t total = 0;
  for (const TFindList& list : kFindLists) total += m_download.Links(list.List).Count();

  std::vector<TFindFileItem> batch;
  auto sendRows = [&] {
    if (batch.empty()) return;
    thread.Queue([this, rows = std::move(batch)] {
      const auto first = static_cast<int>(m_items.size());
      m_items.insert(m_items.end(), rows.begin(), rows.end());
      if (OnItemsAdded) OnItemsAdded(*this, first, static_cast<int>(rows.size()));
    });
    batch.clear();
  };

  int shown = 0;  // the gauge as the interface thread will have it
  for (std::size_t k = 0; k < kFindLists.size(); ++k) {
    // The lists before this one are counted as they are now, which may differ from the start.
    uint64_t offset = 0;
    for (std::size_t j = 0; j < k; ++j) offset += m_download.Links(kFindLists[j].List).Count();
    TVornBaseLinks& links = m_download.Links(kFindLists[k].List);
    const std::string_view status = LinkListRole(kFindLists[k].List).UserName;

    for (int i = 0; !thread.Terminated(); ++i) {
      std::optional<TFindFileItem> row;
      {
        TVornReadGuard guard(links.Lock());
        if (i >= links.Count()) break;
        const TVornLinkPtr link = links.Get(i);
        std::string url;
        try {
          url = link->GetUrl();
        } catch (const EVornError&) {
          // no address, nothing to match
        }
        if (Contains(url, keyword, caseSensitive)) {
          row = TFindFileItem{std::move(url), std::string(status), link->Level, link->Page(),
                              kFindLists[k].ImageIndex};
        }
      }
      const int percent = std::min(100, RoundPercent(offset + static_cast<uint64_t>(i), total));
      if (percent != shown) {
        shown = percent;
        sendRows();
        thread.Queue([this, percent] {
          m_percent = percent;
          if (OnProgress) OnProgress(*this, percent);
        });
      }
      if (row) batch.push_back(std::move(*row));
      if (batch.size() >= kRowBatch) sendRows();
    }
    sendRows();  // the next list's lock may keep the walk waiting
  }
}

}  // namespace tq
