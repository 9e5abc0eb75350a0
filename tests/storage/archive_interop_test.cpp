// Archives we write, read back by an independent LHA reader (lhasa's lha): listed, CRC-tested and
// extracted byte for byte. Skipped where lha is not installed. lhasa only reads archives, so the
// other direction (reading what another tool wrote) is covered by our own reader tests only.
// ctest: timeout=60
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "archive_test_util.h"
#include "storage/archive.h"

namespace tq {
namespace {

using test::Html;
using test::Noise;
using test::ReadFile;
using test::TScratchFolder;
using test::WriteFile;

bool HaveLha() {
  return std::system("command -v lha >/dev/null 2>&1") == 0;
}

int RunLha(const std::string& arguments, const std::string& outputFile) {
  const std::string command = "lha " + arguments + " >'" + outputFile + "' 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(ArchiveInterop, LhaListsTestsAndExtractsWhatWeWrite) {
  if (!HaveLha()) GTEST_SKIP() << "lha is not installed";
  TScratchFolder folder;
  std::string repetitive;
  while (repetitive.size() < 3'000'000) repetitive += "<tr><td>row</td><td>cell</td></tr>\n";
  const std::map<std::string, std::string> members = {
      {"EMPTY.DAT", ""},
      {"ONE.DAT", "x"},
      {"NOISE.BIN", Noise(400'000, 21)},
      {"REPEAT.HTM", repetitive},
      {"INDEX.DAT", Html(4'500'000, 22)},
      {"TMP123456.~TMP", Html(70'000, 23) + Noise(5000, 24) + Html(70'000, 25)},
  };
  TVornArchive archive(folder / "project.web");
  std::vector<std::string> files;
  for (const auto& [name, data] : members) {
    if (name.find(".DAT") != std::string::npos) {
      archive.AddStream(name, data);
    } else {
      files.push_back(folder / Lower(name));
      WriteFile(files.back(), data);
    }
  }
  archive.AddFiles(files);
  archive.AddStream("one.dat", "y");  // a replaced member must not linger for other readers
  auto expected = members;
  expected["ONE.DAT"] = "y";

  const std::string log = folder / "lha.log";
  ASSERT_EQ(RunLha("l '" + archive.FileName() + "'", log), 0) << ReadFile(log);
  const std::string listing = Lower(ReadFile(log));
  for (const auto& entry : expected) EXPECT_NE(listing.find(Lower(entry.first)), std::string::npos);

  ASSERT_EQ(RunLha("t '" + archive.FileName() + "'", log), 0) << ReadFile(log);

  const std::string out = folder / "out";
  std::filesystem::create_directories(out);
  ASSERT_EQ(RunLha("xqfw='" + out + "' '" + archive.FileName() + "'", log), 0) << ReadFile(log);
  // lha shows all-capital names of this header level in lower case.
  std::map<std::string, std::string> extracted;
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    extracted[Lower(entry.path().filename().string())] = ReadFile(entry.path().string());
  }
  ASSERT_EQ(extracted.size(), expected.size());
  for (const auto& [name, data] : expected) {
    EXPECT_TRUE(extracted[Lower(name)] == data) << name;
  }
}

}  // namespace
}  // namespace tq
