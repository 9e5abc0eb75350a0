// The link lists of a project as text: one tab-separated line per link, the way the crawl, resume
// and list commands print them.
#pragma once

#include <optional>
#include <ostream>
#include <string_view>

#include "engine/download.h"
#include "engine/link_lists.h"

namespace tq::cli {

// The lists the commands print, in their order.
inline constexpr TVornLinkList kPrintedLists[] = {ellReady, ellQueue, ellFailed, ellIgnored,
                                                  ellEmail};

// The list a lower-case --list value names ("ready", "queue", "failed", "ignored", "emails").
std::optional<TVornLinkList> PrintedListNamed(std::string_view name);

// Writes every printed list (or only one) of download: the list's name, the address (the mail
// address for Emails), the level, the page, then the size (Ready), the error text (Failed) or
// the reason (Ignored). Control bytes inside a field are written as visible escapes
// (EscapeControls), so every link stays one line.
void PrintLists(std::ostream& out, TVornDownload& download,
                std::optional<TVornLinkList> only = std::nullopt);

}  // namespace tq::cli
