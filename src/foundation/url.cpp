// Address helpers. The rules are positional text rules, not RFC 3986 resolution: stored projects
// depend on the exact addresses they produce. Only "." segments and references to another server
// ("//host/x") are resolved as RFC 3986 does, because the positional rules made wrong addresses
// of them.
#include "foundation/url.h"

#include <algorithm>

#include "foundation/ansi.h"
#include "foundation/lines.h"

namespace tq {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view CutBefore(std::string_view text, char c) {
  const size_t p = text.find(c);
  return p == std::string_view::npos ? text : text.substr(0, p);
}

// The server of an address as ExtractUrlServer gives it, in two views: the recognised scheme,
// always in lower case, and the host with any port as written.
struct TServerParts {
  std::string_view scheme;
  std::string_view host;
};

TServerParts SplitServer(std::string_view url) {
  std::string_view rest = CutBefore(CutBefore(url, '?'), '#');
  if (rest.empty()) return {};
  if (rest.front() == '\'') rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == '\'') rest.remove_suffix(1);
  std::string_view scheme;
  for (std::string_view known : {"http://", "https://", "ftp://"}) {
    if (AnsiStartsText(known, rest)) {
      scheme = known;
      break;
    }
  }
  rest.remove_prefix(scheme.size());
  return {scheme, CutBefore(rest, '/')};
}

// Removes count leading characters, clamped like the positional string routines the rules are
// written in.
std::string_view DropFront(std::string_view text, size_t count) {
  return text.substr(std::min(count, text.size()));
}

// Splits a path into segments. A trailing segment is kept only when it names a folder (no dot,
// after a slash) or, for a reference, when it looks like a file name (a dot after its first
// character); everything else at the end (a file of the base page, "..", a lone word) is dropped.
void SplitSegments(std::string_view text, bool referenceMode, std::vector<std::string>& items) {
  if (text.empty()) return;
  bool slashSeen = false;
  if (text.front() == '/') {
    items.emplace_back("/");
    text.remove_prefix(1);
    slashSeen = true;
  }
  while (!text.empty()) {
    const size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
      items.emplace_back(text.substr(0, slash));
      text.remove_prefix(slash + 1);
      slashSeen = true;
      continue;
    }
    const size_t dot = text.find('.');
    if ((referenceMode && dot != std::string_view::npos && dot >= 1) ||
        (dot == std::string_view::npos && slashSeen))
      items.emplace_back(text);
    break;
  }
}

// Removes "." segments from the path of an absolute address that begins at pathStart ("/./"
// becomes "/", a final "/." becomes "/"); the query and fragment are left alone.
std::string DropDotSegments(std::string address, size_t pathStart) {
  size_t end = std::min(address.find_first_of("?#", pathStart), address.size());
  for (size_t p = address.find("/.", pathStart); p != std::string::npos && p < end;
       p = address.find("/.", p)) {
    if (p + 2 == end) {
      address.erase(p + 1, 1);
      break;
    }
    if (address[p + 2] == '/') {
      address.erase(p, 2);
      end -= 2;
    } else {
      ++p;
    }
  }
  return address;
}

}  // namespace

TLinkKind GetLinkKind(std::string_view linkText, std::string_view baseUrl) {
  if (linkText.empty()) return lkNone;
  if (linkText.front() == '"') {
    linkText.remove_prefix(1);
    if (linkText.empty()) return lkNone;
  }
  if (linkText.back() == '"') {
    linkText.remove_suffix(1);
    if (linkText.empty()) return lkNone;
  }
  // Compared without case and without copies: this runs for every link of every page.
  for (const auto& [prefix, kind] : {std::pair<std::string_view, TLinkKind>{"#", lkBookmark},
                                     {"MAILTO:", lkMail},
                                     {"JAVASCRIPT:", lkScript},
                                     {"FTP://", lkFtp},
                                     {"FTP.", lkFtp},
                                     {"HTTP://", lkAbsolute},
                                     {"HTTPS://", lkAbsolute}}) {
    if (AnsiStartsText(prefix, linkText)) return kind;
  }
  const TServerParts server = SplitServer(baseUrl);
  if ((!server.scheme.empty() || !server.host.empty()) && AnsiStartsText(server.scheme, linkText) &&
      AnsiStartsText(server.host, linkText.substr(server.scheme.size())))
    return lkAbsolute;
  return StartsWith(linkText, "/") ? lkRootRelative : lkRelative;
}

std::string ExtractUrlServer(std::string_view url) {
  const TServerParts server = SplitServer(url);
  std::string result(server.scheme);
  result += server.host;
  return result;
}

std::string StripUrlQuery(std::string_view url) {
  return std::string(CutBefore(CutBefore(url, '?'), '#'));
}

std::string ExtractUrlQuery(std::string_view url) {
  const size_t p = url.find('?');
  return p == std::string_view::npos ? std::string() : std::string(url.substr(p));
}

std::string ExtractUrlFileName(std::string_view url) {
  if (url.find('/') == std::string_view::npos) return std::string(url);
  const std::string stripped = StripUrlQuery(url);
  std::string_view text = stripped;
  // The server comes back with its scheme in lower case, so an address written HTTP://... is
  // compared without case; otherwise its host would be taken for part of the file name.
  const std::string server = ExtractUrlServer(text);
  if (AnsiStartsText(server, text)) text.remove_prefix(server.size());
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return {};
  // Drop whole leading segments while the first "/" comes before the first ".".
  size_t start = 0;
  for (size_t slash = text.find('/'); slash != std::string_view::npos && slash < dot;
       slash = text.find('/', slash + 1))
    start = slash + 1;
  return std::string(text.substr(start));
}

