// What the options learn about this installation and machine: where the settings file lives,
// the mounted file systems and the installed browsers.
#include <gtest/gtest.h>

#include "platform/installed_browsers.h"
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

TEST(MountTable, ParsesTheKernelsListAndTellsDriveKinds) {
  const auto mounts = ParseMountTable(
      "/dev/vda1 / ext4 rw 0 0\n"
      "/dev/sdb1 /media/u/USB\\040Stick vfat rw 0 0\n"
      "server:/export /mnt/share nfs4 rw 0 0\n"
      "//nas/docs /mnt/docs cifs rw 0 0\n"
      "/dev/sr0 /mnt/cd iso9660 ro 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
      "no-mount-point\n"
      "relative path ext4 rw 0 0\n"
      "   \n");
  const std::vector<std::pair<std::string, TDriveKind>> expected = {
      {"/", dkFixed},           {"/media/u/USB Stick", dkRemovable},
      {"/mnt/share", dkRemote}, {"/mnt/docs", dkRemote},
      {"/mnt/cd", dkCDROM},     {"/run", dkRAM},
      {"/proc", dkNone},        {"/sys/fs/cgroup", dkNone},
  };
  ASSERT_EQ(mounts.size(), expected.size());
  for (size_t i = 0; i < mounts.size(); ++i) {
    EXPECT_EQ(mounts[i].MountPoint, expected[i].first);
    EXPECT_EQ(mounts[i].Kind, expected[i].second) << mounts[i].MountPoint;
  }
  EXPECT_FALSE(ReadMountTable("/proc/self/mounts").empty());
  EXPECT_TRUE(ReadMountTable("/nonexistent-tq-mounts").empty());
}

TEST(InstalledBrowsers, TheDesktopsDefaultComesFirst) {
  test::TTempDir dir;
  test::TEnvOverride env;
  env.IsolateHome(dir.Path());
  const fs::path program = dir.Path() / "my-browser";
  test::WriteFile(program, "#!/bin/sh\n");
  fs::permissions(program, fs::perms::owner_all);
  fs::create_directories(dir.Path() / "config");
  fs::create_directories(dir.Path() / "data" / "applications");
  test::WriteFile(dir.Path() / "config" / "mimeapps.list",
                  "[Default Applications]\nx-scheme-handler/http=tqb.desktop\n"
                  "x-scheme-handler/https=tqb.desktop\ntext/html=tqb.desktop\n");
  test::WriteFile(dir.Path() / "data" / "applications" / "tqb.desktop",
                  "[Desktop Entry]\nType=Application\nName=TQ Browser\nExec=" + program.string() +
                      " %u\n[Desktop Action new]\nName=Other\n");

  const auto found = FindInstalledBrowsers();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].Name, "TQ Browser");
  EXPECT_EQ(found[0].File, program.string());
  for (size_t i = 1; i < found.size(); ++i) EXPECT_NE(found[i].File, program.string());
}

}  // namespace
}  // namespace tq
