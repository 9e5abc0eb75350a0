// Fuzzes the address helpers and the link record with link texts, pages and bases taken from the
// input (three parts separated by newlines). Nothing may crash, trip a sanitizer or throw; a
// link's address is canonical (its own canonical form) and holds no control byte when it begins
// with a scheme of the crawl's (anything else with one is refused at the transfer's door).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link.h"
#include "foundation/ansi.h"
#include "foundation/canonical_url.h"
#include "foundation/format.h"
#include "foundation/url.h"
#include "fuzz_check.h"

namespace {

void TakeApart(std::string_view url) {
  using namespace tq;
  (void)ExtractUrlServer(url);
  (void)StripUrlQuery(url);
  (void)ExtractUrlQuery(url);
  (void)ExtractUrlDir(url);
  (void)ExtractUrlFileName(url);
  (void)ExtractUrlFileExt(url);
  (void)GetUrlProtocol(url);
  (void)IsValidUrl(url);
  (void)AnsiUpperCase(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view rest = input;
  const std::string_view text = NextPart(rest);
  const std::string_view page = NextPart(rest);
  const std::string_view base = rest;

  (void)GetLinkKind(text, base);
  (void)GetLinkKind(text, page);
  (void)ResolveUrl(base, text, ExtractUrlServer(base));
  (void)ResolveUrl(StripUrlQuery(page), text, ExtractUrlServer(page));
  (void)ResolveUrl(page, text, base);  // a server that does not match the base
  (void)IsRelatedDomain(page, base);
  TakeApart(text);
  TakeApart(page);
  TakeApart(base);

  TVornLink link;
  link.SetPage(std::string(page));
  link.SetText(text);
  const std::string url = link.GetUrl();
  TakeApart(url);
  (void)link.GetMailAddress();
  FUZZ_CHECK(CanonicalUrl(url) == url);
  if (AnsiStartsText("http://", url) || AnsiStartsText("https://", url) ||
      AnsiStartsText("ftp://", url))
    FUZZ_CHECK(!HasControlByte(url));
  (void)RemoveDotSegments(text);
  (void)PercentDecode(text);

  std::vector<std::string> lines;
  StreamToLines(lines, input);

  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    (void)FormatFileSize(value);
    int32_t seconds;
    std::memcpy(&seconds, data, sizeof seconds);
    (void)FormatDuration(seconds);
  }
  return 0;
}
