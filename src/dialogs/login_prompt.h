// The logic of the login prompt, without widgets: which user names its list offers and which
// password choosing one fills in. Interface thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_service.h"

namespace tq {

// Every known user name that is not empty, in list order (a name listed twice shows twice).
std::vector<std::string> LoginUserNames(const TLoginRequest& request);

// The password of the first known credential with that user name; empty when none has it.
std::string LoginPasswordFor(const TLoginRequest& request, std::string_view user);

}  // namespace tq
