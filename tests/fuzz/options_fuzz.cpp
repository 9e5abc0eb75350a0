// The application options over an arbitrary settings file: loading never fails nor runs away on
// a damaged count, and what the options write reads back to the same file.
#include <cstdint>
#include <string>

#include "foundation/mem_ini_file.h"
#include "fuzz_check.h"
#include "options/options.h"

namespace {

std::string Written(const tq::TVornOptions& options) {
  tq::TVornMemIniFile file("");
  options.SaveToIni(file);
  return file.GetText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tq::TVornMemIniFile input("");
  input.SetText(std::string(reinterpret_cast<const char*>(data), size));
  tq::TVornOptions first("");
  first.LoadFromIni(input);
  const std::string written = Written(first);
  FUZZ_CHECK(written.size() <= 64 * (size + 4096));

  tq::TVornMemIniFile again("");
  again.SetText(written);
  tq::TVornOptions second("");
  second.LoadFromIni(again);
  FUZZ_CHECK(Written(second) == written);
  return 0;
}
