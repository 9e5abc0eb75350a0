// Fuzzes the link analyser. Input: a charset label on the first line (used as the Content-Type
// charset; its first byte also picks the page address), then the page. Checks: the analysis
// completes, the header lists exactly the links found, every placeholder in the copy names one of
// them, no header line holds a line break, and the copy renders.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/content.h"
#include "formats/html_rewrite.h"
#include "formats/stored_document.h"

#include "fuzz_check.h"

namespace {

constexpr const char* kPages[] = {"http://h/dir/index.html", "https://h:8080/a/b?x=/y#z",
                                  "ftp://f/pub/", "http://h", ""};

// A page may itself hold the placeholder character (as a byte or a reference); its text is
// copied as it stands, so only pages without it can be checked for foreign placeholders.
bool MayHoldPlaceholders(std::string_view page, std::string_view contentType) {
  if (tq::DecodeHtml(page, contentType).Text.find(u'\u00A4') != std::u16string::npos) return true;
  for (std::size_t at = page.find('&'); at != std::string_view::npos; at = page.find('&', at + 1))
    if (at + 1 < page.size() && (page[at + 1] == '#' || (page[at + 1] | 0x20) == 'c')) return true;
  return false;
}

void CheckCopy(const tq::TVornContent& content, bool checkPlaceholders) {
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
  // Every placeholder the analyser wrote names a link of the page.
  if (!checkPlaceholders) return;
  const std::string_view body(out.data() + header.size(), out.size() - header.size());
  for (std::size_t at = body.find("\xA4\xA4"); at != std::string_view::npos;
       at = body.find("\xA4\xA4", at + 2)) {
    std::size_t end = at + 2;
    int number = 0;
    while (end < body.size() && body[end] >= '0' && body[end] <= '9' && number < 1000000)
      number = number * 10 + (body[end++] - '0');
    if (end == at + 2 || body.substr(end, 2) != "\xA4\xA4") continue;
    FUZZ_CHECK(number < count);
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
  const bool checkPlaceholders = !MayHoldPlaceholders(page, contentType);
  content.Analyze(page, contentType);
  CheckCopy(content, checkPlaceholders);
  FUZZ_CHECK(handed == content.Links()->Count());
  // The same page against another address gives the same number of placeholders in the copy.
  content.SetBaseUrl("http://other/x/y.html");
  CheckCopy(content, checkPlaceholders);
  return 0;
}
