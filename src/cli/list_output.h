// The link lists of a project as text: one tab-separated line per link, the way the crawl, resume
// and list commands print them.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download.h"
#include "engine/link_lists.h"

namespace tq::cli {

// The lists the commands print, in their order, each under the name its options take (--list of
// the project commands, --lists of links).
struct TNamedList {
  TVornLinkList List;
  std::string_view Name;
};
inline constexpr TNamedList kNamedLists[] = {{ellReady, "ready"},
                                             {ellQueue, "queue"},
                                             {ellFailed, "failed"},
                                             {ellIgnored, "ignored"},
                                             {ellEmail, "emails"}};

// The names in that order; without the e-mails, the four lists a link-list file holds.
std::vector<std::string> ListNames(bool withEmails = true);
// The list a name stands for; none for any other text.
std::optional<TVornLinkList> ListNamed(std::string_view name);

// Writes every printed list (or only one) of download: the list's name, the address (the mail
// address for Emails), the level, the page, then the size (Ready), the error text (Failed) or
// the reason (Ignored). Control bytes inside a field are written as visible escapes
// (EscapeControls), so every link stays one line.
void PrintLists(std::ostream& out, TVornDownload& download,
                std::optional<TVornLinkList> only = std::nullopt);

}  // namespace tq::cli
