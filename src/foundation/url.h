// Taking addresses apart, classifying link texts and resolving them into absolute addresses.
// The crawl engine identifies links by the addresses these functions produce (in their canonical
// form, foundation/canonical_url.h) and projects store them.
//
// All functions are pure, never throw on any input (malformed input gives the empty text or the
// input unchanged) and may be called from any thread. Texts are 8-bit byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// What a link text is; the ordinals are stored with a link as one byte.
enum TLinkKind : uint8_t {
  lkRelative = 0,      // img/a.gif
  lkRootRelative = 1,  // /img/a.gif, and //host/x (resolved with the page's scheme)
  lkAbsolute = 2,      // http:// or https://, or beginning with the base page's server
  lkMail = 3,          // mailto:
  lkFtp = 4,           // ftp:// or ftp.
  lkScript = 5,        // javascript:
  lkNone = 6,          // empty
  lkBookmark = 7,      // #name inside the same page
};

enum TUrlProtocol : uint8_t { upHttp = 0, upHttps = 1, upFtp = 2 };

// Classifies LinkText (one pair of surrounding double quotes ignored) against the page BaseUrl.
TLinkKind GetLinkKind(std::string_view linkText, std::string_view baseUrl);

// "http://", "https://" or "ftp://" (always lower case) and the host with any port as written;
// the bare text before the first "/" when no scheme is recognised. Query and fragment are cut
// first, so http://h?x=/y gives http://h.
std::string ExtractUrlServer(std::string_view url);

// The address without "?query" and "#fragment".
std::string StripUrlQuery(std::string_view url);

// From the first "?" (included) to the end, fragment included; empty without "?".
std::string ExtractUrlQuery(std::string_view url);

// The path after the server with its file name removed: http://h/a/b/c.html gives a/b/.
std::string ExtractUrlDir(std::string_view url);

// The path from the segment holding the first "." on: /a/b/c.html gives c.html, /docs.old/page
// gives docs.old/page, /a/b/c gives empty (a last segment without a dot is a folder).
std::string ExtractUrlFileName(std::string_view url);

// The text after the first "." of the file name: archive.tar.gz gives tar.gz.
std::string ExtractUrlFileExt(std::string_view url);

// The text after the last "." of the last path segment (query and fragment cut first):
// archive.tar.gz gives gz, http://h/v1.2/page gives empty.
std::string ExtractUrlLastExt(std::string_view url);

// https -> upHttps, ftp -> upFtp, everything else (no scheme included) -> upHttp.
TUrlProtocol GetUrlProtocol(std::string_view url);

// Resolves reference against the page address base whose server is baseServer
// (ExtractUrlServer of the page) as RFC 3986 section 5 and browsers do: "page" and "sub/" on
// http://h/a/b.html give http://h/a/page and http://h/a/sub/, "?q=1" keeps the page's path,
// "." and ".." segments are resolved, "//host/x" takes the page's scheme, "\" counts as "/" on
// http, https and ftp pages. A reference with another scheme than those three comes back as
// written; "http:x" on an http page is relative, as browsers take it. The result is not yet
// canonical (see CanonicalUrl).
std::string ResolveUrl(std::string_view base, std::string_view reference,
                       std::string_view baseServer);

// True for a reference without a scheme or with http, https or ftp: one that can become a link.
// data:, about:, blob:, tel:, mailto: and the like are not.
bool IsFetchableReference(std::string_view reference);

// Hosts of one site: equal, or some label of A (scheme, "www." and top-level label removed)
// occurs inside some label of B.
bool IsRelatedDomain(std::string_view hostA, std::string_view hostB);

// An http, https or ftp address whose host has at least two dots and a non-empty last label.
bool IsValidUrl(std::string_view url);

// Appends the lines of data to lines: CR, LF and CR LF end a line, a final break adds no empty
// line, and a line ends early at a NUL byte.
void StreamToLines(std::vector<std::string>& lines, std::string_view data);

}  // namespace tq
