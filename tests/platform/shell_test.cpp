// Well-known folders, the folder picker, folder-tree deletion and running external programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "foundation/errors.h"
#include "foundation/main_loop.h"
#include "platform/process.h"
#include "platform/shell_folders.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;
using test::TEnvOverride;
using test::TTempDir;
using test::WriteFile;

TEST(ShellFolders, MapKindsToTheXdgFolders) {
  TTempDir home;
  TEnvOverride env;
  env.Set("HOME", home.Path().string());
  env.Set("XDG_CONFIG_HOME", (home.Path() / "cfg").string());
  env.Set("XDG_CACHE_HOME", (home.Path() / "cache").string());
  env.Set("XDG_DATA_HOME", (home.Path() / "data").string());
  fs::create_directories(home.Path() / "cfg");
  WriteFile(home.Path() / "cfg" / "user-dirs.dirs",
            "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\nXDG_DESKTOP_DIR=\"$HOME/Desk\"\n"
            "XDG_TEMPLATES_DIR=\"$HOME/Tpl\"\n");
  const std::string h = home.Path().string();
  const std::pair<TSpecialFolder, std::string> table[] = {
      {sfPersonal, h + "/Papers"},
      {sfDesktop, h + "/Desk"},
      {sfDesktopDirectory, h + "/Desk"},
      {sfTemplates, h + "/Tpl"},
      {sfAppData, h + "/cfg"},
      {sfInternetCache, h + "/cache"},
      {sfPrograms, h + "/data/applications"},
      {sfStartMenu, h + "/data/applications"},
      {sfDrives, ""},
      {sfFavorites, ""},
  };
  for (const auto& [kind, expected] : table) {
    SCOPED_TRACE(int(kind));
    EXPECT_EQ(GetSpecialFolder(kind), expected);
  }
}

TEST(ShellFolders, BrowseForFolderAsksTheDialogServiceOnTheInterfaceThread) {
  auto fake = std::make_shared<test::TFakeDialogService>();
  fake->folderAnswers = {"/home/u/sites"};
  SetDialogService(fake);
  std::string fromWorker = "unset";
  std::atomic<bool> done{false};
  std::thread worker([&] {
    fromWorker = BrowseForFolder("Pick", 1);
    done = true;
  });
  EXPECT_TRUE(RunUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(fromWorker, "/home/u/sites");
  EXPECT_EQ(BrowseForFolder("Again", 0), "");  // cancelled
  const auto asked = fake->Questions();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, "Pick");
  EXPECT_EQ(asked[0].thread, std::this_thread::get_id());
  SetDialogService(nullptr);
}

TEST(ShellFolders, DeleteFolderTreeRemovesEverythingButNeverFollowsLinks) {
  TTempDir root;
  const fs::path tree = root.Path() / "tree";
  const fs::path outside = root.Path() / "outside";
  fs::create_directories(tree / "a" / "b" / ".hidden");
  fs::create_directories(outside);
  WriteFile(outside / "keep.txt", "keep");
  WriteFile(tree / "top.txt", "x");
  WriteFile(tree / "a" / "b" / ".hidden" / ".dot", "x");
  fs::create_directory_symlink(outside, tree / "a" / "dirlink");
  fs::create_symlink(outside / "keep.txt", tree / "filelink");
  fs::create_symlink(root.Path() / "missing", tree / "dangling");

  EXPECT_TRUE(DeleteFolderTree(tree.string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");

  // A link given as the folder itself is removed, its target kept.
  fs::create_directory_symlink(outside, root.Path() / "link");
  EXPECT_TRUE(DeleteFolderTree((root.Path() / "link").string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(root.Path() / "link")));
  EXPECT_TRUE(fs::exists(outside / "keep.txt"));

  EXPECT_TRUE(DeleteFolderTree((root.Path() / "never-was").string()));
  EXPECT_TRUE(DeleteFolderTree(""));
}

TEST(RunProgram, RunsInTheProgramFolderWithOneArgumentAndReturnsTheExitCode) {
  TTempDir dir;
  const fs::path script = dir.Path() / "tool dir" / "tool.sh";
  fs::create_directories(script.parent_path());
  WriteFile(script, "#!/bin/sh\npwd > out.txt\nprintf '%s|%s' \"$#\" \"$1\" >> out.txt\nexit 7\n");
  fs::permissions(script, fs::perms::owner_all);

  EXPECT_EQ(RunProgramAndWait(script.string(), "a b \"c\"", 1), 7);
  EXPECT_EQ(ReadFile(script.parent_path() / "out.txt"),
            script.parent_path().string() + "\n1|a b \"c\"");

  // A relative path is taken from the caller's folder, not the program's.
  const fs::path saved = fs::current_path();
  fs::current_path(dir.Path());
  EXPECT_EQ(RunProgramAndWait("tool dir/tool.sh", "", 0), 7);
  fs::current_path(saved);

  WriteFile(dir.Path() / "killer.sh", "#!/bin/sh\nkill -9 $$\n");
  fs::permissions(dir.Path() / "killer.sh", fs::perms::owner_all);
  EXPECT_EQ(RunProgramAndWait((dir.Path() / "killer.sh").string(), "", 0), 128 + 9);
}

TEST(RunProgram, ReportsAProgramThatCannotStart) {
  TTempDir dir;
  WriteFile(dir.Path() / "plain.txt", "not a program");
  fs::permissions(dir.Path() / "plain.txt", fs::perms::owner_read | fs::perms::owner_write);
  const std::pair<std::string, int> table[] = {
      {(dir.Path() / "missing").string(), ENOENT},
      {(dir.Path() / "plain.txt").string(), EACCES},
      {"tq-no-such-program-on-path", ENOENT},
  };
  for (const auto& [program, code] : table) {
    SCOPED_TRACE(program);
    try {
      RunProgramAndWait(program, "x", 1);
      ADD_FAILURE() << "started";
    } catch (const EVornOSError& e) {
      EXPECT_EQ(e.Code(), code);
      EXPECT_EQ(std::string(e.what()),
                "Failed to execute program.  Error Code " + std::to_string(code));
    }
  }
}

}  // namespace
}  // namespace tq
