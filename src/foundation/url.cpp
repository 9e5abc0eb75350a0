// Address helpers. Taking addresses apart follows positional text rules; references are
// resolved as RFC 3986 section 5 and browsers resolve them.
#include "foundation/url.h"

#include <algorithm>

#include "foundation/ascii_case.h"
#include "foundation/canonical_url.h"
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
    if (AsciiStartsWithNoCase(rest, known)) {
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

// The scheme of a reference ("mailto" of "mailto:x"), empty when it has none.
std::string_view SchemeOf(std::string_view reference) {
  for (size_t i = 0; i < reference.size(); ++i) {
    const char c = reference[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == ':') return reference.substr(0, i);
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
      return {};
  }
  return {};
}

bool IsFetchableScheme(std::string_view scheme) {
  return AsciiEqualsNoCase(scheme, "http") || AsciiEqualsNoCase(scheme, "https") ||
         AsciiEqualsNoCase(scheme, "ftp");
}

// prefix, then reference's path with its dot segments removed, then its query and fragment.
std::string JoinResolved(std::string_view prefix, std::string_view path, std::string_view tail) {
  std::string result(prefix);
  result += RemoveDotSegments(path);
  result += tail;
  return result;
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
    if (AsciiStartsWithNoCase(linkText, prefix)) return kind;
  }
  const TServerParts server = SplitServer(baseUrl);
  if ((!server.scheme.empty() || !server.host.empty()) &&
      AsciiStartsWithNoCase(linkText, server.scheme) &&
      AsciiStartsWithNoCase(linkText.substr(server.scheme.size()), server.host))
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
  if (AsciiStartsWithNoCase(text, server)) text.remove_prefix(server.size());
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
  if (path.find('/') != std::string_view::npos && AsciiStartsWithNoCase(path, server))
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
  const std::string_view scheme = url.substr(0, p);
  if (AsciiEqualsNoCase(scheme, "https:")) return upHttps;
  if (AsciiEqualsNoCase(scheme, "ftp:")) return upFtp;
  return upHttp;
}

bool IsFetchableReference(std::string_view reference) {
  const std::string_view scheme = SchemeOf(reference);
  return scheme.empty() || IsFetchableScheme(scheme);
}

std::string ResolveUrl(std::string_view base, std::string_view reference,
                       std::string_view baseServer) {
  // The base: its server (scheme and authority), path, and query with fragment.
  std::string_view server;
  if (!baseServer.empty() && AsciiStartsWithNoCase(base, baseServer)) {
    server = base.substr(0, baseServer.size());
  } else if (const size_t mark = base.find("://"); mark != std::string_view::npos) {
    server = base.substr(0, std::min(base.find('/', mark + 3), base.size()));
  }
  const std::string_view baseRest = base.substr(server.size());
  const std::string_view basePath = baseRest.substr(0, baseRest.find_first_of("?#"));
  const std::string_view baseNoFragment = base.substr(0, base.find('#'));
  const size_t schemeEnd = server.find("://");
  const std::string_view baseScheme =
      schemeEnd == std::string_view::npos ? std::string_view() : server.substr(0, schemeEnd);

  std::string slashed;
  if (IsFetchableScheme(baseScheme)) {
    // Browsers read "\" as "/" in the path of these schemes.
    const size_t pathEnd = std::min(reference.find_first_of("?#"), reference.size());
    if (reference.substr(0, pathEnd).find('\\') != std::string_view::npos) {
      slashed.assign(reference);
      for (size_t i = 0; i < pathEnd; ++i)
        if (slashed[i] == '\\') slashed[i] = '/';
      reference = slashed;
    }
  }

  const std::string_view scheme = SchemeOf(reference);
  if (!scheme.empty()) {
    if (!IsFetchableScheme(scheme)) return std::string(reference);
    std::string_view rest = reference.substr(scheme.size() + 1);
    if (rest.starts_with("//")) return std::string(reference);
    if (!AsciiEqualsNoCase(scheme, baseScheme)) {
      // "https:host/x": the rest names the server, whatever slashes it lacks.
      while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
      return std::string(scheme) + "://" + std::string(rest);
    }
    reference = rest;  // "http:x" on an http page is relative, as browsers take it
  }

  const size_t split = std::min(reference.find_first_of("?#"), reference.size());
  const std::string_view path = reference.substr(0, split);
  const std::string_view tail = reference.substr(split);
  if (reference.starts_with("//")) {
    // Another server, reached with the page's own scheme.
    if (baseScheme.empty()) return std::string(server) + std::string(reference);
    const size_t pathStart = std::min(path.find('/', 2), path.size());
    return JoinResolved(std::string(baseScheme) + ":" + std::string(path.substr(0, pathStart)),
                        path.substr(pathStart), tail);
  }
  if (reference.starts_with("/")) return JoinResolved(server, path, tail);
  if (reference.empty()) return std::string(baseNoFragment);
  if (path.empty()) {
    // Only a query or a fragment: the page's path stays, with the page's query for a fragment.
    if (tail.front() == '#') return std::string(baseNoFragment) + std::string(tail);
    return std::string(server) + std::string(basePath) + std::string(tail);
  }
  std::string merged;
  if (!server.empty() && basePath.empty()) {
    merged = "/";
  } else {
    const size_t slash = basePath.rfind('/');
    if (slash != std::string_view::npos) merged = basePath.substr(0, slash + 1);
  }
  merged += path;
  return JoinResolved(server, merged, tail);
}

namespace {

std::vector<std::string_view> DomainLabels(std::string_view host) {
  const size_t p = host.find("//");
  if (p != std::string_view::npos) host.remove_prefix(p + 2);
  // Host names have no case, so "WWW." is the same prefix as "www.".
  if (AsciiStartsWithNoCase(host, "www.")) host.remove_prefix(4);
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
  const std::string server = ExtractUrlServer(url);
  if (!AsciiStartsWithNoCase(server, "http://") && !AsciiStartsWithNoCase(server, "https://") &&
      !AsciiStartsWithNoCase(server, "ftp://"))
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
