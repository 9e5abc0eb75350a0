// Fuzzes what an HTTP answer's head tells a transfer: the first line of the input is the page's
// address, the rest the head's lines. Nothing may crash; no size is negative; a status line
// starts the head anew; a Location becomes a link without line breaks, and the redirect page
// stored for it names that link and nothing else.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/http_connection.h"
#include "engine/link.h"
#include "formats/stored_document.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string page(NextPart(rest));

  TResponseHead head;
  while (!rest.empty()) {
    const TResponseHead::TLine kind = head.Read(NextPart(rest));
    FUZZ_CHECK(head.ContentLength >= 0);
    if (kind == TResponseHead::hlStatus) {
      FUZZ_CHECK(head.Location.empty() && head.ContentType.empty() && head.Challenges.empty());
      FUZZ_CHECK(head.StatusLine.starts_with("HTTP/"));
    }
    FUZZ_CHECK(head.StatusLine.empty() ||
               (head.StatusLine.back() != '\r' && head.StatusLine.back() != '\n'));
  }

  const std::string clean = CleanRedirectTarget(head.Location);
  FUZZ_CHECK(clean.find_first_of("\r\n\t") == std::string::npos);
  TVornLink target;
  target.SetPage(page);
  target.SetText(clean);
  const std::string url = target.GetUrl();
  const std::string stored = MakeRedirectPage(url, page);
  FUZZ_CHECK(stored.starts_with(kStoredLinksMarker));
  const TStoredDocument read = ParseStoredDocument(stored);
  FUZZ_CHECK(read.Links.size() <= 1);
  FUZZ_CHECK(!read.Lines.empty());
  return 0;
}
