// Canonical addresses. The writer compares what it would write with the input and copies only
// from the first byte that differs, so a canonical address costs one scan and no allocation.
#include "foundation/canonical_url.h"

#include <array>
#include <cctype>
#include <vector>

#include "foundation/ascii_case.h"

namespace tq {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Writes the canonical form of in, byte by byte, into out only once it differs from in.
class TLazyWriter {
 public:
  TLazyWriter(std::string_view in, std::string& out) : m_in(in), m_out(out) {}

  void Put(char c) {
    if (!m_diverged) {
      if (m_pos < m_in.size() && m_in[m_pos] == c) {
        ++m_pos;
        return;
      }
      Diverge();
    }
    m_out += c;
  }
  void Put(std::string_view text) {
    for (char c : text) Put(c);
  }
  void PutEscaped(unsigned char byte) {
    Put('%');
    Put(kHex[byte >> 4]);
    Put(kHex[byte & 15]);
  }
  // True when out now holds a text different from in.
  bool Finish() {
    if (!m_diverged && m_pos != m_in.size()) Diverge();
    return m_diverged;
  }

 private:
  void Diverge() {
    m_diverged = true;
    m_out.assign(m_in.substr(0, m_pos));
  }

  std::string_view m_in;
  std::string& m_out;
  size_t m_pos = 0;
  bool m_diverged = false;
};

// Bytes a browser percent-encodes in a path or query, with those that would end a quoted
// attribute or a script string; "%" is never among them, so existing escapes stay. One table
// read per byte: every look-up of an address scans it.
constexpr unsigned char kEscape = 1;   // percent-encoded wherever it stands
constexpr unsigned char kNotHost = 2;  // sends a host through the full way (case, port, user)
constexpr unsigned char kDotLike = 4;  // may begin a dot segment after "/"
constexpr auto kByteClass = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    if (c <= 0x20 || c >= 0x7F) table[c] |= kEscape;
    if (c >= 'A' && c <= 'Z') table[c] |= kNotHost;
  }
  for (unsigned char c : std::string_view("\"'<>`{}|^\\")) table[c] |= kEscape;
  for (unsigned char c : std::string_view(":@?#")) table[c] |= kNotHost;
  table['.'] |= kDotLike;
  table['%'] |= kDotLike;
  return table;
}();

bool NeedsEscape(unsigned char byte) {
  return (kByteClass[byte] & kEscape) != 0;
}

bool IsDropped(char c) {
  return c == '\t' || c == '\r' || c == '\n';
}

bool IsSingleDot(std::string_view segment) {
  return segment == "." || AsciiEqualsNoCase(segment, "%2e");
}

bool IsDoubleDot(std::string_view segment) {
  return segment == ".." || AsciiEqualsNoCase(segment, ".%2e") ||
         AsciiEqualsNoCase(segment, "%2e.") || AsciiEqualsNoCase(segment, "%2e%2e");
}

bool HasDotSegment(std::string_view path) {
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(at, end - at);
    if (IsSingleDot(segment) || IsDoubleDot(segment)) return true;
    at = end + 1;
  }
  return false;
}

int DefaultPort(std::string_view scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return 21;
}

void PutEscapedText(TLazyWriter& writer, std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      writer.PutEscaped(byte);
    } else {
      writer.Put(c);
    }
  }
}

void PutHost(TLazyWriter& writer, std::string_view host) {
  for (size_t i = 0; i < host.size(); ++i) {
    const char c = host[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '%' && i + 2 < host.size() && std::isxdigit(static_cast<unsigned char>(host[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(host[i + 2]))) {
      writer.Put(host.substr(i, 3));  // an escape keeps its digits as written
      i += 2;
    } else if (c >= 'A' && c <= 'Z') {
      writer.Put(static_cast<char>(c - 'A' + 'a'));
    } else if (byte < 0x80 && NeedsEscape(byte)) {
      writer.PutEscaped(byte);  // no valid host holds it: the transfer will fail on it
    } else {
      writer.Put(c);  // an international name stays as written
    }
  }
}

// The port's number; -1 when it holds anything but digits or lies beyond 65535.
long PortNumber(std::string_view port) {
  long value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 65535) return -1;
  }
  return value;
}

void PutPort(TLazyWriter& writer, std::string_view port, std::string_view scheme) {
  if (port.empty()) return;
  const long value = PortNumber(port);
  if (value == DefaultPort(scheme)) return;
  writer.Put(':');
  if (value >= 0) {
    writer.Put(std::to_string(value));
    return;
  }
  PutEscapedText(writer, port);
}

// Most addresses met are canonical already, and every look-up asks: one pass over the bytes
// tells so for the common ones (lower-case host without user, a port as the full way writes it,
// a path with no segment that begins with "." or "%", nothing to escape). Anything else takes
// the full way.
bool ObviouslyCanonical(std::string_view url) {
  size_t at = 0;
  if (url.starts_with("http://")) {
    at = 7;
  } else if (url.starts_with("https://")) {
    at = 8;
  } else if (url.starts_with("ftp://")) {
    at = 6;
  } else {
    return false;
  }
  size_t i = at;
  for (; i < url.size() && url[i] != '/' && url[i] != ':'; ++i) {
    if (kByteClass[static_cast<unsigned char>(url[i])] & (kEscape | kNotHost)) return false;
  }
  if (i == at || i == url.size()) return false;
  if (url[i] == ':') {
    // A port stays as written when PutPort would write it so: a number without a leading zero
    // that is not the scheme's own.
    const size_t end = url.find('/', i);
    if (end == std::string_view::npos) return false;
    const std::string_view port = url.substr(i + 1, end - i - 1);
    const long value = PortNumber(port);
    if (value < 0 || port.empty() || port.front() == '0' ||
        value == DefaultPort(url.substr(0, at - 3)))
      return false;
    i = end;
  }
  // Past the path ("?" or "#" passed), a "." or "%" after "/" is no dot segment.
  unsigned char dotLike = kDotLike;
  for (; i < url.size(); ++i) {
    const char c = url[i];
    const unsigned char kind = kByteClass[static_cast<unsigned char>(c)];
    if (kind & kEscape) return false;
    if ((kind & dotLike) && url[i - 1] == '/') return false;
    if (c == '?' || c == '#') dotLike = 0;
  }
  return true;
}