std::string ExtractUrlFileExt(std::string_view url) {
  const std::string name = ExtractUrlFileName(url);
  const size_t dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string ExtractUrlLastExt(std::string_view url) {
  const std::string stripped = StripUrlQuery(url);
  std::string_view path = stripped;
  // Without the server, so a dotted host is never taken for a file name.
  const std::string server = ExtractUrlServer(path);
  if (path.find('/') != std::string_view::npos && AnsiStartsText(server, path))
    path.remove_prefix(server.size());
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  const size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

std::string ExtractUrlDir(std::string_view url) {
  const std::string name = ExtractUrlFileName(url);
  const std::string stripped = StripUrlQuery(url);
  std::string_view text = DropFront(stripped, ExtractUrlServer(stripped).size() + 1);
  text.remove_suffix(std::min(name.size(), text.size()));
  return std::string(text);
}

TUrlProtocol GetUrlProtocol(std::string_view url) {
  const size_t p = url.find("//");
  if (p == std::string_view::npos) return upHttp;
  const std::string scheme = AnsiUpperCase(url.substr(0, p));
  if (scheme == "HTTPS:") return upHttps;
  if (scheme == "FTP:") return upFtp;
  return upHttp;
}

std::string ResolveUrl(std::string_view base, std::string_view reference,
                       std::string_view baseServer) {
  std::vector<std::string> items;
  SplitSegments(DropFront(base, baseServer.size()), false, items);
  if (StartsWith(reference, "http://")) return std::string(reference.substr(7));
  SplitSegments(reference, true, items);
  if (StartsWith(reference, "https://")) return std::string(reference.substr(8));
  if (StartsWith(reference, "//")) {
    // Another server, reached with the page's own scheme.
    const size_t colon = baseServer.find("://");
    if (colon != std::string_view::npos) {
      std::string result(baseServer.substr(0, colon + 1));
      result += reference;
      const size_t path = result.find('/', colon + 3);
      return path == std::string::npos ? result : DropDotSegments(std::move(result), path);
    }
  }
  if (StartsWith(reference, "/")) {
    return DropDotSegments(std::string(baseServer) + std::string(reference), baseServer.size());
  }

  // Each ".." removes itself and the item before it; one with nothing before it means the
  // reference climbs out of the site, and the page itself is the answer. A "." names the folder
  // it stands in: kept, it would make a second address for every page below it; past a query it
  // is no folder and stays.
  std::vector<std::string> kept;
  kept.reserve(items.size());
  bool inQuery = false;
  for (auto& item : items) {
    inQuery = inQuery || item.find_first_of("?#") != std::string::npos;
    if (item == "." && !inQuery) continue;
    if (item != "..") {
      kept.push_back(std::move(item));
    } else if (kept.empty()) {
      return std::string(base);
    } else {
      kept.pop_back();
    }
  }

  std::string result(baseServer);
  result += '/';
  for (size_t i = 0; i < kept.size(); ++i) {
    if (kept[i] == "/") {
      if (result.back() != '/') result += '/';
    } else {
      result += kept[i];
      if (i + 1 < kept.size()) result += '/';
    }
  }
  return result;
}

namespace {

std::vector<std::string_view> DomainLabels(std::string_view host) {
  const size_t p = host.find("//");
  if (p != std::string_view::npos) host.remove_prefix(p + 2);
  // Host names have no case, so "WWW." is the same prefix as "www.".
  if (AnsiStartsText("www.", host)) host.remove_prefix(4);
  const size_t last = host.rfind('.');
  if (last != std::string_view::npos && last > 0) host = host.substr(0, last);
  std::vector<std::string_view> labels;
  for (;;) {
    const size_t dot = host.find('.');
    labels.push_back(host.substr(0, dot));
    if (dot == std::string_view::npos) break;
    host.remove_prefix(dot + 1);
  }
  return labels;
}

}  // namespace

bool IsRelatedDomain(std::string_view hostA, std::string_view hostB) {
  if (hostA == hostB) return true;
  const auto labelsA = DomainLabels(hostA);
  const auto labelsB = DomainLabels(hostB);
  for (const auto a : labelsA) {
    if (a.empty()) continue;
    for (const auto b : labelsB) {
      if (b.find(a) != std::string_view::npos) return true;
    }
  }
  return false;
}

bool IsValidUrl(std::string_view url) {
  const std::string server = AnsiUpperCase(ExtractUrlServer(url));
  if (!StartsWith(server, "HTTP://") && !StartsWith(server, "HTTPS://") &&
      !StartsWith(server, "FTP://"))
    return false;
  // Only the host is counted: a dot in the path must not make http://example.com/a.html valid.
  std::string_view host = server;
  host.remove_prefix(host.find("//") + 2);
  int dots = 0;
  for (size_t p = host.find('.'); p != std::string_view::npos; p = host.find('.')) {
    ++dots;
    host.remove_prefix(p + 1);
  }
  return dots >= 2 && !host.empty();
}

void StreamToLines(std::vector<std::string>& lines, std::string_view data) {
  ForEachLine(data, [&](std::string_view line) { lines.emplace_back(CutBefore(line, '\0')); });
}

}  // namespace tq
