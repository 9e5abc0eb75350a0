// The archive container: every operation on a new and on an existing archive, replacement by
// name in any letter case, a table of damaged archives, and write failures that must leave the
// old archive untouched.
#include "storage/archive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>

#include "archive_test_util.h"

namespace tq {
namespace {

using test::Html;
using test::Noise;
using test::ReadFile;
using test::TScratchFolder;
using test::WriteFile;
using ::testing::ElementsAre;

std::string MethodOfFirstMember(const std::string& archiveFile) {
  return ReadFile(archiveFile).substr(2, 5);
}

// Lists and extracts every member, as loading a project does.
void ReadEverything(const TVornArchive& archive) {
  for (const std::string& name : archive.List()) archive.ExtractToStream(name);
}

class ArchiveOnFreshAndExisting : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) m_archive.AddStream("old.dat", "old member");
  }
  // Members the archive held before the operation under test.
  std::vector<std::string> Old() const {
    return GetParam() ? std::vector<std::string>{"OLD.DAT"} : std::vector<std::string>{};
  }
  std::vector<std::string> With(std::vector<std::string> names) const {
    for (const auto& n : Old()) names.push_back(n);
    return names;
  }

  TScratchFolder m_folder;
  TVornArchive m_archive{m_folder / "project.web"};
};

TEST_P(ArchiveOnFreshAndExisting, AddStreamThenReadBack) {
  const std::string html = Html(20000, 1);
  m_archive.AddStream("index.dat", html);
  m_archive.AddStream("Settings.Dat", "");
  EXPECT_EQ(m_archive.List(), With({"SETTINGS.DAT", "INDEX.DAT"}));
  EXPECT_TRUE(m_archive.Contains("Index.DAT"));
  EXPECT_TRUE(m_archive.Contains("/some/folder/index.dat"));
  EXPECT_FALSE(m_archive.Contains("index"));
  EXPECT_EQ(m_archive.ExtractToStream("INDEX.dat"), html);
  EXPECT_EQ(m_archive.ExtractToStream("settings.dat"), "");
  EXPECT_THROW(m_archive.ExtractToStream("missing.dat"), EArchiveError);
  EXPECT_FALSE(std::filesystem::exists(m_folder / "project.$$$"));
}

TEST_P(ArchiveOnFreshAndExisting, AddFilesSkipsMissingOnesAndReportsEachAdded) {
  WriteFile(m_folder / "tmp1.~tmp", Html(5000, 2));
  WriteFile(m_folder / "tmp2.~tmp", Noise(5000, 3));
  std::vector<std::string> reported;
  m_archive.AddFiles({m_folder / "tmp1.~tmp", m_folder / "gone.~tmp", m_folder / "tmp2.~tmp"},
                     [&](const std::string& path) { reported.push_back(path); });
  EXPECT_EQ(reported, (std::vector<std::string>{m_folder / "tmp1.~tmp", m_folder / "tmp2.~tmp"}));
  EXPECT_EQ(m_archive.List(), With({"TMP1.~TMP", "TMP2.~TMP"}));
  EXPECT_EQ(m_archive.ExtractToStream("tmp2.~tmp"), ReadFile(m_folder / "tmp2.~tmp"));
}

// Members are packed several at a time: however many there are, they come out in list order,
// each reported once after it was added, each reading back as it was.
TEST_P(ArchiveOnFreshAndExisting, ManyFilesKeepTheirOrderAndContent) {
  std::vector<std::string> paths, added, names;
  for (int i = 0; i < 150; ++i) {
    const std::string name = "t" + std::to_string(i) + ".~tmp";
    paths.push_back(m_folder / name);
    if (i % 37 == 5) continue;  // never written: skipped
    WriteFile(paths.back(), i % 10 == 0 ? Noise(3000, i) : i == 7 ? "" : Html(500 + i * 40, i));
    added.push_back(paths.back());
    names.push_back(TVornArchive::MemberName(name));
  }
  std::vector<std::string> reported;
  m_archive.AddFiles(paths, [&](const std::string& path) { reported.push_back(path); });
  EXPECT_EQ(reported, added);
  EXPECT_EQ(m_archive.List(), With(names));
  for (const std::string& path : added)
    ASSERT_EQ(m_archive.ExtractToStream(path), ReadFile(path)) << path;
}

