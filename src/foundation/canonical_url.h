// The one spelling of an address that links, lists, the content index, the offline server and
// the export compare. For http, https and ftp addresses it is the spelling a browser sends:
//   - the scheme and host in lower case, the scheme's default port dropped, an empty path "/";
//   - "." and ".." segments of the path resolved, "%2e" read as "." (as browsers read it);
//   - "\" in the path taken for "/", tab, CR and LF removed, blanks and controls around cut;
//   - control bytes, blank, " ' < > ` { } | ^, DEL and every byte from 0x80 on percent-encoded
//     in path, query and fragment (non-ASCII text is expected to be UTF-8 already); existing
//     "%XX" escapes are kept as written.
// So a canonical address holds no control byte and is safe inside double quotes, apostrophes and
// script strings. Anything else (mail addresses, schemeless texts, other schemes) is its own
// canonical form.
//
// Pure functions, any thread. The canonical form of a canonical address is itself, and asking
// for it copies nothing.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// True when url is not canonical; then out receives its canonical form (out is left alone
// otherwise).
bool CanonicalizeUrl(std::string_view url, std::string& out);

// The canonical form, as a copy.
std::string CanonicalUrl(std::string_view url);

// The canonical form without a copy when url already is one: url itself, or scratch holding it.
std::string_view CanonicalUrlView(std::string_view url, std::string& scratch);

// RFC 3986 remove_dot_segments on a path that begins with "/" (browsers' reading: a final "." or
// ".." leaves the folder's slash, "%2e" is "."); other paths are merged first by the caller.
std::string RemoveDotSegments(std::string_view path);

// True when text holds a byte below 0x20 or DEL: such an address must never reach a transfer.
bool HasControlByte(std::string_view text);

// "%XX" escapes decoded (all of them, or all but those that would give a control byte).
std::string PercentDecode(std::string_view text, bool keepControlBytes = false);

}  // namespace tq
