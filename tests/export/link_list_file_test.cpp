// The link-list and e-mail files of the export wizard.
// ctest: timeout=30
#include "export/link_list_file.h"

#include <gtest/gtest.h>

#include "engine/download.h"
#include "storage/archive_test_util.h"

namespace tq {
namespace {

using Lines = std::vector<std::string>;

void Add(TVornBaseLinks& list, const std::string& text) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://h/");
  link->SetText(text);
  list.Add(link);
}

TEST(LinkListFile, TickedListsUnderTheirHeaders) {
  TVornDownload download;
  Add(download.FailedLinks(), "http://h/f1.html");
  Add(download.FailedLinks(), "http://h/f2.html");
  Add(download.ReadyLinks(), "http://h/r.html");
  Add(download.EmailLinks(), "mailto:a@h?subject=x");

  EXPECT_EQ(LinkListLines(download, {ellFailed}),
            (Lines{"[Failed Links]", "http://h/f1.html", "http://h/f2.html"}));
  TVornDownload empty;
  EXPECT_EQ(LinkListLines(empty, {ellIgnored, ellReady, ellFailed, ellQueue}),
            (Lines{"[Links Ready]", "[Queue Links]", "[Failed Links]", "[Ignored Links]"}));

  std::vector<int> percents;
  std::atomic<bool> stop{false};
  const Lines some = LinkListLines(
      download, {ellReady, ellFailed},
      [&](int percent) {
        percents.push_back(percent);
        stop = percents.size() == 2;
      },
      &stop);
  EXPECT_EQ(percents, (std::vector<int>{0, 33}));
  EXPECT_EQ(some,
            (Lines{"[Links Ready]", "http://h/r.html", "[Failed Links]", "http://h/f1.html"}));

  test::TScratchFolder dir;
  ASSERT_TRUE(SaveTextLines(dir / "emails.txt", EmailAddresses(download)));
  EXPECT_EQ(test::ReadFile(dir / "emails.txt"), "a@h\r\n");
  EXPECT_FALSE(SaveTextLines(dir / "no/such/folder.txt", {}));
}

}  // namespace
}  // namespace tq
