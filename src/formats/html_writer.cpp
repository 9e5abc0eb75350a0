// HTML writer.
#include "formats/html_writer.h"

#include <array>

#include "foundation/html_escape.h"

namespace tq {
namespace {

TEscapeContext ContextOf(THtmlItemKind kind) {
  switch (kind) {
    case THtmlItemKind::hikScriptText:
      return TEscapeContext::ecxScript;
    case THtmlItemKind::hikStyleText:
      return TEscapeContext::ecxStyle;
    case THtmlItemKind::hikLiteralText:
      return TEscapeContext::ecxLiteral;
    default:
      return TEscapeContext::ecxMarkup;
  }
}

std::u16string_view Trim(std::u16string_view s) {
  const auto isSpace = [](char16_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

bool IsVoidEndTag(const THtmlItem& item) {
  static constexpr std::array<std::string_view, 7> kVoid{"area",  "base", "bgsound", "img",
                                                         "input", "link", "meta"};
  if (item.Kind != THtmlItemKind::hikEndTag) return false;
  for (auto name : kVoid)
    if (HtmlNameEquals(item.Name, name)) return true;
  return false;
}

THtmlWriter::THtmlWriter()
    : m_encoder(&StoredCharsetEncoder()),
      m_label(kStoredCharset),
      m_contentValue(kStoredContentType) {}

THtmlWriter::THtmlWriter(const TCharsetEncoder& encoder, std::string label)
    : m_encoder(&encoder),
      m_label(std::move(label)),
      m_contentValue("text/html;charset=" + m_label) {}

void THtmlWriter::Write(const THtmlItem& item) {
  if (IsVoidEndTag(item)) return;
  m_encoder->Append(item.Source, ContextOf(item.Kind), m_out);
}

void THtmlWriter::WriteCurrent(THtmlTokenizer& tokenizer) {
  if (tokenizer.Item().Kind == THtmlItemKind::hikStartTag)
    WriteStartTag(tokenizer.StartTag());
  else
    Write(tokenizer.Item());
}

void THtmlWriter::WriteStartTag(const THtmlStartTag& tag) {
  if (!tag.Modified()) {
    m_encoder->Append(tag.Source(), TEscapeContext::ecxMarkup, m_out);
    return;
  }
  m_out += '<';
  WriteText(tag.Name());
  for (const auto& attribute : tag.Attributes()) {
    if (attribute.Removed) continue;
    m_out += ' ';
    WriteText(attribute.Name);
    if (attribute.HasValue) {
      m_out += '=';
      WriteValue(attribute);
    }
  }
  m_out += tag.SelfClosing() ? "/>" : ">";
}

void THtmlWriter::WriteValue(const THtmlAttribute& attribute) {
  if (attribute.NewValue) {
    // A value set by the caller is plain text: escape what would end or alter it.
    std::u16string escaped;
    escaped.reserve(attribute.NewValue->size());
    AppendHtmlEscaped(std::u16string_view(*attribute.NewValue), escaped, heQuotedValue);
    m_out += '"';
    WriteText(escaped);
    m_out += '"';
    return;
  }
  // A value kept from the source keeps its references as written; only its quoting may change.
  const std::u16string_view raw = attribute.RawValue;
  char16_t quote = attribute.Quote;
  if (quote == 0)
    quote = raw.find(u'"') == std::u16string_view::npos    ? u'"'
            : raw.find(u'\'') == std::u16string_view::npos ? u'\''
                                                           : 0;
  if (quote != 0) {
    m_out += static_cast<char>(quote);
    WriteText(raw);
    m_out += static_cast<char>(quote);
    return;
  }
  std::u16string escaped;
  for (char16_t c : raw) {
    if (c == '"')
      escaped += u"&quot;";
    else
      escaped += c;
  }
  m_out += '"';
  WriteText(escaped);
  m_out += '"';
}

bool THtmlWriter::DeclareCharset(THtmlStartTag& tag) const {
  if (!tag.NameIs("meta")) return false;
  bool declared = false;
  if (tag.HasAttribute("charset")) {
    tag.SetAttribute("charset", m_label);
    declared = true;
  }
  const auto equiv = tag.GetAttribute("http-equiv");
  if (equiv) {
    const std::u16string wide = Utf8ToUtf16(*equiv);
    if (HtmlNameEquals(Trim(wide), "content-type")) {
      tag.SetAttribute("content", m_contentValue);
      declared = true;
    }
  }
  return declared;
}

}  // namespace tq
