// The text files of the export wizard: the link-list file (the ticked lists, each under its
// header line, one absolute address a line) and the e-mail file (one address a line).
//
// Threads: the lists are read under their read locks, so any thread may build the lines while a
// crawl runs.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/link_lists.h"

namespace tq {

class TVornDownload;

// The lists a link-list file may hold with their header lines, in the order they are written.
inline constexpr std::array<std::pair<TVornLinkList, std::string_view>, 4> kLinkListHeaders = {{
    {ellReady, "[Links Ready]"},
    {ellQueue, "[Queue Links]"},
    {ellFailed, "[Failed Links]"},
    {ellIgnored, "[Ignored Links]"},
}};

// The lines of a link-list file holding the ticked lists (others than the four above are
// ignored). Before each address, progress (when set) gets the share of the ticked lists' links
// written so far; once stop (when given) is set the remaining links are left out.
std::vector<std::string> LinkListLines(TVornDownload& download,
                                       const std::vector<TVornLinkList>& ticked,
                                       const std::function<void(int percent)>& progress = {},
                                       const std::atomic<bool>* stop = nullptr);

// The addresses of the Emails list, in its order.
std::vector<std::string> EmailAddresses(TVornDownload& download);

// Writes lines, each ended by CR LF, replacing fileName whole (a crash leaves the old file or
// the new one). False when it cannot be written.
bool SaveTextLines(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace tq
