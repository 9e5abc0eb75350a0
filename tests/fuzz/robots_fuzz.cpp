// Fuzzes the robots.txt reader: the first line is the crawler's User-Agent, the second a path,
// the rest the file as a server sent it. Nothing may crash; every rule kept came from a line of
// the file, and the robots.txt itself is always allowed.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/robots.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view agent = NextPart(rest);
  const std::string_view path = NextPart(rest);

  const TVornRobotsRules rules = TVornRobotsRules::Parse(rest, agent);
  for (const TVornRobotsRules::TRule& rule : rules.Rules()) {
    FUZZ_CHECK(!rule.Pattern.empty());
    FUZZ_CHECK(rest.find(rule.Pattern) != std::string_view::npos);
  }
  rules.Allows(path);
  FUZZ_CHECK(rules.Allows("/robots.txt"));
  return 0;
}
