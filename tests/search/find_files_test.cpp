// Find in the link lists: which lists are searched and how rows show them, letter case, the
// dialog's texts through a walk, and cancelling.
// ctest: timeout=60
#include "search/find_files.h"

#include <gtest/gtest.h>

#include "engine/download.h"

namespace tq {
namespace {

class FindFiles : public ::testing::Test {
 protected:
  void Add(TVornLinkList list, const std::string& text, int level = 1) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage("http://h.test/index.html");
    link->SetText(text);
    link->Level = level;
    m_download.Links(list).Add(link);
  }

  void Search(const std::string& keyword, bool caseSensitive) {
    m_find.Search(keyword, caseSensitive);
    ASSERT_TRUE(RunUntil([&] { return m_find.Idle(); }));
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& item : m_find.Items()) {
      rows.push_back(item.Url + " " + item.Status + " " + std::to_string(item.Level) + " " +
                     item.Page + " " + std::to_string(item.ImageIndex));
    }
    return rows;
  }

  using Strings = std::vector<std::string>;
  TVornDownload m_download;
  TVornFindFiles m_find{m_download};
};

TEST_F(FindFiles, SearchesFourListsInOrderIgnoringCaseUnlessAsked) {
  EXPECT_EQ(m_find.StatusText(), "0 Records found");
  Add(ellIgnored, "d.pdf", 4);
  Add(ellFailed, "c.PDF", 3);
  Add(ellQueue, "b.Pdf", 2);
  Add(ellReady, "a.pdf");
  Add(ellReady, "page.html");
  Add(ellWorking, "w.pdf");            // In Progress is not searched
  Add(ellEmail, "mailto:pdf@h.test");  // nor are the Emails
  m_find.Search("PDF", false);
  EXPECT_EQ(m_find.StatusText(), "Searching ...");
  EXPECT_EQ(m_find.SearchCaption(), "&Cancel");
  ASSERT_TRUE(RunUntil([&] { return m_find.Idle(); }));
  const std::string p = " http://h.test/index.html ";
  EXPECT_EQ(Rows(), (Strings{"http://h.test/a.pdf Ready 1" + p + "0",
                             "http://h.test/b.Pdf Queue 2" + p + "1",
                             "http://h.test/c.PDF Failed 3" + p + "2",
                             "http://h.test/d.pdf Ignored 4" + p + "3"}));
  EXPECT_EQ(m_find.StatusText(), "4 records found");
  EXPECT_EQ(m_find.SearchCaption(), "&Search");
  EXPECT_EQ(m_find.Percent(), 80);  // the last link seen was the fifth of five

  Search("PDF", true);
  EXPECT_EQ(Rows(), (Strings{"http://h.test/c.PDF Failed 3" + p + "2"}));
  Search("", false);
  EXPECT_EQ(m_find.StatusText(), "0 records found");
}

// The walk is held at the Ignored list (its lock is taken here) until the rows of the lists
// before it have arrived; cancelled then, it stops within one link and keeps those rows.
TEST_F(FindFiles, CancelKeepsTheRowsFoundSoFar) {
  for (int i = 0; i < 3; ++i) Add(ellReady, "r" + std::to_string(i) + ".html");
  for (int i = 0; i < 50; ++i) Add(ellIgnored, "i" + std::to_string(i) + ".html");
  m_download.IgnoredLinks().BeginWrite();
  m_find.Search("html", false);
  const bool readyRowsArrived = RunUntil([&] { return m_find.Items().size() == 3; });
  m_find.Cancel();
  m_download.IgnoredLinks().EndWrite();
  ASSERT_TRUE(readyRowsArrived);
  ASSERT_TRUE(RunUntil([&] { return m_find.Idle(); }));
  EXPECT_LE(m_find.Items().size(), 4u);
  EXPECT_EQ(m_find.StatusText(), std::to_string(m_find.Items().size()) + " records found");
}

}  // namespace
}  // namespace tq
