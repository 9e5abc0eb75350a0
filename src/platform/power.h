// Asking the machine to power off: logind's PowerOff on the bus at busAddress (empty: the system
// bus), interactive, so the desktop may ask the user for permission. The request only starts the
// shutdown. Any thread.
#pragma once

#include <string>

namespace tq {

// Raises EVornOSError with logind's answer when the request is refused or cannot be made.
void PowerOffSystem(const std::string& busAddress = {});

}  // namespace tq
