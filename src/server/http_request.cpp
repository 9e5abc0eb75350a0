// Request heads: finding their end in a growing buffer and reading their lines.
#include "server/http_request.h"

#include <cstring>

#include "foundation/ansi.h"

namespace tq {
namespace {

bool IsTokenChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (!IsTokenChar(c)) return false;
  }
  return true;
}

// Control bytes other than the tab never belong in a request line or a field value: they are how
// a client smuggles a second line into whatever the text is copied into.
bool HasControlBytes(std::string_view text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<uint64_t> ParseLength(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

bool HasConnectionOption(std::string_view value, std::string_view option) {
  while (!value.empty()) {
    const std::size_t comma = value.find(',');
    if (AnsiSameText(TrimBlanks(value.substr(0, comma)), option)) return true;
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return false;
}

THttpHeadResult Refuse(int status) {
  THttpHeadResult result;
  result.State = THttpHeadResult::hrRefused;
  result.Status = status;
  return result;
}

// "METHOD TARGET HTTP/1.x": the method ends at the first blank and the version begins after the
// last one, so a target holding blanks is kept whole for the handler to judge.
int ParseRequestLine(std::string_view line, THttpRequestHead& head) {
  if (HasControlBytes(line)) return 400;
  const std::size_t first = line.find(' ');
  const std::size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == last) return 400;
  const std::string_view method = line.substr(0, first);
  const std::string_view version = line.substr(last + 1);
  if (!IsToken(method) || last == first + 1) return 400;
  if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' ||
      version[5] < '0' || version[5] > '9' || version[7] < '0' || version[7] > '9')
    return 400;
  if (version[5] != '1') return 505;
  head.RequestLine = line;
  head.Method = method;
  head.Target = line.substr(first + 1, last - first - 1);
  head.MinorVersion = version[7] - '0';
  head.KeepAlive = head.MinorVersion >= 1;
  return 0;
}

int ParseField(std::string_view line, THttpRequestHead& head, bool& sawHost,
               std::optional<uint64_t>& length) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return 400;
  const std::string_view name = line.substr(0, colon);
  const std::string_view value = TrimBlanks(line.substr(colon + 1));
  if (HasControlBytes(value)) return 400;
  if (AnsiSameText(name, "Host")) {
    if (sawHost) return 400;  // two hosts: which one the check looked at would be a guess
    sawHost = true;
    head.Host = value;
  } else if (AnsiSameText(name, "Referer")) {
    if (head.Referer.empty()) head.Referer = value;
  } else if (AnsiSameText(name, "Range")) {
    // Two ranges fields cannot both be honoured: the whole content answers them.
    head.Range = head.SawRange ? std::string() : std::string(value);
    head.SawRange = true;
  } else if (AnsiSameText(name, "Sec-Fetch-Dest")) {
    head.FetchDest = AnsiLowerCase(value);
  } else if (AnsiSameText(name, "If-Range")) {
    head.IfRange = true;
  } else if (AnsiSameText(name, "Content-Length")) {
    const auto parsed = ParseLength(value);
    if (!parsed || (length && *length != *parsed)) return 400;
    length = parsed;
  } else if (AnsiSameText(name, "Transfer-Encoding")) {
    head.Chunked = true;
  } else if (AnsiSameText(name, "Connection")) {
    if (HasConnectionOption(value, "close")) head.KeepAlive = false;
    if (HasConnectionOption(value, "keep-alive") && head.MinorVersion == 0) head.KeepAlive = true;
  }
  return 0;
}

// Reads the complete head in text (lines ended by LF, an optional CR before it).
THttpHeadResult ParseHead(std::string_view text) {
  THttpHeadResult result;
  auto nextLine = [&text] {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  };
  if (const int status = ParseRequestLine(nextLine(), result.Head)) return Refuse(status);
  bool sawHost = false;
  std::optional<uint64_t> length;
  int fields = 0;
  for (std::string_view line = nextLine(); !line.empty(); line = nextLine()) {
    if (line.front() == ' ' || line.front() == '\t') return Refuse(400);  // folded lines
    if (++fields > kMaxHeaderFields) return Refuse(431);
    if (const int status = ParseField(line, result.Head, sawHost, length)) return Refuse(status);
  }
  if (result.Head.MinorVersion >= 1 && !sawHost) return Refuse(400);
  if (result.Head.Chunked) {
    result.Head.KeepAlive = false;
  } else {
    result.Head.ContentLength = length.value_or(0);
  }
  result.State = THttpHeadResult::hrComplete;
  return result;
}

}  // namespace

THttpHeadResult ReadRequestHead(std::string_view buffer, THeadScan* scan) {
  // A few empty lines may come before a request (some clients end a body with an extra CR LF).
  constexpr std::size_t kMaxLeadingBreaks = 8;
  auto isBreak = [&buffer](std::size_t i) { return buffer[i] == '\r' || buffer[i] == '\n'; };
  std::size_t start = 0;
  while (start < buffer.size() && start < kMaxLeadingBreaks && isBreak(start)) ++start;
  if (start < buffer.size() && isBreak(start) && start == kMaxLeadingBreaks) return Refuse(400);
  std::size_t at = scan->Scanned > start ? scan->Scanned : start;
  for (;;) {
    const std::size_t lf = buffer.find('\n', at);
    if (lf == std::string_view::npos) {
      scan->Scanned = buffer.size();
      break;
    }
    if (!scan->SawLineEnd) {  // the first line end found is the request line's
      if (lf - start > kMaxRequestLine) return Refuse(414);
      scan->SawLineEnd = true;
    }
    if (lf + 1 >= buffer.size() || (buffer[lf + 1] == '\r' && lf + 2 >= buffer.size())) {
      scan->Scanned = lf;  // the bytes that tell whether the next line is empty have not come yet
      break;
    }
    std::size_t end = 0;
    if (buffer[lf + 1] == '\n') end = lf + 2;
    if (buffer[lf + 1] == '\r' && buffer[lf + 2] == '\n') end = lf + 3;
    if (end != 0) {
      if (end - start > kMaxRequestHead) return Refuse(431);
      THttpHeadResult result = ParseHead(buffer.substr(start, end - start));
      result.HeadSize = end;
      return result;
    }
    at = lf + 1;
  }
  if (!scan->SawLineEnd && buffer.size() - start > kMaxRequestLine) return Refuse(414);
  if (buffer.size() - start > kMaxRequestHead) return Refuse(431);
  return {};
}

std::string_view HttpReason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 302:
      return "Found";
    case 416:
      return "Range Not Satisfiable";
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Error";
  }
}

}  // namespace tq