TEST_P(ArchiveOnFreshAndExisting, SameNameInAnyCaseReplacesTheMember) {
  m_archive.AddStream("SETTINGS.DAT", "first");
  WriteFile(m_folder / "settings.dat", "second");
  m_archive.AddFiles({m_folder / "settings.dat"});
  m_archive.AddStream("Settings.dat", "third");
  EXPECT_EQ(m_archive.List(), With({"SETTINGS.DAT"}));
  EXPECT_EQ(m_archive.ExtractToStream("settings.dat"), "third");
}

TEST_P(ArchiveOnFreshAndExisting, DeleteRemovesOnlyTheNamedMembers) {
  m_archive.AddStream("a.dat", "a");
  m_archive.AddStream("b.dat", Html(3000, 4));
  m_archive.Delete({"A.dat", "nothing.dat"});
  EXPECT_EQ(m_archive.List(), With({"B.DAT"}));
  EXPECT_EQ(m_archive.ExtractToStream("b.dat"), Html(3000, 4));

  std::vector<std::string> all = m_archive.List();
  m_archive.Delete(all);
  EXPECT_EQ(ReadFile(m_archive.FileName()), std::string(1, '\0'));
  EXPECT_TRUE(m_archive.List().empty());
}

INSTANTIATE_TEST_SUITE_P(Archive, ArchiveOnFreshAndExisting, ::testing::Bool(),
                         [](const auto& p) { return std::string(p.param ? "Existing" : "Fresh"); });

TEST(Archive, MissingArchiveReadsAsEmptyAndDeleteLeavesItMissing) {
  TScratchFolder folder;
  TVornArchive archive(folder / "none.web");
  EXPECT_TRUE(archive.List().empty());
  EXPECT_FALSE(archive.Contains("index.dat"));
  EXPECT_THROW(archive.ExtractToStream("index.dat"), EArchiveError);
  archive.Delete({"index.dat"});
  archive.AddFiles({folder / "missing.~tmp"});
  EXPECT_FALSE(std::filesystem::exists(folder / "none.web"));
  EXPECT_THROW(archive.AddStream("/folder/", "no name"), EArchiveError);
  EXPECT_FALSE(std::filesystem::exists(folder / "none.web"));
  EXPECT_FALSE(std::filesystem::exists(folder / "none.$$$"));
}

TEST(Archive, ChoosesTheMethodBySize) {
  TScratchFolder folder;
  struct TCase {
    std::string data;
    const char* method;
  };
  for (const TCase& c : {TCase{"", "-lh0-"}, TCase{"ab", "-lh0-"}, TCase{Noise(10000, 5), "-lh0-"},
                         TCase{Html(10000, 6), "-lh1-"}}) {
    TVornArchive archive(folder / (std::to_string(c.data.size()) + c.method + ".web"));
    archive.AddStream("m", c.data);
    EXPECT_EQ(MethodOfFirstMember(archive.FileName()), c.method) << c.data.size();
    const std::string bytes = ReadFile(archive.FileName());
    EXPECT_EQ(bytes.back(), '\0');
    EXPECT_EQ(archive.ExtractToStream("M"), c.data);
  }
}

TEST(Archive, MemberNamesAreFileNamesUpperCasedByTheAnsiTable) {
  EXPECT_EQ(TVornArchive::MemberName("/work/p/index.dat"), "INDEX.DAT");
  EXPECT_EQ(TVornArchive::MemberName("C:\\p\\tmp12.~tmp"), "TMP12.~TMP");
  EXPECT_EQ(TVornArchive::MemberName("caf\xE9\xF7\xFF\x9A.dat"), "CAF\xC9\xF7\x9F\x8A.DAT");
}

TEST(Archive, SeesChangesMadeToTheFileBehindItsBack) {
  TScratchFolder folder;
  TVornArchive reader(folder / "p.web");
  TVornArchive writer(folder / "p.web");
  writer.AddStream("a.dat", "1");
  EXPECT_THAT(reader.List(), ElementsAre("A.DAT"));
  writer.AddStream("b.dat", "2");
  EXPECT_TRUE(reader.Contains("b.dat"));
  writer.AddStream("a.dat", "longer content");
  EXPECT_EQ(reader.ExtractToStream("a.dat"), "longer content");
  WriteFile(folder / "p.web", "not an archive any more");
  EXPECT_THROW(reader.Contains("a.dat"), EArchiveError);
  std::filesystem::remove(folder / "p.web");
  EXPECT_FALSE(reader.Contains("a.dat"));
}

