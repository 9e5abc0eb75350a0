// Fuzzes reading a project's crawl settings (the settings member of every .web and every .etpl)
// from settings text: the first byte picks template mode, the rest is the text. Nothing may
// crash, and what was read, saved and read again saves the same: a project keeps its settings
// through any number of saves.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/crawl_settings.h"
#include "foundation/mem_ini_file.h"
#include "fuzz_check.h"

namespace {

std::string Saved(const tq::TVornCrawlSettings& settings, bool templateMode) {
  tq::TVornMemIniFile out("");
  settings.SaveToIni(out, templateMode);
  return out.GetText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  if (size == 0) return 0;
  const bool templateMode = data[0] & 1;
  TVornMemIniFile ini("");
  ini.SetText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  TVornCrawlSettings first;
  first.LoadFromIni(ini, templateMode);
  const std::string once = Saved(first, templateMode);

  TVornMemIniFile again("");
  again.SetText(once);
  TVornCrawlSettings second;
  second.LoadFromIni(again, templateMode);
  FUZZ_CHECK(Saved(second, templateMode) == once);
  return 0;
}
