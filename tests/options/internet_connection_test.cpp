// The user-agent identity a connection sends, for the stored identity ordinals.
#include "options/internet_connection.h"

#include <gtest/gtest.h>

namespace tq::test {
namespace {

TEST(InternetConnectionTest, AgentStringFollowsTheIdentityTable) {
  struct Case {
    int ordinal;  // -1: as a fresh object has it
    std::string custom, sent;
  };
  const Case cases[] = {
      {-1, "x", "IE: Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.1; .NET CLR 1.0.3705)"},
      {EaitTARNQUILL, "x",
       "Tarnquill: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Tarnquill/2.X"},
      {EaitOfflineExplorer, "",
       "Offline Explorer : Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) "
       "OfflineExplorer/2.0"},
      {EaitNetscape60, "",
       "Netscape: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Gecko/20020823 "
       "Netscape/6.0"},
      {EaitAnonymous, "x", "Anonymous"},
      {EaitCustom, " My agent/1.0 ", " My agent/1.0 "},  // as typed, no label
      {EaitCustom, "", ""},
      {12, "x", ""},   // a hand-edited ordinal
      {255, "x", ""},  // the dialog's empty list choice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ordinal);
    TVornInternetConnection connection;
    if (c.ordinal >= 0) connection.AgentIdentify = static_cast<TVornAgentIdentifyType>(c.ordinal);
    connection.CustomAgentIdentify = c.custom;
    EXPECT_EQ(connection.GetAgentString(), c.sent);
  }
}

}  // namespace
}  // namespace tq::test
