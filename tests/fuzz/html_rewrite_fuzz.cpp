// Fuzzes the HTML tokenizer, writer and charset handling. Input: a charset label on the first line
// (used as the Content-Type charset), then the page. Checks: items cover the input exactly, an
// unedited windows-1252 write-back gives the input back, rewriting with edits never fails, and
// every attribute value splits into sound srcset candidates.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/charset.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"
#include "formats/srcset.h"
#include "formats/stored_document.h"

#include "fuzz_check.h"

namespace {

// Every item follows the previous one and together they are the whole text; written back with no
// edits in the same single-byte code page, the bytes come back, less the end tags HTML lacks and
// with NUL written as an escape.
void CheckIdentity(std::string_view bytes) {
  static const tq::TCharsetEncoder encoder("windows-1252");
  const std::u16string text = tq::DecodeBytes(bytes, "windows-1252");
  FUZZ_CHECK(text.size() == bytes.size());
  tq::THtmlTokenizer tokenizer(text);
  tq::THtmlWriter writer(encoder, "windows-1252");
  std::string expected;
  std::size_t position = 0;
  while (tokenizer.Next()) {
    const tq::THtmlItem& item = tokenizer.Item();
    FUZZ_CHECK(tokenizer.Position() == position && !item.Source.empty());
    FUZZ_CHECK(item.Source.data() == text.data() + position);
    const std::string nul = item.Kind == tq::THtmlItemKind::hikScriptText    ? "\\u0000"
                            : item.Kind == tq::THtmlItemKind::hikStyleText   ? "\\000000 "
                            : item.Kind == tq::THtmlItemKind::hikLiteralText ? "?"
                                                                             : "&#0;";
    if (!tq::IsVoidEndTag(item))
      for (char c : bytes.substr(position, item.Source.size()))
        expected += c == '\0' ? nul : std::string(1, c);
    position += item.Source.size();
    writer.WriteCurrent(tokenizer);
  }
  FUZZ_CHECK(position == text.size());
  FUZZ_CHECK(writer.Output() == expected);
}

// Every attribute value read as a srcset: candidates in order, inside the value, never empty,
// never holding a blank and never ending in a comma.
void CheckSrcset(std::string_view value) {
  std::size_t after = 0;
  for (const tq::TSrcsetCandidate& c : tq::ParseSrcset(value)) {
    FUZZ_CHECK(after <= c.Begin && c.Begin < c.End && c.End <= value.size());
    const std::string_view address = value.substr(c.Begin, c.End - c.Begin);
    FUZZ_CHECK(address.find_first_of(" \t\n\r\f") == std::string_view::npos);
    FUZZ_CHECK(address.front() != ',' && address.back() != ',');
    after = c.End;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view label =
      newline == std::string_view::npos || newline > 40 ? "" : input.substr(0, newline);
  const std::string_view page = label.empty() ? input : input.substr(newline + 1);

  CheckIdentity(page);

  // Replace every attribute value by a placeholder, drop one attribute and add one.
  int number = 0;
  const std::string copy = tq::RewriteHtml(
      page, "text/html; charset=" + std::string(label), [&](tq::THtmlStartTag& tag) {
        const std::size_t count = tag.Attributes().size();
        for (std::size_t i = 0; i < count; ++i) {
          if (tag.Attributes()[i].Removed) continue;
          const std::string name = tq::Utf16ToUtf8(tag.Attributes()[i].Name);
          CheckSrcset(tag.GetAttribute(name).value_or(""));
          tag.SetAttribute(name, tq::LinkPlaceholderText(number++) + "#\"&'<");
        }
        if (number % 3 == 0 && !tag.Attributes().empty())
          tag.RemoveAttribute(tq::Utf16ToUtf8(tag.Attributes()[0].Name));
        if (number % 5 == 0) tag.SetAttribute("data-x", "\xF0\x9F\x98\x80");
      });
  FUZZ_CHECK(copy.find('\0') == std::string::npos);
  // The copy reads back (by its own declaration) and renders.
  const tq::TDecodedHtml again = tq::DecodeHtml(copy, "");
  tq::THtmlTokenizer tokenizer(again.Text);
  while (tokenizer.Next()) {
  }
  tq::TStoredDocumentWriter links;
  for (int i = 0; i < number && i < 50; ++i) links.AddLink("http://h/" + std::to_string(i));
  (void)tq::RenderStoredDocument("text/html", links.Build("http://h/", copy));
  return 0;
}
