// The ZIP destination over an archive the user already has: an export of nothing writes an empty
// archive, while a full disk or a cancel before the first file leaves the old archive as it was
// and no temporary file behind.
// ctest: timeout=60
#include <gtest/gtest.h>

#include <filesystem>

#include "export/storage_folder.h"
#include "export/zip_writer.h"
#include "storage/archive_test_util.h"
#include "support/fault_file_system.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

// The export as the destination sees it: a list of files with their bytes, and scripted answers.
class TZipHost : public IVornDeployHost {
 public:
  explicit TZipHost(int files) {
    for (int i = 0; i < files; ++i)
      m_files.Add("http://h/p" + std::to_string(i) + ".html", "TEXT/HTML");
  }
  const TVornDepFiles& Files() const override { return m_files; }
  // Bytes that do not compress, so the archive is as large as what was spooled.
  std::string Output(const TVornDepFile& file) override {
    std::string bytes(64 * 1024, '\0');
    uint32_t seed = static_cast<uint32_t>(file.PageNumber) + 1;
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
    return bytes;
  }
  void SaveProgress(const TVornDepFile&, int) override {}
  void CustomAction(const std::string&, int) override {}
  int Ask(const std::string& text, TMsgDlgIcon, unsigned, const std::string&) override {
    Asked.push_back(text);
    return Answer;
  }

  int Answer = mrOk;
  std::vector<std::string> Asked;

 private:
  TVornDepFiles m_files;
};

// Members of the archive as an independent reader lists them, or "unreadable".
std::string Members(const fs::path& zip) {
  const std::string command =
      "python3 -c 'import sys, zipfile; "
      "print(\",\".join(zipfile.ZipFile(sys.argv[1]).namelist()))' '" +
      zip.string() + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char block[4096];
  for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, n);
  return ::pclose(pipe) == 0 ? out : "unreadable";
}

TEST(ZipExport, AnExportOfNothingIsAnEmptyArchiveAndFailuresKeepTheOldOne) {
  test::TScratchFolder dir;
  const fs::path zip = dir / "keep.zip";
  struct Case {
    const char* name;
    int files;
    uint64_t freeBytes;  // on the fault file system
    bool cancelFirst;
    std::string members;  // afterwards
    size_t questions;
  };
  const Case cases[] = {
      {"nothing to export", 0, UINT64_MAX, false, "\n", 0},
      // The first member fails to be spooled: said once, the export stops, the old file stays.
      {"disk full from the start", 3, 0, false, "old.txt\n", 1},
      // The members fit, the archive does not: the retry is refused and the old file stays.
      {"disk full while closing", 2, 200 * 1024, false, "old.txt\n", 1},
      {"cancelled before the first file", 2, UINT64_MAX, true, "old.txt\n", 0},
      {"two files", 2, UINT64_MAX, false, "http/h/p0.html,http/h/p1.html\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVornZipWriter old;
    ASSERT_TRUE(old.Open(zip) && old.Add("old.txt", "old") && old.Close());
    test::TFaultFileSystem disk;
    disk.FreeBytes = c.freeBytes;
    TZipHost host(c.files);
    host.Answer = c.freeBytes == UINT64_MAX ? mrOk : mrCancel;
    TVornStorageZip storage;
    storage.FileName = zip;
    storage.FileSystem = &disk;
    if (c.cancelFirst) storage.Cancel();
    if (c.files > 0 && c.freeBytes == 0) host.Answer = mrOk;  // go on after each failure
    storage.Save(host);
    EXPECT_EQ(Members(zip), c.members);
    EXPECT_EQ(host.Asked.size(), c.questions);
    for (const auto& entry : fs::directory_iterator(dir.Path())) EXPECT_EQ(entry.path(), zip);
  }
}

}  // namespace
}  // namespace tq
