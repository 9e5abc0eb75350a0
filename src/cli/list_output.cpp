// Printing the link lists as tab-separated lines.
#include "cli/list_output.h"

#include <string>
#include <vector>

#include "cli/text_escape.h"
#include "foundation/errors.h"

namespace tq::cli {
namespace {

// One field of a line: a server's error text and a page's addresses may hold anything.
std::string Field(std::string_view text) {
  return EscapeControls(text);
}

std::string AddressOf(const TVornLink& link, TVornLinkList list) {
  try {
    return list == ellEmail ? link.GetMailAddress() : link.GetUrl();
  } catch (const EVornError&) {
    return {};  // a link whose address cannot be computed still gets its line
  }
}

}  // namespace

std::vector<std::string> ListNames(bool withEmails) {
  std::vector<std::string> names;
  for (const TNamedList& named : kNamedLists) {
    if (withEmails || named.List != ellEmail) names.emplace_back(named.Name);
  }
  return names;
}

std::optional<TVornLinkList> ListNamed(std::string_view name) {
  for (const TNamedList& named : kNamedLists) {
    if (named.Name == name) return named.List;
  }
  return std::nullopt;
}

void PrintLists(std::ostream& out, TVornDownload& download, std::optional<TVornLinkList> only) {
  for (const TNamedList& named : kNamedLists) {
    const TVornLinkList list = named.List;
    if (only && *only != list) continue;
    TVornBaseLinks& links = download.Links(list);
    std::vector<TVornLinkPtr> held;
    links.BeginRead();
    held.reserve(static_cast<size_t>(links.Count()));
    for (int i = 0; i < links.Count(); ++i) held.push_back(links.Get(i));
    links.EndRead();

    const std::string_view name = LinkListRole(list).UserName;
    for (const TVornLinkPtr& link : held) {
      out << name << '\t' << Field(AddressOf(*link, list)) << '\t' << link->Level << '\t'
          << Field(link->Page());
      if (list == ellReady) out << '\t' << link->Size;
      if (list == ellReady && !link->GoneSince.empty())
        out << '\t' << kGoneText << " (since " << link->GoneSince << ", " << Field(link->ErrorText)
            << ')';
      if (list == ellFailed) out << '\t' << Field(link->ErrorText);
      if (list == ellIgnored) out << '\t' << Field(link->Reason);
      out << '\n';
    }
  }
}

}  // namespace tq::cli
