// The commands of the link lists' menus that change the engine's lists: a link moved from one
// list to another by its address, and the e-mail entries deleted or copied. Interface thread;
// each takes the source list's write lock for the search and the move, since the engine's
// threads change the same lists.
#pragma once

#include <string>

#include "engine/download.h"

namespace tq {

inline constexpr const char* kReasonIgnoredByUser = "Ignored by user";

// Moves the first link of from whose address is url to the end of to, as a copy whose Reason
// is set to reason when one is given. False when from holds no such address.
bool MoveLinkByUrl(TVornBaseLinks& from, TVornBaseLinks& to, const std::string& url,
                   const char* reason = nullptr);

enum TMailCommand : int { mcDelete, mcCut, mcCopy };

// Acts on the first e-mail entry whose mail address is address: Cut and Copy put the address on
// the clipboard as text, Delete and Cut remove the entry. False when there is no such entry.
bool RunMailCommand(TVornBaseLinks& emails, const std::string& address, TMailCommand command);

}  // namespace tq
