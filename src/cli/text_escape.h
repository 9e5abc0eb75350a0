// Text from servers and pages printed on a terminal: control bytes become visible escapes, so a
// hostile status line or address can neither move the cursor nor split a tab-separated line.
#pragma once

#include <string>
#include <string_view>

namespace tq::cli {

// Every byte below 0x20, 0x7F and the backslash itself are written as "\xHH", so the printed
// text reads back unambiguously; every other byte is copied as it is.
std::string EscapeControls(std::string_view text);

}  // namespace tq::cli
