// The archive container: every operation on a new and on an existing archive, replacement by
// name in any letter case, members streamed from large files, a table of damaged archives, and
// write failures that must leave the old archive untouched.
// ctest: timeout=300
#include "storage/archive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "archive_test_util.h"
#include "support/fault_file_system.h"

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

// Files of several megabytes are compressed while they are read, or stored when that does not
// pay; either way they read back whole, between members packed in memory.
TEST(Archive, LargeFilesAreStreamedIntoMembers) {
  TScratchFolder folder;
  const std::string text = Html((8 << 20) + 1000, 11);
  const std::string noise = Noise((8 << 20) + 1000, 12);
  WriteFile(folder / "text.~tmp", text);
  WriteFile(folder / "noise.~tmp", noise);
  WriteFile(folder / "small.~tmp", "small");
  TVornArchive archive(folder / "p.web");
  archive.Add({{{}, folder / "text.~tmp", {}, 0},
               {"memory.dat", {}, "from memory", 0},
               {{}, folder / "noise.~tmp", {}, 0},
               {{}, folder / "small.~tmp", {}, 0}});
  EXPECT_THAT(archive.List(), ElementsAre("TEXT.~TMP", "MEMORY.DAT", "NOISE.~TMP", "SMALL.~TMP"));
  EXPECT_TRUE(archive.ExtractToStream("text.~tmp") == text);
  EXPECT_TRUE(archive.ExtractToStream("noise.~tmp") == noise);
  EXPECT_EQ(archive.ExtractToStream("memory.dat"), "from memory");
  EXPECT_EQ(MethodOfFirstMember(archive.FileName()), "-lh1-");
  EXPECT_LT(std::filesystem::file_size(archive.FileName()), text.size() / 2 + noise.size() + 200);
}

// Content read in pieces (an index written out as it is made) becomes the member that the same
// bytes held whole make, whichever method that is: the streamed coder must not give up on a
// member below the streaming size that packing it whole would compress.
TEST(Archive, ContentReadInPiecesMakesTheMemberOfTheWholeData) {
  TScratchFolder folder;
  const std::string late = Noise(1200 << 10, 13) + std::string(2 << 20, 'x');
  for (const std::string& data : {std::string(), Noise(5000, 14), Html(200000, 15), late}) {
    std::string bytes[2];
    for (int inPieces = 0; inPieces < 2; ++inPieces) {
      TVornArchive::TSource source;
      source.name = "index.dat";
      source.timeStamp = 0x5A6B7C8D;
      source.attributes = 0x20;
      if (inPieces) {
        source.readAt = [&](uint64_t offset, char* buffer, size_t size) {
          return data.copy(buffer, std::min<size_t>(size, 5000), offset);  // short reads too
        };
        source.dataSize = data.size();
      } else {
        source.data = data;
      }
      TVornArchive archive(folder / (std::to_string(inPieces) + ".web"));
      archive.Add({source});
      bytes[inPieces] = ReadFile(archive.FileName());
    }
    EXPECT_TRUE(bytes[0] == bytes[1]) << data.size();
  }
  EXPECT_EQ(MethodOfFirstMember(folder / "1.web"), "-lh1-");
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
        TCorruption{"NotAnArchive", [](TSample& s) { s.bytes = "<html>not an archive</html>"; }},
        TCorruption{"EmptyFile", [](TSample& s) { s.bytes.clear(); }},
        TCorruption{"BytesAfterTheEndMarker", [](TSample& s) { s.bytes += "trailing junk"; }},
        TCorruption{"CutAtAMemberBoundary", [](TSample& s) { s.bytes.pop_back(); }},
        TCorruption{"LeadingNulByte", [](TSample& s) { s.bytes.insert(0, 1, '\0'); }}),
    [](const auto& p) { return std::string(p.param.name); });

// --- write failures ---------------------------------------------------------------------------

TEST(ArchiveWriteFailure, FullDiskOrFailedRenameLeavesTheOldArchiveIntactAndNoTemporaryFile) {
  TScratchFolder folder;
  test::TFaultFileSystem files;
  TVornArchive archive(folder / "p.web", files);
  archive.AddStream("index.dat", Html(50000, 9));
  const std::string before = ReadFile(archive.FileName());
  WriteFile(folder / "big.~tmp", Noise(200000, 10));
  WriteFile(folder / "huge.~tmp", Noise((8 << 20) + 1000, 13));  // streamed, soon stored
  const auto failsAsAWriteError = [&](const std::function<void()>& change) {
    try {
      change();
      ADD_FAILURE() << "no error";
    } catch (const EArchiveError& e) {
      EXPECT_EQ(std::string(e.what()), kArchiveWriteError);
    }
    EXPECT_TRUE(ReadFile(archive.FileName()) == before);
    EXPECT_FALSE(std::filesystem::exists(folder / "p.$$$"));
  };
  // Short writes at every stage: the first header, the members, the copied old members.
  for (uint64_t free : {uint64_t{10}, uint64_t{100000}, uint64_t{before.size() + 200030}}) {
    for (const char* file : {"big.~tmp", "huge.~tmp"}) {  // packed whole, streamed
      SCOPED_TRACE(std::to_string(free) + " " + file);
      files.FreeBytes = free;
      failsAsAWriteError([&] { archive.AddFiles({folder / file}); });
    }
  }
  files.FreeBytes = 0;
  failsAsAWriteError([&] { archive.Delete({"index.dat"}); });
  files.FreeBytes = UINT64_MAX;
  for (const char* refused : {"rename", "sync", "close", "write-at"}) {
    SCOPED_TRACE(refused);
    files.Allow = [&](std::string_view operation, const std::string&) {
      return operation != refused;
    };
    // Only a streamed member's header is written after its data.
    const bool streamed = std::string_view(refused) == "write-at";
    failsAsAWriteError([&] { archive.AddFiles({folder / (streamed ? "huge.~tmp" : "big.~tmp")}); });
  }
}

// The new archive is made beside the old one under a fixed name: a link planted there (or left
// by a crash) must never lead the writer into another file.
TEST(ArchiveWriteFailure, LinkPlantedAtTheTemporaryNameIsNotFollowed) {
  TScratchFolder folder;
  WriteFile(folder / "victim.txt", "keep me");
  std::filesystem::create_symlink(folder / "victim.txt", folder / "p.$$$");
  TVornArchive archive(folder / "p.web");
  archive.AddStream("index.dat", "content");
  EXPECT_EQ(ReadFile(folder / "victim.txt"), "keep me");
  EXPECT_EQ(archive.ExtractToStream("index.dat"), "content");
  EXPECT_FALSE(std::filesystem::exists(folder / "p.$$$"));
}

// A source over the largest member fails at once, from its size, without being read.
TEST(ArchiveWriteFailure, SourceTooLargeForAMember) {
  TScratchFolder folder;
  WriteFile(folder / "big.~tmp", "");
  ASSERT_EQ(::truncate((folder / "big.~tmp").c_str(), off_t{5} << 30), 0);  // sparse
  TVornArchive archive(folder / "p.web");
  EXPECT_THROW(archive.AddFiles({folder / "big.~tmp"}), EArchiveError);
  EXPECT_FALSE(std::filesystem::exists(folder / "p.web"));
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
