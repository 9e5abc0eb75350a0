// Rendering exported documents with the export's link mapping.
#include "export/export_render.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "engine/content.h"
#include "export/export_path.h"
#include "formats/charset.h"
#include "formats/css_tokenizer.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"
#include "formats/stored_document.h"
#include "foundation/canonical_url.h"
#include "foundation/url.h"

namespace tq {
namespace {

constexpr std::string_view kExportCharset = "utf-8";
constexpr std::string_view kExportCharsetDeclaration = "<meta charset=\"utf-8\" />";

// A processing instruction with an XML declaration's encoding made UTF-8, for the tools that
// read the page as XML.
std::u16string WithUtf8Encoding(std::u16string_view item) {
  std::u16string out(item);
  if (!item.starts_with(u"<?xml")) return out;
  const std::size_t name = item.find(u"encoding");
  if (name == std::u16string_view::npos) return out;
  std::size_t p = name + 8;
  while (p < item.size() && (item[p] == ' ' || item[p] == '=')) ++p;
  if (p >= item.size() || (item[p] != '"' && item[p] != '\'')) return out;
  const std::size_t close = item.find(item[p], p + 1);
  if (close == std::u16string_view::npos) return out;
  out.replace(p + 1, close - p - 1, u"UTF-8");
  return out;
}

// The code point of the numeric character reference at text[at] ("&#233;", "&#xE9;"), and the
// reference's length; {0, 0} when none stands there.
std::pair<uint32_t, std::size_t> NumericReference(std::string_view text, std::size_t at) {
  if (text.substr(at, 2) != "&#") return {0, 0};
  std::size_t p = at + 2;
  const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
  if (hex) ++p;
  const std::size_t digits = p;
  uint32_t cp = 0;
  for (; p < text.size() && p - digits < 8; ++p) {
    const char c = text[p];
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (v < 0) break;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
  }
  if (p == digits || p >= text.size() || text[p] != ';') return {0, 0};
  return {cp, p + 1 - at};
}

// Numeric references to characters the stored code page could not hold are how the copy kept
// them: the page is UTF-8 now, so they become characters again, which editors and grep see.
// Markup characters and the C1 range (which browsers read as windows-1252) keep their
// references, as do noncharacters and the ranges in verbatim, where nothing reads references.
std::string ResolveCharacterReferences(
    const std::string& page, const std::vector<std::pair<std::size_t, std::size_t>>& verbatim) {
  std::string out;
  out.reserve(page.size());
  std::size_t range = 0;
  std::size_t copied = 0;
  for (std::size_t at = page.find("&#"); at != std::string::npos; at = page.find("&#", at + 1)) {
    while (range < verbatim.size() && verbatim[range].second <= at) ++range;
    if (range < verbatim.size() && verbatim[range].first <= at) {
      at = verbatim[range].second - 1;
      continue;
    }
    const auto [cp, length] = NumericReference(page, at);
    const bool character = cp >= 0xA0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) &&
                           !(cp >= 0xFDD0 && cp <= 0xFDEF) && (cp & 0xFFFE) != 0xFFFE;
    if (length == 0 || !character) continue;
    out.append(page, copied, at - copied);
    if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
    copied = at + length;
    at = copied - 1;
  }
  if (copied == 0) return page;
  out.append(page, copied);
  return out;
}

}  // namespace

TVornExportRender::TVornExportRender(const TVornDepFiles& files,
                                     const TVornLinkTranslation& translation)
    : m_files(files), m_translate(translation.Enabled), m_followed(translation.Followed) {}

std::string TVornExportRender::MapLink(const TVornDepFile& from, const std::string& address) const {
  if (!m_translate || m_followed != EltOffline) return address;
  const TLinkKind kind = GetLinkKind(address, from.Url);
  if (kind != lkAbsolute && kind != lkFtp) return address;
  const TVornDepFile* to = m_files.Find(address);
  // Not exported: whatever unfollowed links are translated to, the online address is the only
  // target that exists (in the spelling a browser sends, which quotes and scripts also take).
  if (to == nullptr) return CanonicalUrl(address);
  return EncodeLinkPath(MakeRelativeLink(from.LocalPath, to->LocalPath));
}

std::string TVornExportRender::MapStyleSheet(const TVornDepFile& from, std::string_view css) const {
  return ReplaceCssReferences(css, [&](const TCssReference& reference) {
    std::optional<std::string> mapped;
    const std::string address = TVornContent::StyleLinkAddress(reference.Url, from.Url);
    if (address.empty()) return mapped;  // data: and the like stay as written
    const TLinkKind kind = GetLinkKind(address, from.Url);
    if (kind != lkAbsolute && kind != lkFtp) return mapped;
    // Stored sheets keep their addresses as written, relative to where the sheet was online;
    // an online address or a path inside the export is what leads somewhere from the copy, as
    // for a page's links.
    mapped = MapLink(from, address);
    const std::size_t hash = reference.Url.find('#');
    if (hash != std::string::npos) *mapped += reference.Url.substr(hash);
    return mapped;
  });
}

