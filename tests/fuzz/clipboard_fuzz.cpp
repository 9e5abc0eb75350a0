// Fuzzes what the desktop takes from outside processes: a copied text searched for an address
// (the whole input) and a hand-over's lines (the input cut at newlines) run as a macro. Nothing
// may crash; the address found is a run of the text that starts with its scheme and holds no
// blank; a macro reaches exactly one handler, and a handler that raises never ends the program.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ansi.h"
#include "foundation/url.h"
#include "fuzz_check.h"
#include "options/integration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view address = AddressIn(text);
  if (!address.empty()) {
    FUZZ_CHECK(address.data() >= text.data() && address.data() + address.size() <= text.end());
    FUZZ_CHECK(AnsiStartsText("http://", address) || AnsiStartsText("https://", address) ||
               AnsiStartsText("ftp://", address));
    FUZZ_CHECK(address.find_first_of(" \t\r\n") == std::string_view::npos);
    (void)ExtractUrlFileExt(address);
  }

  std::vector<std::string> lines;
  for (std::string_view rest = text; !rest.empty();) lines.emplace_back(NextPart(rest));
  TVornIntegration integration;
  int calls = 0;
  const bool raise = size > 0 && (data[0] & 1);
  integration.OnOpenFile = [&](const std::string& file) {
    ++calls;
    FUZZ_CHECK(lines.front() == "OpenFile=" + file);
    if (raise) throw std::runtime_error("handler failed");
  };
  integration.OnIELinks = [&](const std::vector<std::string>& links, bool, bool) {
    ++calls;
    FUZZ_CHECK(links == lines);
    if (raise) throw 1;
  };
  integration.ExecuteMacro(lines);
  FUZZ_CHECK(calls == 1);
  return 0;
}
