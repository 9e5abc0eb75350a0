// Page decoding and the rewriting loop.
#include "formats/html_rewrite.h"

#include <algorithm>

#include "formats/charset.h"
#include "foundation/ascii_case.h"
#include "foundation/html_escape.h"

namespace tq {
namespace {

std::string CharsetOfMeta(const THtmlStartTag& tag) {
  if (auto charset = tag.GetAttribute("charset")) return *charset;
  const auto equiv = tag.GetAttribute("http-equiv");
  if (!equiv) return {};
  const std::u16string wide = Utf8ToUtf16(*equiv);
  std::u16string_view trimmed = wide;
  while (!trimmed.empty() && trimmed.front() <= ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() <= ' ') trimmed.remove_suffix(1);
  if (!HtmlNameEquals(trimmed, "content-type")) return {};
  const auto content = tag.GetAttribute("content");
  return content ? CharsetFromContentType(*content) : std::string();
}

// The first known charset a META tag names before the body, tokenizing bytes read as Latin-1.
// Declarations are written in ASCII, so that finds them in every charset a page can declare
// itself in.
std::string ScanForMetaCharset(std::string_view bytes) {
  std::u16string widened(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) widened[i] = static_cast<unsigned char>(bytes[i]);
  THtmlTokenizer tokenizer(widened);
  while (tokenizer.Next()) {
    if (tokenizer.Item().Kind != THtmlItemKind::hikStartTag) continue;
    const THtmlStartTag& tag = tokenizer.StartTag();
    if (tag.NameIs("body")) break;
    if (!tag.NameIs("meta")) continue;
    const std::string declared = CharsetOfMeta(tag);
    if (declared.empty()) continue;
    std::string name = NormalizeCharsetName(declared);
    if (name.empty()) continue;  // a name no browser knows: look on, as browsers do
    // A page that can be read as ASCII to find its declaration is not UTF-16, whatever it says.
    if (name.rfind("UTF-16", 0) == 0) name = "UTF-8";
    return name;
  }
  return {};
}

}  // namespace

std::string FindMetaCharset(std::string_view bytes) {
  // Browsers look in the first 1024 bytes, where nearly every declaration is; the whole page up
  // to its body is widened and read only when they hold none. A tag or comment cut off at the
  // limit runs to the end of the short look and hides what follows, as in a browser's prescan.
  constexpr std::size_t kPrescanBytes = 1024;
  if (bytes.size() > kPrescanBytes) {
    std::string found = ScanForMetaCharset(bytes.substr(0, kPrescanBytes));
    if (!found.empty()) return found;
  }
  return ScanForMetaCharset(bytes);
}

TDecodedHtml DecodeHtml(std::string_view bytes, std::string_view contentType) {
  TDecodedHtml result;
  std::string_view body = bytes;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") {
    result.Charset = "UTF-8";
    body.remove_prefix(3);
  } else if (body.substr(0, 2) == "\xFF\xFE") {
    result.Charset = "UTF-16LE";
    body.remove_prefix(2);
  } else if (body.substr(0, 2) == "\xFE\xFF") {
    result.Charset = "UTF-16BE";
    body.remove_prefix(2);
  }
  if (!result.Charset.empty()) {
    result.Source = THtmlCharsetSource::hcsByteOrderMark;
  } else if (result.Charset = FindMetaCharset(bytes); !result.Charset.empty()) {
    result.Source = THtmlCharsetSource::hcsMeta;
  } else if (result.Charset = NormalizeCharsetName(CharsetFromContentType(contentType));
             !result.Charset.empty()) {
    result.Source = THtmlCharsetSource::hcsContentType;
  } else {
    result.Charset = NormalizeCharsetName(kDefaultCharset);
    result.Source = THtmlCharsetSource::hcsDefault;
  }
  result.Text = DecodeBytes(body, result.Charset);
  // A page's own placeholder mark would be written as a placeholder byte.
  std::replace(result.Text.begin(), result.Text.end(), kPlaceholderMark, u'\uFFFD');
  return result;
}

std::string RewriteHtml(std::string_view bytes, std::string_view contentType,
                        const TStartTagHook& onStartTag, THtmlWriter& writer,
                        const TStyleTextHook& onStyleText) {
  const TDecodedHtml page = DecodeHtml(bytes, contentType);
  THtmlTokenizer tokenizer(page.Text);
  writer.Reserve(writer.Output().size() + bytes.size() + bytes.size() / 8);
  while (tokenizer.Next()) {
    if (tokenizer.Item().Kind == THtmlItemKind::hikStartTag) {
      THtmlStartTag& tag = tokenizer.StartTag();
      if (onStartTag) onStartTag(tag);
      writer.DeclareCharset(tag);
      writer.WriteStartTag(tag);
    } else {
      if (onStyleText && tokenizer.Item().Kind == THtmlItemKind::hikStyleText)
        onStyleText(tokenizer.Item().Source);
      writer.Write(tokenizer.Item());
    }
  }
  return writer.TakeOutput();
}

std::string RewriteHtml(std::string_view bytes, std::string_view contentType,
                        const TStartTagHook& onStartTag) {
  THtmlWriter writer;
  return RewriteHtml(bytes, contentType, onStartTag, writer);
}

std::string ReplaceBaseHrefs(std::string page,
                             const std::function<std::string(const std::string& href)>& rebase) {
  const std::string_view needle = "<base";
  if (std::search(page.begin(), page.end(), needle.begin(), needle.end(),
                  [](char a, char b) { return AsciiLower(a) == b; }) == page.end())
    return page;
  // One unit per byte, so the tokenizer's offsets are byte offsets of the page.
  std::u16string widened(page.size(), u'\0');
  for (std::size_t i = 0; i < page.size(); ++i) widened[i] = static_cast<unsigned char>(page[i]);
  std::string out;
  std::size_t copied = 0;
  THtmlTokenizer tokenizer(widened);
  while (tokenizer.Next()) {
    if (tokenizer.Item().Kind != THtmlItemKind::hikStartTag) continue;
    const THtmlStartTag& tag = tokenizer.StartTag();
    if (!tag.NameIs("base")) continue;
    for (const THtmlAttribute& attribute : tag.Attributes()) {
      if (!HtmlNameEquals(attribute.Name, "href") || !attribute.HasValue) continue;
      std::string href;
      for (char16_t c : DecodeCharacterReferences(attribute.RawValue))
        href += c <= 0xFF ? static_cast<char>(c) : '?';
      std::string value = "\"";
      AppendHtmlEscaped(std::string_view(rebase(href)), value, heQuotedValue);
      value += '"';
      // The value's span, with its quotes when it has them.
      const std::size_t quote = attribute.Quote != 0 ? 1 : 0;
      const std::size_t begin =
          static_cast<std::size_t>(attribute.RawValue.data() - widened.data()) - quote;
      out.append(page, copied, begin - copied);
      out += value;
      copied = begin + attribute.RawValue.size() + 2 * quote;
      break;  // the first href counts, as in browsers
    }
  }
  if (copied == 0) return page;
  out.append(page, copied);
  return out;
}

}  // namespace tq