TEST(Archive, TwoFilesOfOneNameInOneCallKeepTheLaterOne) {
  TScratchFolder folder;
  std::filesystem::create_directories(folder / "a");
  std::filesystem::create_directories(folder / "b");
  WriteFile(folder / "a/x.dat", "from a");
  WriteFile(folder / "b/x.dat", "from b");
  TVornArchive archive(folder / "p.web");
  archive.AddFiles({folder / "a/x.dat", folder / "b/x.dat", folder / "c/x.dat"});  // c: missing
  EXPECT_THAT(archive.List(), ElementsAre("X.DAT"));
  EXPECT_EQ(archive.ExtractToStream("x.dat"), "from b");
}

// --- damaged archives -------------------------------------------------------------------------

// An archive of a compressed member and a stored one; offsets are taken from it.
struct TSample {
  std::string bytes;
  size_t second = 0;  // offset of the second header
};

TSample MakeSample(const TScratchFolder& folder) {
  TVornArchive archive(folder / "sample.web");
  archive.AddStream("stored.dat", Noise(300, 7));  // ends up second
  archive.AddStream("text.dat", Html(4000, 8));
  TSample s;
  s.bytes = ReadFile(archive.FileName());
  const size_t firstHeader = static_cast<uint8_t>(s.bytes[0]) + 2;
  const uint32_t packed = static_cast<uint8_t>(s.bytes[7]) | static_cast<uint8_t>(s.bytes[8]) << 8;
  s.second = firstHeader + packed;
  return s;
}

void Resum(std::string& b, size_t header) {
  unsigned sum = 0;
  const size_t length = static_cast<uint8_t>(b[header]);
  for (size_t i = header + 2; i < header + 2 + length; ++i) sum += static_cast<uint8_t>(b[i]);
  b[header + 1] = static_cast<char>(sum);
}

struct TCorruption {
  const char* name;
  std::function<void(TSample&)> damage;
  bool inData = false;  // damage only extraction can see: adding copies member data unread
};

class ArchiveCorruption : public ::testing::TestWithParam<TCorruption> {};