// The canonical form of an address free of tab, CR, LF and surrounding blanks.
bool Canonicalize(std::string_view url, std::string& out) {
  const size_t mark = url.substr(0, 8).find("://");
  if (mark == std::string_view::npos || mark > 5) return false;
  std::string scheme = AsciiLowerCase(url.substr(0, mark));
  if (scheme != "http" && scheme != "https" && scheme != "ftp") return false;

  TLazyWriter writer(url, out);
  writer.Put(scheme);
  writer.Put("://");
  const std::string_view rest = url.substr(mark + 3);
  const size_t authorityEnd = std::min(rest.find_first_of("/\\?#"), rest.size());
  std::string_view authority = rest.substr(0, authorityEnd);
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    PutEscapedText(writer, authority.substr(0, at));
    writer.Put('@');
    authority.remove_prefix(at + 1);
  }
  size_t colon = authority.find(':');
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    colon = close == std::string_view::npos ? std::string_view::npos : authority.find(':', close);
  }
  PutHost(writer, authority.substr(0, colon));
  if (colon != std::string_view::npos) PutPort(writer, authority.substr(colon + 1), scheme);

  const std::string_view tail = rest.substr(authorityEnd);
  const size_t pathEnd = std::min(tail.find_first_of("?#"), tail.size());
  std::string_view path = tail.substr(0, pathEnd);
  std::string slashed;
  if (path.find('\\') != std::string_view::npos) {
    slashed.assign(path);
    for (char& c : slashed)
      if (c == '\\') c = '/';
    path = slashed;
  }
  std::string resolved;
  if (path.empty()) {
    path = "/";
  } else if (HasDotSegment(path)) {
    resolved = RemoveDotSegments(path);
    path = resolved;
  }
  PutEscapedText(writer, path);

  std::string_view after = tail.substr(pathEnd);
  if (!after.empty() && after.front() == '?') {
    const size_t hash = std::min(after.find('#'), after.size());
    writer.Put('?');
    PutEscapedText(writer, after.substr(1, hash - 1));
    after.remove_prefix(hash);
  }
  if (!after.empty()) {
    // A second "#" inside the fragment is no delimiter and stays.
    writer.Put('#');
    PutEscapedText(writer, after.substr(1));
  }
  return writer.Finish();
}

}  // namespace

bool CanonicalizeUrl(std::string_view url, std::string& out) {
  if (ObviouslyCanonical(url)) return false;
  std::string_view trimmed = url;
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= ' ')
    trimmed.remove_prefix(1);
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= ' ')
    trimmed.remove_suffix(1);
  bool dropped = false;
  for (char c : trimmed) dropped = dropped || IsDropped(c);
  if (trimmed.size() == url.size() && !dropped) return Canonicalize(url, out);

  std::string cleaned;
  cleaned.reserve(trimmed.size());
  for (char c : trimmed)
    if (!IsDropped(c)) cleaned += c;
  std::string result;
  if (!Canonicalize(cleaned, result)) {
    // Not an address of ours: only a text that was one once cleaned changes.
    if (cleaned.find("://") == std::string::npos) return false;
    const std::string scheme = AsciiLowerCase(cleaned.substr(0, cleaned.find("://")));
    if (scheme != "http" && scheme != "https" && scheme != "ftp") return false;
    result = std::move(cleaned);
  }
  out = std::move(result);
  return true;
}

std::string CanonicalUrl(std::string_view url) {
  std::string out;
  if (!CanonicalizeUrl(url, out)) out.assign(url);
  return out;
}

std::string_view CanonicalUrlView(std::string_view url, std::string& scratch) {
  return CanonicalizeUrl(url, scratch) ? std::string_view(scratch) : url;
}

std::string RemoveDotSegments(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::string(path);
  std::vector<std::string_view> kept;
  size_t at = 1;
  for (;;) {
    size_t end = path.find('/', at);
    const bool last = end == std::string_view::npos;
    if (last) end = path.size();
    const std::string_view segment = path.substr(at, end - at);
    if (IsDoubleDot(segment)) {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();  // the folder it climbed to keeps its slash
    } else if (IsSingleDot(segment)) {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    at = end + 1;
  }
  std::string result;
  result.reserve(path.size());
  for (const std::string_view segment : kept) {
    result += '/';
    result += segment;
  }
  if (result.empty()) result = "/";
  return result;
}

bool HasControlByte(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

std::string PercentDecode(std::string_view text, bool keepControlBytes) {
  const auto hexValue = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      const int byte = high < 0 || low < 0 ? -1 : high * 16 + low;
      if (byte >= 0 && (!keepControlBytes || (byte >= 0x20 && byte != 0x7F))) {
        out += static_cast<char>(byte);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace tq
