// The user-agent identity a connection sends, for the stored identity ordinals.
#include "options/internet_connection.h"

#include <gtest/gtest.h>

#include <set>

namespace tq::test {
namespace {

TEST(InternetConnectionTest, AgentStringFollowsTheIdentityTable) {
  struct Case {
    int ordinal;
    std::string custom, sent;
  };
  const Case cases[] = {
      {EaitTARNQUILL, "x",
       "Tarnquill: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Tarnquill/2.X"},
      {EaitOfflineExplorer, "",
       "Offline Explorer : Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) "
       "OfflineExplorer/2.0"},
      {EaitNetscape60, "",
       "Netscape: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Gecko/20020823 "
       "Netscape/6.0"},
      {Eait60, "", "IE: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.0.3705)"},
      {EaitAnonymous, "x", "Anonymous"},
      {EaitCustom, " My agent/1.0 ", " My agent/1.0 "},  // as typed, no label
      {EaitCustom, "", ""},
      {12, "x", ""},  // a hand-edited ordinal
      {255, "x", ""},  // the dialog's empty list choice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ordinal);
    TVornInternetConnection connection;
    connection.AgentIdentify = static_cast<TVornAgentIdentifyType>(c.ordinal);
    connection.CustomAgentIdentify = c.custom;
    EXPECT_EQ(connection.GetAgentString(), c.sent);
  }
}

TEST(InternetConnectionTest, FreshOptionsSendIe5AndEveryFixedIdentityIsDistinct) {
  TVornInternetConnection fresh;
  EXPECT_EQ(fresh.GetAgentString(),
            "IE: Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.1; .NET CLR 1.0.3705)");
  EXPECT_TRUE(fresh.UseMSIECookies);
  EXPECT_TRUE(fresh.AllowLocalConnectionOnly);
  std::set<std::string_view> agents, names;
  for (int i = 0; i < EaitCustom; ++i) {
    agents.insert(AgentIdentityString(static_cast<TVornAgentIdentifyType>(i)));
    names.insert(AgentIdentityName(static_cast<TVornAgentIdentifyType>(i)));
  }
  EXPECT_EQ(agents.size(), static_cast<size_t>(EaitCustom));
  EXPECT_EQ(names.size(), static_cast<size_t>(EaitCustom));
  EXPECT_EQ(AgentIdentityName(EaitOfflineExplorer), "Offline Explorer 2.6");
  EXPECT_EQ(AgentIdentityName(EaitNetscape47), "Netscape Comunicator 4.7");
}

}  // namespace
}  // namespace tq::test
