// Fuzzes the link analyser. Input: a charset label on the first line (used as the Content-Type
// charset; its first byte also picks the page address), then the page. Checks: the analysis
// completes, the header lists exactly the links found, the copy holds no placeholder but those
// naming them (whatever currency signs the page held), no header line holds a line break, and the
// copy renders.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/content.h"
#include "formats/stored_document.h"

#include "fuzz_check.h"

namespace {

constexpr const char* kPages[] = {"http://h/dir/index.html", "https://h:8080/a/b?x=/y#z",
                                  "ftp://f/pub/", "http://h", ""};

void CheckCopy(const tq::TVornContent& content) {
  FUZZ_CHECK(content.Status() == tq::TVornAnalysisStatus::easDone);
  const std::string& out = content.Output();
  const tq::TStoredDocument stored = tq::ParseStoredDocument(out);
  const int count = content.Links()->Count();
  // The header is ours: its link lines are exactly the links, whatever the page held.
  const std::string header = out.substr(0, out.find(tq::kStoredContentMarker));
  std::size_t lines = 0;
  for (char c : header) {
    FUZZ_CHECK(c != '\n' && c != '\0');
    lines += c == '\r';
  }
  FUZZ_CHECK(lines == static_cast<std::size_t>(count) + 1);
  FUZZ_CHECK(stored.Links.size() >= static_cast<std::size_t>(count));
  (void)tq::RenderStoredDocument("text/html", out);
  for (int i = 0; i < count; ++i) {
    const auto link = content.Links()->Get(i);
    FUZZ_CHECK(link->Level == content.Level());
    FUZZ_CHECK(link->TagKind <= tq::eptUnknown);
  }
  // Two 0xA4 bytes in a row only ever begin a placeholder, and it names a link of the page:
  // whatever the page held itself is text.
  const std::string_view body(out.data() + header.size(), out.size() - header.size());
  for (std::size_t at = body.find("\xA4\xA4"); at != std::string_view::npos;
       at = body.find("\xA4\xA4", at + 2)) {
    std::size_t end = at + 2;
    int number = 0;
    while (end < body.size() && body[end] >= '0' && body[end] <= '9' && number < 1000000)
      number = number * 10 + (body[end++] - '0');
    FUZZ_CHECK(end > at + 2 && body.substr(end, 2) == "\xA4\xA4" && number < count);
    at = end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view label =
      newline == std::string_view::npos || newline > 40 ? "" : input.substr(0, newline);
  const std::string_view page = label.empty() ? input : input.substr(newline + 1);
  const char* address = kPages[(label.empty() ? 0 : static_cast<unsigned char>(label[0])) % 5];

  tq::TVornContent content(address, 1);
  int handed = -1;
  content.OnAnalysisEnd = [&](tq::TVornContent&, const std::shared_ptr<tq::TVornLevelLinks>& l) {
    handed = l->Count();
  };
  const std::string contentType = "text/html; charset=" + std::string(label);
  content.Analyze(page, contentType);
  CheckCopy(content);
  FUZZ_CHECK(handed == content.Links()->Count());
  // The same page against another address gives the same number of placeholders in the copy.
  content.SetBaseUrl("http://other/x/y.html");
  CheckCopy(content);
  return 0;
}
