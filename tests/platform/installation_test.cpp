// What the options learn about this installation and machine: where the settings file lives and
// which file systems are mounted.
#include <gtest/gtest.h>

#include "platform/mount_table.h"
#include "platform/program_folder.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

// A writable program folder is no reason to keep settings there (every user of a build folder
// would share them): only a portable copy, marked by its own "config.dat", keeps them beside it.
TEST(SettingsFile, InTheUsersConfigFolderUnlessThePortableCopyHasItsOwn) {
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  env.Unset("TARNQUILL_CONFIG");
  const fs::path portable = dir.Path() / "portable";
  fs::create_directories(portable);
  test::WriteFile(portable / "config.dat", "");
  const std::string mine = dir / "config/tarnquill/config.dat";
  const std::pair<std::string, std::string> cases[] = {
      {dir.Path().string(), mine},
      {"/nonexistent-tq-program", mine},
      {portable.string(), (portable / "config.dat").string()},
  };
  for (const auto& [program, expected] : cases) {
    TestOnlySetProgramFolder(program);
    EXPECT_EQ(ProgramSettingsFile("config.dat"), expected) << program;
  }
  env.Set("TARNQUILL_CONFIG", "/elsewhere/mine.dat");
  EXPECT_EQ(ProgramSettingsFile("config.dat"), "/elsewhere/mine.dat");
  TestOnlySetProgramFolder("");
  EXPECT_FALSE(fs::exists(dir / "config")) << "nothing is created";
}

TEST(ShippedData, FoundUnderThePrefixOfAnInstallationOrBesideAPortableCopy) {
  test::TTempDir dir;
  fs::create_directories(dir.Path() / "usr/bin");
  fs::create_directories(dir.Path() / "usr/share/tarnquill");
  fs::create_directories(dir.Path() / "opt/tq/data");
  const std::pair<std::string, std::string> cases[] = {
      {dir / "usr/bin", dir / "usr/share/tarnquill"},
      {dir / "opt/tq", dir / "opt/tq/data"},
      {dir / "nothing-shipped", ""},
  };
  for (const auto& [program, expected] : cases) {
    TestOnlySetProgramFolder(program);
    EXPECT_EQ(ShippedDataFolder(), expected) << program;
  }
  EXPECT_FALSE(InstalledWithDesktopEntry());
  fs::create_directories(dir.Path() / "usr/share/applications");
  test::WriteFile(dir.Path() / "usr/share/applications" / (std::string(kDesktopId) + ".desktop"),
                  "");
  TestOnlySetProgramFolder(dir / "usr/bin");
  EXPECT_TRUE(InstalledWithDesktopEntry());
  // This test program runs from the build folder, which links the source tree's data.
  TestOnlySetProgramFolder("");
  EXPECT_TRUE(fs::exists(fs::path(ShippedDataFolder()) / "icons/tarnquill.svg"));
  EXPECT_FALSE(InstalledWithDesktopEntry());
}

TEST(UserTemplates, ShippedOnesAreCopiedOnFirstUseOnly) {
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  fs::create_directories(dir.Path() / "usr/bin");
  fs::create_directories(dir.Path() / "usr/share/tarnquill/Templates");
  test::WriteFile(dir.Path() / "usr/share/tarnquill/Templates/Images.etpl", "[x]\n");
  test::WriteFile(dir.Path() / "usr/share/tarnquill/Templates/notes.txt", "");
  TestOnlySetProgramFolder(dir / "usr/bin");
  const std::string folder = UserTemplatesFolder();
  EXPECT_EQ(folder, dir / "config/tarnquill/Templates/");
  EXPECT_EQ(test::ReadFile(folder + "Images.etpl"), "[x]\n");
  EXPECT_FALSE(fs::exists(folder + "notes.txt"));
  fs::remove(folder + "Images.etpl");
  EXPECT_EQ(UserTemplatesFolder(), folder);
  EXPECT_FALSE(fs::exists(folder + "Images.etpl")) << "a deleted template stays deleted";
  TestOnlySetProgramFolder("");
}

// The scanner's tests cover disks, escapes, memory, NFS and kernel file systems.
TEST(MountTable, TellsRemovableOpticalAndSharedDrivesAndSkipsMalformedLines) {
  const auto mounts = ParseMountTable(
      "/dev/sdb1 /media/u/stick vfat rw 0 0\n//nas/docs /mnt/docs cifs rw 0 0\n"
      "no-mount-point\nrelative path ext4 rw 0 0\n/dev/sr0 /mnt/cd iso9660 ro 0 0\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].Kind, dkRemovable);
  EXPECT_EQ(mounts[1].Kind, dkRemote);
  EXPECT_EQ(mounts[2].Kind, dkCDROM);
  EXPECT_FALSE(ReadMountTable("/proc/self/mounts").empty());
}

}  // namespace
}  // namespace tq
