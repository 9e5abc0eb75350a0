// Fuzzes reading and rendering stored documents. Input: the first byte picks the content type
// (odd: an HTML page), the rest is the stored content; it is also cut into addresses for a header
// that must read back as written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/stored_document.h"

#include "fuzz_check.h"

namespace {

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return std::search(
             haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
             }) != haystack.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool html = data[0] & 1;
  const std::string_view content(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string contentType = html ? "Text/HTML; charset=x" : "image/gif";

  const std::string page =
      tq::RenderStoredDocument(contentType, content, [](int number, const std::string& address) {
        return number % 2 ? tq::LinkPlaceholder(number + 1) : address + "&\"";
      });
  if (!html) {
    FUZZ_CHECK(page == content);
  } else {
    // Lines are joined with CR LF only, and the page ends with one.
    for (std::size_t i = 0; i < page.size(); ++i) {
      if (page[i] == '\r') FUZZ_CHECK(i + 1 < page.size() && page[i + 1] == '\n');
      if (page[i] == '\n') FUZZ_CHECK(i > 0 && page[i - 1] == '\r');
    }
    FUZZ_CHECK(page.empty() || page.substr(page.size() - 2) == "\r\n");
  }

  // A header written from pieces of the input reads back as written.
  std::vector<std::string> addresses;
  for (std::size_t start = 0; start < content.size() && addresses.size() < 20;) {
    const std::size_t end =
        std::min(content.size(), start + 1 + static_cast<std::size_t>(data[start % size]) % 24);
    addresses.emplace_back(content.substr(start, end - start));
    start = end;
  }
  tq::TStoredDocumentWriter writer;
  for (const auto& address : addresses) writer.AddLink(address);
  const std::string body = "<p>" + std::string(content.substr(0, 64));
  if (!ContainsNoCase(body, "TARNQUILL DOCUMENT CONTENT")) {
    const tq::TStoredDocument read =
        tq::ParseStoredDocument(writer.Build(std::string(content.substr(0, 40)), body));
    // Every link keeps its number; plain addresses read back exactly.
    FUZZ_CHECK(read.Links.size() == addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i)
      if (addresses[i].find_first_of(std::string("\r\n<>\"\0", 6)) == std::string::npos &&
          !ContainsNoCase(addresses[i], "TARNQUILL DOCUMENT"))
        FUZZ_CHECK(read.Links[i] == addresses[i]);
  }
  return 0;
}
