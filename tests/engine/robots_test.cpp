// Reading robots.txt: which group applies to the crawler, and which rule decides for a path.
#include "engine/robots.h"

#include <gtest/gtest.h>

namespace tq::test {
namespace {

TEST(RobotsRules, TheCrawlersGroupAndTheLongestRuleDecide) {
  const std::string general =
      "# everyone\n"
      "User-agent: *\n"
      "Disallow: /private/\n"
      "Allow: /private/open/\n"
      "Disallow: /*.cgi$\n"
      "Disallow: /tmp\n"
      "Allow: /tmp\n"
      "Disallow:\n"
      "Sitemap: http://h/map.xml\n";
  const std::string named = general +
                            "\n"
                            "User-agent: OtherBot\n"
                            "User-Agent: tarnquill # us, whatever the case\n"
                            "Disallow: /only-for-us\n";
  struct Case {
    const std::string* text;
    const char* agent;
    const char* path;
    bool allowed;
  };
  const Case cases[] = {
      {&general, "Tarnquill/1.0", "/index.html", true},
      {&general, "Tarnquill/1.0", "/private/a.html", false},
      {&general, "Tarnquill/1.0", "/privateer.html", true},
      {&general, "Tarnquill/1.0", "/private/open/a.html", true},  // the longer rule
      {&general, "Tarnquill/1.0", "/bin/x.cgi", false},
      {&general, "Tarnquill/1.0", "/bin/x.cgi?y=1", true},  // "$" ties the end
      {&general, "Tarnquill/1.0", "/tmp/x", true},          // Allow wins a tie
      {&general, "Tarnquill/1.0", "/robots.txt", true},
      // A group naming the crawler replaces the general one.
      {&named, "Mozilla/5.0 (compatible; Tarnquill/1.0)", "/private/a.html", true},
      {&named, "Mozilla/5.0 (compatible; Tarnquill/1.0)", "/only-for-us/x", false},
      {&named, "Tarnquillity/2", "/private/a.html", false},  // a word, not a part of one
      {&named, "Tarnquillity/2", "/only-for-us/x", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.agent) + " " + c.path);
    EXPECT_EQ(TVornRobotsRules::Parse(*c.text, c.agent).Allows(c.path), c.allowed);
  }
}

TEST(Robots, EachServerIsAskedOnceAndOneWithoutAnAnswerRefusesNothing) {
  std::vector<std::string> asked;
  TVornRobots robots;
  robots.Reset("Tarnquill", [&](const std::string& url) -> std::optional<std::string> {
    asked.push_back(url);
    if (url == "http://h:8080/robots.txt") return "User-agent: *\nDisallow: /no\n";
    return std::nullopt;
  });
  EXPECT_FALSE(robots.Allows("http://h:8080/no/a.html"));
  EXPECT_TRUE(robots.Allows("http://h:8080/yes.html#no"));
  EXPECT_TRUE(robots.Allows("http://gone/no/a.html"));
  EXPECT_TRUE(robots.Allows("http://gone/no/b.html"));
  EXPECT_TRUE(robots.Allows("ftp://h:8080/no/a.txt"));
  EXPECT_EQ(asked,
            (std::vector<std::string>{"http://h:8080/robots.txt", "http://gone/robots.txt"}));
}

}  // namespace
}  // namespace tq::test
