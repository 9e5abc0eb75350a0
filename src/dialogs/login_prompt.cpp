// The login prompt's user list.
#include "dialogs/login_prompt.h"

namespace tq {

std::vector<std::string> LoginUserNames(const TLoginRequest& request) {
  std::vector<std::string> names;
  for (const auto& [user, password] : request.KnownUsers) {
    if (!user.empty()) names.push_back(user);
  }
  return names;
}

std::string LoginPasswordFor(const TLoginRequest& request, std::string_view user) {
  for (const auto& [name, password] : request.KnownUsers) {
    if (name == user) return password;
  }
  return {};
}

}  // namespace tq