TEST_P(ArchiveCorruption, ReadingRaisesTheArchiveErrorAndAddingLeavesTheFileAlone) {
  TScratchFolder folder;
  TSample sample = MakeSample(folder);
  GetParam().damage(sample);
  const std::string file = folder / "damaged.web";
  WriteFile(file, sample.bytes);
  TVornArchive archive(file);
  EXPECT_THROW(ReadEverything(archive), EArchiveError);
  if (GetParam().inData) return;
  EXPECT_THROW(archive.AddStream("new.dat", "x"), EArchiveError);
  EXPECT_TRUE(ReadFile(file) == sample.bytes);
  EXPECT_FALSE(std::filesystem::exists(folder / "damaged.$$$"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArchiveCorruption,
    ::testing::Values(
        TCorruption{"TruncatedFirstHeader", [](TSample& s) { s.bytes.resize(10); }},
        TCorruption{"TruncatedFirstData", [](TSample& s) { s.bytes.resize(s.second - 5); }},
        TCorruption{"TruncatedSecondHeader", [](TSample& s) { s.bytes.resize(s.second + 30); }},
        TCorruption{"TruncatedSecondData", [](TSample& s) { s.bytes.resize(s.bytes.size() - 10); }},
        TCorruption{"FlippedChecksum", [](TSample& s) { s.bytes[s.second + 1] ^= 0x10; }},
        TCorruption{"FlippedNameByte", [](TSample& s) { s.bytes[24] ^= 0x01; }},
        TCorruption{"UnknownMethod",
                    [](TSample& s) {
                      s.bytes[s.second + 5] = '7';
                      Resum(s.bytes, s.second);
                    }},
        TCorruption{"Level1Header",
                    [](TSample& s) {
                      s.bytes[20] = 1;
                      Resum(s.bytes, 0);
                    }},
        TCorruption{"Level2Header", [](TSample& s) { s.bytes[s.second + 20] = 2; }},
        TCorruption{"SizePastEnd",
                    [](TSample& s) {
                      s.bytes[s.second + 10] = 0x7F;
                      Resum(s.bytes, s.second);
                    }},
        TCorruption{"StoredSizesDisagree",
                    [](TSample& s) {
                      s.bytes[s.second + 11] ^= 1;
                      Resum(s.bytes, s.second);
                    }},
        TCorruption{"CrcMismatchStored", [](TSample& s) { s.bytes[s.bytes.size() - 20] ^= 0x55; },
                    true},
        TCorruption{"CrcMismatchCompressed",
                    [](TSample& s) {
                      const size_t crc = static_cast<uint8_t>(s.bytes[0]);  // CRC at 22 + n
                      s.bytes[crc] ^= 0x01;
                      Resum(s.bytes, 0);
                    },
                    true},
        TCorruption{"GarbledCompressedData",
                    [](TSample& s) {
                      s.bytes[60] ^= 0x5A;
                      s.bytes[61] ^= 0x33;
                    },
                    true},
        TCorruption{"NotAnArchive", [](TSample& s) { s.bytes = "<html>not an archive</html>"; }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Archive, ArchiveWithoutEndMarkerOrWithTrailingBytesStillReads) {
  TScratchFolder folder;
  TSample sample = MakeSample(folder);
  for (const std::string& bytes :
       {sample.bytes.substr(0, sample.bytes.size() - 1), sample.bytes + "trailing junk"}) {
    WriteFile(folder / "x.web", bytes);
    TVornArchive archive(folder / "x.web");
    EXPECT_THAT(archive.List(), ElementsAre("TEXT.DAT", "STORED.DAT"));
    EXPECT_EQ(archive.ExtractToStream("stored.dat"), Noise(300, 7));
  }
}

// --- write failures ---------------------------------------------------------------------------

// Limits the size of files this process writes, so the disk looks full past that point.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    ::signal(SIGXFSZ, m_oldHandler);
  }

 private:
  rlimit m_old{};
  sighandler_t m_oldHandler = SIG_DFL;
};

TEST(ArchiveWriteFailure, FullDiskLeavesTheOldArchiveIntactAndNoTemporaryFile) {
  TScratchFolder folder;
  TVornArchive archive(folder / "p.web");
  archive.AddStream("index.dat", Html(50000, 9));
  const std::string before = ReadFile(archive.FileName());
  WriteFile(folder / "big.~tmp", Noise(200000, 10));
  for (rlim_t limit : {rlim_t{10}, rlim_t{100000}, rlim_t{before.size() + 200030}}) {
    try {
      TFileSizeLimit full(limit);
      archive.AddFiles({folder / "big.~tmp"});
      ADD_FAILURE() << "no error with a limit of " << limit;
    } catch (const EArchiveError& e) {
      EXPECT_EQ(std::string(e.what()), kArchiveWriteError);
    }
    EXPECT_TRUE(ReadFile(archive.FileName()) == before);
    EXPECT_FALSE(std::filesystem::exists(folder / "p.$$$"));
  }
  // Deleting rewrites the archive the same way.
  {
    TFileSizeLimit full(0);
    EXPECT_THROW(archive.Delete({"index.dat"}), EArchiveError);
  }
  EXPECT_TRUE(ReadFile(archive.FileName()) == before);
  EXPECT_FALSE(std::filesystem::exists(folder / "p.$$$"));
}

TEST(ArchiveWriteFailure, SourceThatCannotBeReadFailsTheWholeAdd) {
  TScratchFolder folder;
  TVornArchive archive(folder / "p.web");
  archive.AddStream("index.dat", "content");
  const std::string before = ReadFile(archive.FileName());
  WriteFile(folder / "good.~tmp", "good");
  std::filesystem::create_directories(folder / "dir.~tmp");
  std::vector<std::string> reported;
  EXPECT_THROW(archive.AddFiles({folder / "good.~tmp", folder / "dir.~tmp"},
                                [&](const std::string& path) { reported.push_back(path); }),
               EArchiveError);
  EXPECT_EQ(reported.size(), 1u);
  EXPECT_TRUE(ReadFile(archive.FileName()) == before);
  EXPECT_FALSE(std::filesystem::exists(folder / "p.$$$"));
}

TEST(ArchiveWriteFailure, FolderThatCannotTakeTheNewFile) {
  TScratchFolder folder;
  TVornArchive missingFolder(folder / "no/such/folder/p.web");
  try {
    missingFolder.AddStream("a", "b");
    ADD_FAILURE() << "no error";
  } catch (const EArchiveError& e) {
    EXPECT_EQ(std::string(e.what()), kArchiveWriteError);
  }

  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TVornArchive archive(folder / "ro/p.web");
  std::filesystem::create_directories(folder / "ro");
  archive.AddStream("index.dat", "content");
  const std::string before = ReadFile(archive.FileName());
  std::filesystem::permissions(
      folder / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(archive.AddStream("more.dat", "x"), EArchiveError);
  std::filesystem::permissions(folder / "ro", std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadFile(archive.FileName()), before);
}

}  // namespace
}  // namespace tq
