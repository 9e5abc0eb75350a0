// What the options learn about this installation and machine: where the settings file lives and
// which file systems are mounted.
#include <gtest/gtest.h>

#include "platform/mount_table.h"
#include "platform/program_folder.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

TEST(SettingsFile, BesideAWritableProgramElseInTheUsersConfigFolder) {
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  env.Unset("TARNQUILL_CONFIG");
  const std::pair<std::string, std::string> cases[] = {
      {dir.Path().string(), dir / "config.dat"},
      {"/nonexistent-tq-program", dir / "config/tarnquill/config.dat"},
  };
  for (const auto& [program, expected] : cases) {
    TestOnlySetProgramFolder(program);
    EXPECT_EQ(ProgramSettingsFile("config.dat"), expected);
  }
  env.Set("TARNQUILL_CONFIG", "/elsewhere/mine.dat");
  EXPECT_EQ(ProgramSettingsFile("config.dat"), "/elsewhere/mine.dat");
  TestOnlySetProgramFolder("");
  EXPECT_FALSE(fs::exists(dir / "config")) << "nothing is created";
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
