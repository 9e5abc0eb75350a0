// Escaping text for HTML: & and " for a value in double quotes, and < > as well for text that
// may also stand between tags. Works on UTF-8 (char) and UTF-16 (char16_t) text alike.
#pragma once

#include <string>
#include <string_view>

namespace tq {

enum THtmlEscape { heQuotedValue, heText };

template <class Char>
void AppendHtmlEscaped(std::basic_string_view<Char> text, std::basic_string<Char>& out,
                       THtmlEscape what = heText) {
  const auto append = [&out](std::string_view entity) { out.append(entity.begin(), entity.end()); };
  for (const Char c : text) {
    if (c == Char('&')) {
      append("&amp;");
    } else if (c == Char('"')) {
      append("&quot;");
    } else if (what == heText && c == Char('<')) {
      append("&lt;");
    } else if (what == heText && c == Char('>')) {
      append("&gt;");
    } else {
      out += c;
    }
  }
}

inline std::string HtmlEscaped(std::string_view text, THtmlEscape what = heText) {
  std::string out;
  out.reserve(text.size());
  AppendHtmlEscaped(text, out, what);
  return out;
}

}  // namespace tq
