// Starting external applications with a link's address, and the "Browse with" choice.
#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/main_loop.h"
#include "options/utility_apps.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

// A program that writes its folder and its arguments into out.txt beside it.
std::string RecordingProgram(const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path program = folder / "browser.sh";
  test::WriteFile(program, "#!/bin/sh\n{ pwd; echo \"$#|$1\"; } > out.tmp && mv out.tmp out.txt\n");
  fs::permissions(program, fs::perms::owner_all);
  return program.string();
}

std::string WaitForOutput(const fs::path& folder) {
  EXPECT_TRUE(RunUntil([&] { return fs::exists(folder / "out.txt"); }));
  return ReadFile(folder / "out.txt");
}

TEST(ExternalApps, LaunchPassesTheAddressAsOneArgumentInTheProgramsFolder) {
  test::TTempDir dir;
  const fs::path folder = dir.Path() / "tool dir";
  LaunchApplication(RecordingProgram(folder), "http://example.com/a b \"c\".html");
  EXPECT_EQ(WaitForOutput(folder), folder.string() + "\n1|http://example.com/a b \"c\".html\n");

  const std::string missing = (dir.Path() / "missing").string();
  try {
    LaunchApplication(missing, "x");
    ADD_FAILURE() << "started";
  } catch (const EVornOSError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to execute \"" + missing +
                                         "\".  (Error Code 2). Please check your settings.");
  }
}

TEST(ExternalApps, BrowseWithOpensTheStoredCopyOfFetchedLinksWithTheFirstMatchingBrowser) {
  test::TTempDir dir;
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  SetDialogService(dialogs);
  TVornUtilityApps browsers;
  browsers.Add() = {"Viewer", RecordingProgram(dir.Path() / "first"), 0, 0, true};
  browsers.Add() = {"VIEWER", RecordingProgram(dir.Path() / "second"), 0, 0, true};
  browsers.Add() = {"Broken", (dir.Path() / "missing").string(), 0, 0, true};

  const std::string address = "http://example.com/page.html";
  BrowseWith(browsers, "viewer", address, true, "http://127.0.0.1:80/");
  EXPECT_EQ(WaitForOutput(dir.Path() / "first"),
            (dir.Path() / "first").string() + "\n1|http://127.0.0.1:80/" + address + "\n");
  fs::remove(dir.Path() / "first" / "out.txt");
  BrowseWith(browsers, "VIEWER", address, false, "http://127.0.0.1:80/");
  EXPECT_EQ(WaitForOutput(dir.Path() / "first"),
            (dir.Path() / "first").string() + "\n1|" + address + "\n");
  EXPECT_FALSE(fs::exists(dir.Path() / "second" / "out.txt"));

  BrowseWith(browsers, "renamed since", address, false, "");
  EXPECT_TRUE(dialogs->Questions().empty());
  BrowseWith(browsers, "broken", address, false, "");
  ASSERT_EQ(dialogs->Questions().size(), 1u);
  EXPECT_EQ(dialogs->Questions()[0].text.rfind("Failed to execute \"", 0), 0u);
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq
