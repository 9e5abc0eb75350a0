// Link list operations driven by the input: appends, deletes at the front and in the middle,
// changed pages and texts; after each, every look-up must agree with a plain scan of the list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/links.h"
#include "foundation/errors.h"
#include "foundation/url.h"
#include "fuzz_check.h"

namespace {

const char* const kTexts[] = {"http://h/a",   "http://h/a?x=1", "http://h/a?x=2#f",
                              "http://h/b#f", "mailto:m@h",     "mailto:m@h?s=1",
                              "mailto:#t",    "javascript:x()", "p.html?q=1",
                              "/r.html",      "#top",           "?q=1"};
const char* const kPages[] = {"http://h/d/page.html", "http://g/e/x.html?y=1"};

int Scan(tq::TVornBaseLinks& list, int mode, const std::string& url) {
  const std::string wanted = tq::StripUrlQuery(url);
  for (int i = 0; i < list.Count(); ++i) {
    const auto link = list.Get(i);
    for (const std::string& have : {link->GetUrl(), link->GetMailAddress()}) {
      if (have.empty()) continue;
      if (mode == tq::kFindExact ? have == url : tq::StripUrlQuery(have) == wanted) return i;
    }
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tq::TVornBaseLinks list;
  std::vector<std::string> probes;
  for (size_t at = 0; at + 1 < size && at < 2000; at += 2) {
    const uint8_t op = data[at] % 8;
    const uint8_t arg = data[at + 1];
    std::string text = kTexts[arg % std::size(kTexts)];
    if (arg >= 240 && at + 4 < size)
      text = std::string(reinterpret_cast<const char*>(data + at + 2), 3);
    try {
      if (op < 4 || list.Count() == 0) {
        auto link = std::make_shared<tq::TVornLink>();
        link->SetPage(kPages[op % 2]);
        link->SetText(text);
        list.Add(link);
        probes.push_back(link->GetUrl().empty() ? link->GetMailAddress() : link->GetUrl());
      } else if (op < 6) {
        list.Delete(op == 4 ? 0 : arg % list.Count());
      } else {
        auto link = list.Get(arg % list.Count());
        if (op == 6)
          link->SetPage(kPages[arg % 2]);
        else
          link->SetText(text);
      }
    } catch (const tq::EVornError&) {
      continue;  // an address that cannot be resolved is refused, not a fault
    }
    for (const std::string& probe : probes) {
      for (int mode : {tq::kFindExact, tq::kFindQueryLess})
        FUZZ_CHECK(list.FindUrl(mode, probe) == Scan(list, mode, probe));
    }
    if (probes.size() > 16) probes.erase(probes.begin());
  }
  return 0;
}
