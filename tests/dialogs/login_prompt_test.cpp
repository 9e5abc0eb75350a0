// The login prompt's user list and the password a chosen user name fills in.
#include "dialogs/login_prompt.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(LoginPrompt, ListsNamedUsersInOrderAndFillsTheFirstPasswordOfAName) {
  TLoginRequest request;
  request.KnownUsers = {{"ann", "first"}, {"", "anonymous"}, {"bob", "b"}, {"ann", "second"}};
  EXPECT_EQ(LoginUserNames(request), (std::vector<std::string>{"ann", "bob", "ann"}));
  EXPECT_EQ(LoginPasswordFor(request, "ann"), "first");
  EXPECT_EQ(LoginPasswordFor(request, "bob"), "b");
  EXPECT_EQ(LoginPasswordFor(request, "carl"), "");
}

}  // namespace
}  // namespace tq