std::string TVornExportRender::WritePage(const TVornDepFile& file, std::u16string_view text) const {
  static const TCharsetEncoder utf8("UTF-8");
  THtmlWriter writer(utf8, std::string(kExportCharset));
  writer.Reserve(text.size() + text.size() / 8);
  THtmlTokenizer tokenizer(text);
  // Output ranges where a character reference is not read as one (scripts, style sheets,
  // literal text), so they are left as they are.
  std::vector<std::pair<std::size_t, std::size_t>> verbatim;
  bool declared = false;
  bool prologue = true;       // nothing but comments, declarations and blanks so far
  std::size_t declareAt = 0;  // where a charset declaration goes when the page has none
  while (tokenizer.Next()) {
    const THtmlItem& item = tokenizer.Item();
    const std::size_t before = writer.Output().size();
    bool headStart = false;
    switch (item.Kind) {
      case THtmlItemKind::hikStartTag: {
        THtmlStartTag& tag = tokenizer.StartTag();
        headStart = tag.NameIs("html") || tag.NameIs("head");
        // The export made every link relative to the page's own file: a base would re-base
        // them all (and usually online). Its target, where links open, stays.
        if (tag.NameIs("base")) tag.RemoveAttribute("href");
        if (const std::optional<std::string> css = tag.GetAttribute("style")) {
          const std::string mapped = MapStyleSheet(file, *css);
          if (mapped != *css) tag.SetAttribute("style", mapped);
        }
        declared = writer.DeclareCharset(tag) || declared;
        writer.WriteStartTag(tag);
        break;
      }
      case THtmlItemKind::hikStyleText: {
        const std::u16string mapped = Utf8ToUtf16(MapStyleSheet(file, Utf16ToUtf8(item.Source)));
        writer.Write(THtmlItem{item.Kind, mapped, {}});
        break;
      }
      case THtmlItemKind::hikProcessing:
        writer.Write(THtmlItem{item.Kind, WithUtf8Encoding(item.Source), {}});
        break;
      default:
        writer.Write(item);
    }
    const std::size_t after = writer.Output().size();
    if (item.Kind == THtmlItemKind::hikScriptText || item.Kind == THtmlItemKind::hikStyleText ||
        item.Kind == THtmlItemKind::hikLiteralText)
      verbatim.emplace_back(before, after);
    if (!prologue) continue;
    const bool blank =
        item.Kind == THtmlItemKind::hikText &&
        std::all_of(item.Source.begin(), item.Source.end(), [](char16_t c) { return c <= ' '; });
    if (headStart || blank || item.Kind == THtmlItemKind::hikComment ||
        item.Kind == THtmlItemKind::hikDeclaration || item.Kind == THtmlItemKind::hikProcessing)
      declareAt = after;
    else
      prologue = false;
  }
  std::string page = writer.TakeOutput();
  if (!declared) {
    // Placed where a browser's first look for the charset finds it: after the doctype and
    // inside the head when the page has one, before any of its content.
    page.insert(declareAt, kExportCharsetDeclaration);
    for (auto& range : verbatim)
      if (range.first >= declareAt) {
        range.first += kExportCharsetDeclaration.size();
        range.second += kExportCharsetDeclaration.size();
      }
  }
  return ResolveCharacterReferences(page, verbatim);
}

std::string TVornExportRender::Render(const TVornDepFile& file, std::string content) const {
  if (IsStyleSheetType(file.ContentType)) return MapStyleSheet(file, content);
  if (!IsPageContentType(file.ContentType)) return content;
  TLinkMapping mapping;
  if (m_translate) {
    mapping = [&](int, const std::string& address) { return MapLink(file, address); };
  }
  // A stored page is in the stored code page; one stored without its link header (its analysis
  // did not end) is in the charset it came in, read as the analysis reads a page. Either way the
  // export writes UTF-8, which every tool that reads the files takes.
  const bool analysed = content.starts_with(kStoredLinksMarker);
  const std::string page = RenderStoredDocument(file.ContentType, content, mapping);
  content.clear();
  return WritePage(
      file, analysed ? DecodeBytes(page, kStoredCharset) : DecodeHtml(page, file.ContentType).Text);
}

}  // namespace tq
