// Stored documents: writing the link header, reading it back and putting addresses in place.
#include "formats/stored_document.h"

#include <algorithm>

#include "formats/charset.h"
#include "foundation/html_escape.h"
#include "foundation/url.h"

namespace tq {
namespace {

constexpr char kMark = '\xA4';
constexpr std::string_view kHeaderTag = "<TARNQUILL DOCUMENT";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto up = [](char c) {
             return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
           };
           return up(x) == up(y);
         });
}

// Header text must not change the header's shape: a line break would split a link line, a NUL
// would cut it, "<TARNQUILL DOCUMENT" inside it would make readers skip it as a marker, and in
// the comment line a '>' or '"' could end the comment. Any of these would shift the numbers of the
// links after it. Browsers drop CR and LF from addresses and read %3C, %3E and %22 as the same
// address, so nothing a link means is lost. The marker word is tested once CR and LF are gone:
// a line break in front of it would hide it from the test and then vanish. pageText: the text is
// read as part of the page (the comment line), where 0xA4 bytes could make a placeholder.
std::string HeaderSafe(std::string_view address, bool pageText = false) {
  std::string out;
  out.reserve(address.size());
  for (char c : address) {
    switch (c) {
      case '\r':
      case '\n':
        break;
      case '\xA4':
        out += pageText ? "%A4" : "\xA4";
        break;
      case '\0':
        out += "%00";
        break;
      case '<':
        out += "%3C";
        break;
      case '>':
        out += "%3E";
        break;
      case '"':
        out += "%22";
        break;
      default:
        out += c;
    }
  }
  const std::string_view kMarkerWord = "TARNQUILL DOCUMENT";
  if (out.size() >= kMarkerWord.size() &&
      EqualsNoCase(std::string_view(out).substr(0, kMarkerWord.size()), kMarkerWord))
    out.replace(0, 1, out[0] == 'T' ? "%54" : "%74");
  return out;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char x, char y) {
                       const auto up = [](char c) {
                         return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
                       };
                       return up(x) == up(y);
                     }) != haystack.end();
}

void AppendEscaped(const std::string& text, std::string& out) {
  AppendHtmlEscaped(std::string_view(text), out, heQuotedValue);
}

// Replaces every placeholder of a known number in one pass. Mapped text is never scanned again,
// so an address that itself looks like a placeholder stays as it is.
void Substitute(std::string_view line, const std::vector<std::string>& mapped, std::string& out) {
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t at = line.find("\xA4\xA4", i);
    if (at == std::string_view::npos) break;
    out.append(line.substr(i, at - i));
    std::size_t p = at + 2;
    std::size_t number = 0;
    const std::size_t digitsStart = p;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9' && p - digitsStart < 10) {
      number = number * 10 + static_cast<std::size_t>(line[p] - '0');
      ++p;
    }
    const std::size_t digits = p - digitsStart;
    // Only the number as written by the writer: no leading zero, then the closing pair.
    const bool placeholder = digits > 0 && !(digits > 1 && line[digitsStart] == '0') &&
                             p + 1 < line.size() && line[p] == kMark && line[p + 1] == kMark &&
                             number < mapped.size();
    if (placeholder) {
      AppendEscaped(mapped[number], out);
      i = p + 2;
    } else {
      out += line[at];
      i = at + 1;
    }
  }
  if (i < line.size()) out.append(line.substr(i));
}

}  // namespace

std::string LinkPlaceholder(int number) {
  return "\xA4\xA4" + std::to_string(number) + "\xA4\xA4";
}

std::string LinkPlaceholderText(int number) {
  std::string text(kLinkPlaceholderTextStart);
  text += std::to_string(number);
  text += kLinkPlaceholderTextStart;
  return text;
}

std::string StoredLinkLine(std::string_view absoluteAddress) {
  return "<" + HeaderSafe(absoluteAddress) + ">";
}

int TStoredDocumentWriter::AddLink(std::string_view absoluteAddress) {
  m_lines.push_back(StoredLinkLine(absoluteAddress));
  return LinkCount() - 1;
}

int TStoredDocumentWriter::AddMailLink(std::string_view mailAddress) {
  m_lines.push_back("<mailto:" + HeaderSafe(mailAddress) + ">");
  return LinkCount() - 1;
}

std::string TStoredDocumentWriter::Header(std::string_view pageAddress) const {
  std::string header(kStoredLinksMarker);
  header += '\r';
  for (const auto& line : m_lines) {
    header += line;
    header += '\r';
  }
  header += kStoredContentMarker;
  header += '\r';
  header += "<!-- saved from url=\"" + HeaderSafe(pageAddress, true) + "\" using Tarnquill -->\r";
  return header;
}

std::string TStoredDocumentWriter::Build(std::string_view pageAddress,
                                         std::string_view body) const {
  std::string document = Header(pageAddress);
  document.append(body);
  return document;
}

TStoredDocument ParseStoredDocument(std::string_view content) {
  TStoredDocument document;
  std::vector<std::string> lines;
  StreamToLines(lines, content);
  std::size_t bodyStart = 0;
  for (std::size_t i = lines.size(); i > 0; --i)
    if (EqualsNoCase(lines[i - 1], kStoredContentMarker)) {
      bodyStart = i;
      break;
    }
  for (std::size_t i = 0; i < bodyStart; ++i) {
    const std::string& line = lines[i];
    if (line.find(kHeaderTag) != std::string::npos) continue;
    document.Links.push_back(line.size() < 2 ? std::string() : line.substr(1, line.size() - 2));
  }
  document.Lines.assign(
      std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(bodyStart)),
      std::make_move_iterator(lines.end()));
  return document;
}

std::string RenderStoredDocument(std::string_view contentType, std::string_view content,
                                 const TLinkMapping& mapping) {
  if (!ContainsNoCase(contentType, "TEXT/HTML")) return std::string(content);
  TStoredDocument document = ParseStoredDocument(content);
  std::vector<std::string> mapped = std::move(document.Links);
  if (mapping)
    for (std::size_t i = 0; i < mapped.size(); ++i)
      mapped[i] = mapping(static_cast<int>(i), mapped[i]);
  std::string page;
  page.reserve(content.size() + content.size() / 8);
  for (const auto& line : document.Lines) {
    Substitute(line, mapped, page);
    page += "\r\n";
  }
  // Both labels have the same length, so the page is mended in place.
  static_assert(kOldStoredCharsetLabel.size() == kStoredCharsetLabel.size());
  const std::string oldDeclaration = "charset=" + std::string(kOldStoredCharsetLabel);
  for (std::size_t at = page.find(oldDeclaration); at != std::string::npos;
       at = page.find(oldDeclaration, at + oldDeclaration.size()))
    page.replace(at + 8, kStoredCharsetLabel.size(), kStoredCharsetLabel);
  return page;
}

}  // namespace tq
