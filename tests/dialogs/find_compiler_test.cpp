// The e-book compiler finder: a scan of a made-up mount table for the compiler programs, and the
// window's buttons following it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/find_compiler_model.h"
#include "foundation/main_loop.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;
using test::WriteFile;

TEST(FindCompiler, ListsRunnableCompilersAndFollowsTheSearchInItsButtons) {
  TTempDir dir;
  const fs::path deep = dir.Path() / "deep";
  fs::create_directories(deep / "bin");
  fs::create_directories(dir.Path() / "plain");
  WriteFile(deep / "bin" / "tarnquill-hhc", "#!/bin/sh\n");
  fs::permissions(deep / "bin" / "tarnquill-hhc", fs::perms::owner_all);
  WriteFile(dir.Path() / "plain" / "chmcmd", "not a program");
  WriteFile(dir.Path() / "mounts", "/dev/vda1 " + dir.Path().string() + " ext4 rw 0 0\n");

  TFindCompilerModel finder;
  finder.Scanner().MountTable = (dir.Path() / "mounts").string();
  EXPECT_STREQ(finder.StartCaption(), "Start");
  EXPECT_FALSE(finder.OkEnabled());
  finder.PressStart();
  EXPECT_STREQ(finder.StartCaption(), "Stop");
  EXPECT_FALSE(finder.CancelEnabled());
  ASSERT_TRUE(RunUntil([&] { return !finder.Searching(); }, Millis(30000)));
  EXPECT_TRUE(finder.CancelEnabled());
  EXPECT_EQ(finder.Found(), std::vector<std::string>{(deep / "bin" / "tarnquill-hhc").string()});
  EXPECT_FALSE(finder.OkEnabled()) << "nothing chosen yet";
  finder.Select(0);
  EXPECT_TRUE(finder.OkEnabled());
  EXPECT_EQ(finder.SelectedFile(), finder.Found()[0]);
}

}  // namespace
}  // namespace tq
