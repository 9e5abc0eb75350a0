// The stored form of an HTML page: a header that lists the page's links as absolute addresses,
// then the page with every link value replaced by a numbered placeholder. TStoredDocumentWriter
// builds it; RenderStoredDocument turns it back into a page with addresses of the caller's choice.
//
// Everything here is a pure function of its inputs and safe on any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr std::string_view kStoredLinksMarker = "<TARNQUILL DOCUMENT LINKS>";
inline constexpr std::string_view kStoredContentMarker = "<TARNQUILL DOCUMENT CONTENT>";

// The placeholder of link `number` as stored bytes: 0xA4 0xA4, the number in decimal, 0xA4 0xA4.
std::string LinkPlaceholder(int number);
// The same placeholder as UTF-8 text, for THtmlStartTag::SetAttribute: kPlaceholderMark stands
// for each 0xA4, which the stored copy's writer writes as that byte (while a page's own U+00A4 is
// written escaped). It begins with kLinkPlaceholderTextStart.
std::string LinkPlaceholderText(int number);
inline constexpr std::string_view kLinkPlaceholderTextStart = "\xEF\xB7\x90\xEF\xB7\x90";

// One link line of the header, "<address>", with the address made safe as described below.
std::string StoredLinkLine(std::string_view absoluteAddress);

// Collects a page's links in number order and writes the stored document. Addresses are written
// so that they cannot change the header's shape: CR and LF are dropped, NUL, '<', '>' and '"' are
// percent-encoded, and an address that then begins with "TARNQUILL DOCUMENT" gets its first
// letter percent-encoded. The page address in the comment line, which is page text to readers,
// also has its 0xA4 bytes percent-encoded, so it holds no placeholder.
class TStoredDocumentWriter {
 public:
  // Adds a link line "<address>" (empty for a link without address); returns its number.
  int AddLink(std::string_view absoluteAddress);
  // Adds a link line "<mailto:address>"; returns its number.
  int AddMailLink(std::string_view mailAddress);
  int LinkCount() const { return static_cast<int>(m_lines.size()); }

  // The header: both markers, the link lines and the "saved from" comment line, each ended by a
  // single CR.
  std::string Header(std::string_view pageAddress) const;
  // The header followed by the rewritten page bytes.
  std::string Build(std::string_view pageAddress, std::string_view body) const;

 private:
  std::vector<std::string> m_lines;
};

struct TStoredDocument {
  std::vector<std::string> Links;  // link addresses by number, as in the header
  std::vector<std::string> Lines;  // the page's lines after the header
};

// Reads the header: every line up to and including the last line that equals the content marker
// (letter case ignored) is header; of those, the lines that do not hold "<TARNQUILL DOCUMENT"
// are links, their first and last characters dropped. Without a content marker every line is
// page and there are no links.
TStoredDocument ParseStoredDocument(std::string_view content);

// Gives the text that replaces the placeholders of link `number` (whose header address is given).
using TLinkMapping = std::function<std::string(int number, const std::string& address)>;

// The page to deliver for a stored document. Content whose type does not contain "TEXT/HTML"
// (letter case ignored) comes back byte for byte. For a page: the header is read, every
// placeholder of a known link number is replaced in one left-to-right pass by the mapped text
// (mapping unset: the header address) with '&' and '"' written as references, so that an address
// can never end the attribute value it lands in; placeholders of unknown numbers stay; the lines
// are joined with CR LF, with a CR LF after the last one. A copy stored by an earlier version
// declares its code page as "Windows_1258", which browsers do not know: that declaration is
// delivered as "windows-1258".
std::string RenderStoredDocument(std::string_view contentType, std::string_view content,
                                 const TLinkMapping& mapping = {});

}  // namespace tq
