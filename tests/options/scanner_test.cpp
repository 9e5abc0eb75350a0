// File-name masks and the file scanner over real temporary trees and a made-up mount table.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "foundation/main_loop.h"
#include "options/base_scanner.h"
#include "options/mask.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;
using test::WriteFile;

TEST(Mask, MatchesWholeNamesWithoutRegardToCase) {
  struct Case {
    const char* mask;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"hhc.exe", "HHC.EXE", true},      {"[a-c]*", "Bob", true},  {"[!a-c]*", "bob", false},
      {"[!a-c]*", "dog", true},          {"*a*b*c", "acb", false}, {"[xa-]", "-", true},
      {"*\xe9t\xe9", "\xc9T\xc9", true},  // Windows-1252 letters fold too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " / " + c.name);
    EXPECT_EQ(TMask(c.mask).Matches(c.name), c.matches);
  }
}

TEST(Mask, SyntaxErrorsNameThePositionWhereTheyAreFound) {
  const std::string thirty(30, 'x');
  const std::pair<std::string, int> invalid[] = {
      {"a[bc", 5}, {"[-a]", 2}, {"[!-a]", 3}, {"*" + thirty + "y", 32}, {"a*?[!", 6},
  };
  for (const auto& [mask, position] : invalid) {
    SCOPED_TRACE(mask);
    try {
      TMask m(mask);
      ADD_FAILURE() << "accepted";
    } catch (const EMaskException& e) {
      EXPECT_EQ(std::string(e.what()),
                "'" + mask + "' is an invalid mask at (" + std::to_string(position) + ")");
    }
  }
  EXPECT_NO_THROW(TMask("*" + thirty + "*" + thirty)) << "each \"*\" counts anew";

  const TMultiMask masks(" hhc.exe;  chm cmd ;;");
  EXPECT_EQ(masks.Count(), 2u);
  EXPECT_TRUE(masks.Matches("CHM CMD"));
  EXPECT_FALSE(masks.Matches(" hhc.exe"));
  EXPECT_THROW(TMultiMask("ok;[bad"), EMaskException);
}

// Takes this thread's right to bypass file permissions away (root has it), and so of the scan
// threads it starts, so a folder without permissions really cannot be read.
class TWithoutPermissionBypass {
 public:
  TWithoutPermissionBypass() {
    ::syscall(SYS_capget, &m_header, m_saved);
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &m_header, reduced);
  }
  ~TWithoutPermissionBypass() { ::syscall(SYS_capset, &m_header, m_saved); }

 private:
  __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct m_saved[2]{};
};

// A scanner whose events are recorded, run to its end.
struct TRecordedScan {
  TBaseScanner Scanner;
  std::set<std::string> Found, Entered;
  int FoundEvents = 0;
  std::optional<std::pair<uint32_t, uint64_t>> Done;

  TRecordedScan() {
    Scanner.Files = "hhc.exe";
    Scanner.OnProcess = [this](uint32_t, uint64_t, const std::string& folder) {
      Entered.insert(folder);
    };
    Scanner.OnFileFound = [this](const std::string& name, const std::string& path, unsigned,
                                 int64_t, TDateTime) {
      ++FoundEvents;
      Found.insert(path + "/" + name);
    };
    Scanner.OnProcessDone = [this](uint32_t count, uint64_t size) {
      EXPECT_FALSE(Scanner.Running());
      Done = {count, size};
    };
  }
  void Run() {
    Done.reset();
    Scanner.Start();
    ASSERT_TRUE(RunUntil([&] { return Done.has_value(); }, Millis(30000)));
  }
};

TEST(Scanner, WalksATreeOnceNeverThroughLinksAndSkipsWhatItCannotRead) {
  TTempDir dir;
  const fs::path root = dir.Path();
  for (const char* folder : {"sub/deeper", ".hidden", "locked", "named/hhc.exe", "links"}) {
    fs::create_directories(root / folder);
  }
  for (const char* file : {"hhc.exe", "sub/HHC.EXE", "sub/deeper/hhc.exe", ".hidden/hhc.exe",
                           "locked/hhc.exe", "sub/other.exe"}) {
    WriteFile(root / file, "12345");
  }
  fs::create_directory_symlink(root, root / "sub" / "loop");
  fs::create_directory_symlink("/", root / "links" / "out");
  fs::create_symlink(root / "sub" / "deeper" / "hhc.exe", root / "links" / "hhc.exe");
  fs::create_symlink(root / "missing", root / "links" / "dangling");
  fs::permissions(root / "locked", fs::perms::none);

  TRecordedScan scan;
  scan.Scanner.ScanStrategy = ssSpecifiedDir;
  scan.Scanner.Directory = root.string();
  {
    TWithoutPermissionBypass restricted;
    scan.Run();
  }
  fs::permissions(root / "locked", fs::perms::owner_all);

  const std::string r = root.string();
  EXPECT_EQ(scan.Found,
            (std::set<std::string>{r + "/hhc.exe", r + "/sub/HHC.EXE", r + "/sub/deeper/hhc.exe",
                                   r + "/.hidden/hhc.exe", r + "/links/hhc.exe"}))
      << "a folder of that name is no file; a link counts as what it points at";
  EXPECT_EQ(scan.Done->first, 5u);
  EXPECT_EQ(scan.Done->second, 25u);
  for (const auto& folder : scan.Entered) {
    EXPECT_EQ(folder.find("/loop"), std::string::npos) << folder;
    EXPECT_EQ(folder.find("/out"), std::string::npos) << folder;
  }
  EXPECT_TRUE(scan.Entered.count(r + "/locked")) << "entered, but nothing listed";
}

