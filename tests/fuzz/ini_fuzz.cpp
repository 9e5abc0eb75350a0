// Settings-file parser under arbitrary bytes: no crash; writing back what was read and reading it
// again gives the same sections and lines; the direct form reads the file as the memory form does;
// a written value never adds lines to the file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "foundation/mem_ini_file.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "ini_fuzz: %s\n", what);
    std::abort();
  }
}

std::vector<std::vector<std::string>> Snapshot(const tq::TVornCustomIniFile& ini) {
  std::vector<std::vector<std::string>> out;
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  out.push_back(sections);
  for (const auto& s : sections) {
    out.emplace_back();
    ini.ReadSectionValues(s, out.back());
  }
  return out;
}

const std::string& ScratchFile() {
  static const std::string path = [] {
    char name[] = "/tmp/tq-ini-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  tq::TVornMemIniFile ini("unused.ini");
  ini.SetText(input);
  const auto first = Snapshot(ini);

  tq::TVornMemIniFile again("unused.ini");
  again.SetText(ini.GetText());
  Check(Snapshot(again) == first, "written file reads back differently");
  Check(again.GetText() == ini.GetText(), "second write differs");

  if (size < 4096) {
    {
      std::ofstream out(ScratchFile(), std::ios::binary | std::ios::trunc);
      out << input;
      Check(static_cast<bool>(out.flush()), "cannot write scratch file");
    }
    tq::TVornIniFile direct(ScratchFile());
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    for (size_t i = 0; i < sections.size() && i < 16; ++i) {
      const auto& s = sections[i];
      std::vector<std::string> memLines, directLines, names;
      ini.ReadSectionValues(s, memLines);
      for (auto& line : memLines) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) line.resize(std::min(line.size(), eq + 1 + 2047));
      }
      direct.ReadSectionValues(s, directLines);
      Check(directLines == memLines, "direct form reads other lines");
      ini.ReadSection(s, names);
      if (!names.empty()) {
        Check(direct.ReadString(s, names.back(), "<none>") ==
                  ini.ReadString(s, names.back(), "<none>").substr(0, 2047),
              "direct form reads another value");
      }
    }
    std::vector<std::string> directSections;
    direct.ReadSections(directSections);
    Check(directSections == sections, "direct form lists other sections");
  }

  // Any bytes as section and value add at most one section. Key names are the program's own and
  // may not hold "=" or start with "[" or ";", so the key here is made to obey that.
  const std::string section = input.substr(0, size / 3);
  std::string key = "k" + input.substr(size / 3, size / 3);
  for (char& c : key) {
    if (c == '=') c = '-';
  }
  const std::string value = input.substr(2 * size / 3);
  ini.WriteString(section, key, value);
  Check(ini.ReadString(section, key, "<none>") == tq::IniValue(value), "written value reads back");
  again.SetText(ini.GetText());
  std::vector<std::string> before = first.front();
  std::vector<std::string> after;
  again.ReadSections(after);
  Check(after.size() <= before.size() + 1, "a write added more than one section");
  return 0;
}
