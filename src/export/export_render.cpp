// Rendering exported documents with the export's link mapping.
#include "export/export_render.h"

#include <algorithm>
#include <optional>

#include "engine/content.h"
#include "export/export_path.h"
#include "formats/charset.h"
#include "formats/css_tokenizer.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"
#include "formats/stored_document.h"
#include "foundation/url.h"

namespace tq {
namespace {

bool ContainsNoCase(std::string_view text, std::string_view lowerNeedle) {
  return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                     [](char a, char b) {
                       return (a >= 'A' && a <= 'Z' ? static_cast<char>(a | 0x20) : a) == b;
                     }) != text.end();
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
  // target that exists.
  if (to == nullptr) return address;
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

std::string TVornExportRender::MapPageStyles(const TVornDepFile& file, std::string page) const {
  if (!ContainsNoCase(page, "style")) return page;
  // Stored pages are windows-1258, one UTF-16 unit per byte, so the tokenizer's offsets are
  // byte offsets: only style texts and tags whose references change are written anew, every
  // other byte of the page stays.
  const std::u16string text = DecodeBytes(page, kStoredCharset);
  if (text.size() != page.size()) return page;
  THtmlTokenizer tokenizer(text);
  THtmlWriter writer;
  std::string out;
  std::size_t copied = 0;
  while (tokenizer.Next()) {
    const THtmlItem& item = tokenizer.Item();
    std::optional<std::string> replacement;
    if (item.Kind == THtmlItemKind::hikStyleText) {
      const std::string css = Utf16ToUtf8(item.Source);
      const std::string mapped = MapStyleSheet(file, css);
      if (mapped != css)
        replacement = StoredCharsetEncoder().Encode(Utf8ToUtf16(mapped), TEscapeContext::ecxStyle);
    } else if (item.Kind == THtmlItemKind::hikStartTag) {
      THtmlStartTag& tag = tokenizer.StartTag();
      const std::optional<std::string> css = tag.GetAttribute("style");
      if (css) {
        const std::string mapped = MapStyleSheet(file, *css);
        if (mapped != *css) {
          tag.SetAttribute("style", mapped);
          writer.WriteStartTag(tag);
          replacement = writer.TakeOutput();
        }
      }
    }
    if (!replacement) continue;
    const std::size_t at = tokenizer.Position();
    out.append(page, copied, at - copied);
    out += *replacement;
    copied = at + item.Source.size();
  }
  if (copied == 0) return page;
  out.append(page, copied);
  return out;
}

std::string TVornExportRender::Render(const TVornDepFile& file, std::string content) const {
  if (IsStyleSheetType(file.ContentType)) return MapStyleSheet(file, content);
  if (!IsPageContentType(file.ContentType)) return content;
  TLinkMapping mapping;
  if (m_translate) {
    mapping = [&](int, const std::string& address) { return MapLink(file, address); };
  }
  // A page stored without its link header (its analysis did not end) is in the charset it came
  // in, which nothing records: it is written as it came, like its links.
  const bool analysed = content.starts_with(kStoredLinksMarker);
  std::string page = RenderStoredDocument(file.ContentType, content, mapping);
  return analysed ? MapPageStyles(file, std::move(page)) : page;
}

}  // namespace tq