TEST(Scanner, GlobalSearchTakesTheSelectedKindsOfTheMountTable) {
  TTempDir dir;
  const fs::path root = dir.Path();
  for (const char* drive : {"disk", "disk two", "ram", "share", "kernel"}) {
    fs::create_directories(root / drive / "bin");
    WriteFile(root / drive / "bin" / "hhc.exe", "x");
  }
  const std::string r = root.string();
  WriteFile(root / "mounts", "/dev/vda1 " + r + "/disk ext4 rw 0 0\n" + "/dev/vdb1 " + r +
                                 "/disk\\040two xfs rw 0 0\n" + "tmpfs " + r +
                                 "/ram tmpfs rw 0 0\n" + "server:/x " + r + "/share nfs4 rw 0 0\n" +
                                 "proc " + r + "/kernel proc rw 0 0\n" +
                                 "/dev/vda2 /proc ext4 rw 0 0\n" + "garbage line\n");
  auto found = [&](std::initializer_list<const char*> drives) {
    std::set<std::string> files;
    for (const char* d : drives) files.insert(r + "/" + d + "/bin/hhc.exe");
    return files;
  };
  const std::pair<unsigned, std::set<std::string>> cases[] = {
      {sdHard | sdCDROM | sdRAM | sdNetwork, found({"disk", "disk two", "ram", "share"})},
      {sdHard, found({"disk", "disk two"})},
      {sdNetwork | sdRAM, found({"ram", "share"})},
      {sdCDROM, {}},
  };
  for (const auto& [drives, expected] : cases) {
    SCOPED_TRACE(drives);
    TRecordedScan scan;
    scan.Scanner.MountTable = r + "/mounts";
    scan.Scanner.ScanDrives = drives;
    scan.Run();
    EXPECT_EQ(scan.Found, expected);
    for (const auto& folder : scan.Entered) EXPECT_NE(folder.rfind("/proc", 0), 0u) << folder;
  }

  TRecordedScan disk;
  disk.Scanner.MountTable = r + "/mounts";
  disk.Scanner.ScanStrategy = ssSpecifiedDisk;
  disk.Scanner.Directory = r + "/disk two/bin";
  disk.Run();
  EXPECT_EQ(disk.Found, found({"disk two"}));
  EXPECT_TRUE(disk.Entered.count(r + "/disk two")) << "the whole file system, from its root";
}

TEST(Scanner, StopEndsTheScanWithWhatWasFoundAndAnInvalidMaskEndsItAtOnce) {
  TTempDir dir;
  for (int i = 0; i < 40; ++i) {
    fs::create_directories(dir.Path() / std::to_string(i));
    WriteFile(dir.Path() / std::to_string(i) / "hhc.exe", "x");
  }
  TRecordedScan scan;
  scan.Scanner.ScanStrategy = ssSpecifiedDir;
  scan.Scanner.Directory = dir.Path().string();
  auto record = scan.Scanner.OnFileFound;
  scan.Scanner.OnFileFound = [&](const std::string& n, const std::string& p, unsigned a, int64_t s,
                                 TDateTime t) {
    record(n, p, a, s, t);
    if (scan.FoundEvents == 3) {
      scan.Scanner.Stop();
      scan.Scanner.Start();  // ignored while the scan runs
    }
  };
  scan.Run();
  EXPECT_GE(scan.FoundEvents, 3);
  EXPECT_LT(scan.FoundEvents, 40);
  EXPECT_EQ(scan.Done->first, static_cast<uint32_t>(scan.FoundEvents));

  scan.Scanner.Files = "ok;[bad";
  scan.Entered.clear();
  scan.Run();
  EXPECT_EQ(*scan.Done, (std::pair<uint32_t, uint64_t>{0, 0}));
  EXPECT_TRUE(scan.Entered.empty());

  // Destroyed while running: it stops, and nothing is raised for it any more.
  bool raised = false;
  {
    TBaseScanner gone;
    gone.ScanStrategy = ssSpecifiedDir;
    gone.Directory = dir.Path().string();
    gone.OnProcess = [&](uint32_t, uint64_t, const std::string&) { raised = true; };
    gone.Start();
  }
  RunUntil([] { return false; }, Millis(50));
  EXPECT_FALSE(raised);
}

}  // namespace
}  // namespace tq
