// Finding the addresses a style sheet names: url(...) values and the strings of @import rules,
// read the way a browser's CSS tokenizer reads them (comments, strings, escapes, malformed
// urls), never by pattern over the raw text, so nothing inside a comment or a string counts.
// Each address comes with the byte range it occupies, and ReplaceCssReferences writes other
// addresses into those ranges, keeping every other byte of the sheet.
//
// Pure functions of their input, safe on any thread. The input is taken as bytes of an ASCII
// compatible charset; bytes from 0x80 up are name characters and are copied into addresses as
// they are.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

struct TCssReference {
  // The bytes to replace: a whole url(...) (UrlFunction) or a whole quoted string, quotes
  // included (what "@import "a.css"" names).
  std::size_t Begin = 0;
  std::size_t End = 0;
  bool UrlFunction = true;
  bool Import = false;    // named by an @import rule: a style sheet
  bool FontFace = false;  // inside an @font-face rule: a font
  std::string Url;        // escapes resolved (as UTF-8), surrounding blanks dropped; never empty
};

// The references of a style sheet (a file, a style element's text or a style attribute's
// value), in source order. An empty url() or string names nothing and is left out.
std::vector<TCssReference> FindCssReferences(std::string_view css);

// The address to write in place of a reference's, or nullopt to leave the reference as it is.
using TCssReferenceMapping = std::function<std::optional<std::string>(const TCssReference&)>;

// css with the address of every reference that mapping gives a new one for replaced by it. The
// reference keeps its form: the same function name, quote (an unquoted url() stays unquoted) and
// blanks, with the new address escaped as that form needs, so FindCssReferences reads it back
// as given. Every byte outside the references stays as it was.
std::string ReplaceCssReferences(std::string_view css, const TCssReferenceMapping& mapping);

}  // namespace tq
