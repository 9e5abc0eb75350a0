// The "Browse with" choice: which browser starts, with which address, and what a failed start
// shows.
#include <gtest/gtest.h>

#include "foundation/main_loop.h"
#include "options/utility_apps.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

// A program that writes its folder and its arguments into out.txt beside it.
std::string RecordingProgram(const fs::path& folder) {
  fs::create_directories(folder);
  test::WriteFile(folder / "browser.sh",
                  "#!/bin/sh\n{ pwd; echo \"$#|$1\"; } > out.tmp && mv out.tmp out.txt\n");
  fs::permissions(folder / "browser.sh", fs::perms::owner_all);
  return (folder / "browser.sh").string();
}

std::string TakeOutput(const fs::path& folder) {
  EXPECT_TRUE(RunUntil([&] { return fs::exists(folder / "out.txt"); }));
  const std::string out = test::ReadFile(folder / "out.txt");
  fs::remove(folder / "out.txt");
  return out;
}

TEST(ExternalApps, BrowseWithStartsTheFirstMatchingBrowserWithTheAddressAsOneArgument) {
  test::TTempDir dir;
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  SetDialogService(dialogs);
  const fs::path first = dir.Path() / "first dir", second = dir.Path() / "second";
  const std::string missing = (dir.Path() / "missing").string();
  TVornUtilityApps browsers;
  browsers.Add() = {"Viewer", RecordingProgram(first), 0, 0, true};
  browsers.Add() = {"VIEWER", RecordingProgram(second), 0, 0, true};
  browsers.Add() = {"Broken", missing, 0, 0, true};

  const std::string address = "http://example.com/a b \"c\".html";
  BrowseWith(browsers, "viewer", address, true, "http://127.0.0.1:80/");
  EXPECT_EQ(TakeOutput(first), first.string() + "\n1|http://127.0.0.1:80/" + address + "\n")
      << "a fetched page opens as the stored copy";
  BrowseWith(browsers, "VIEWER", address, false, "http://127.0.0.1:80/");
  EXPECT_EQ(TakeOutput(first), first.string() + "\n1|" + address + "\n");
  EXPECT_FALSE(fs::exists(second / "out.txt"));

  BrowseWith(browsers, "renamed since", address, false, "");
  EXPECT_TRUE(dialogs->Questions().empty());
  BrowseWith(browsers, "broken", address, false, "");
  ASSERT_EQ(dialogs->Questions().size(), 1u);
  EXPECT_EQ(dialogs->Questions()[0].text,
            "Failed to execute \"" + missing + "\".  (Error Code 2). Please check your settings.");
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq
