// The project window's search list and the find-in-lists dialog: how rows and page labels are
// shortened, the progress dialog through a whole search and a cancelled one, and the find
// dialog from its first state to the link it shows in the tree.
// ctest: timeout=120
#include "ui/search_pane.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "formats/stored_document.h"
#include "foundation/main_loop.h"
#include "support/ready_document.h"
#include "ui/find_file_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

// Every character one unit wide.
int Chars(const QString& text) {
  return static_cast<int>(text.size());
}

TEST(SearchRowText, ShortensTitlesAtTheEndAndAddressesInTheMiddle) {
  struct Case {
    const char* text;
    int width;
    const char* end;     // ShortenEnd
    const char* middle;  // ShortenMiddle
  };
  const Case cases[] = {
      {"abcdef", 6, "abcdef", "abcdef"},  // fits: unchanged
      {"abcdef", 5, "abc..", "a..f"},     // the two halves shrink together
      {"http://a/bc/de", 10, "http://a..", "http..c/de"},
      {"abcde", 4, "ab..", "..e"},  // an odd length keeps more on the right
      {"abcd", 1, "..", ".."},      // nothing fits: the dots alone
  };
  for (const Case& c : cases) {
    const QString text = QString::fromLatin1(c.text);
    EXPECT_EQ(ShortenEnd(text, c.width, Chars).toStdString(), c.end) << c.text << " " << c.width;
    EXPECT_EQ(ShortenMiddle(text, c.width, Chars).toStdString(), c.middle)
        << c.text << " " << c.width;
  }
  const QString page39 = QStringLiteral("http://www.example.com/folder/page.html");
  ASSERT_EQ(page39.size(), 39);
  EXPECT_EQ(SearchPageLabel(page39), page39);
  EXPECT_EQ(SearchPageLabel(page39 + QLatin1Char('l')).toStdString(),
            "http://www.example..../folder/page.htmll");
}

class SearchPaneTest : public MainWindowFixture {
 protected:
  // A blank project whose Ready list holds count pages that all say "offline", their titles in
  // the Windows-1252 the pages are read in when they declare nothing.
  TWWWDocForm* ProjectWithPages(int count) {
    TWWWDocForm* project = Window().NewBlankProject();
    for (int i = 0; i < count; ++i) {
      const std::string url = "http://h.test/p" + std::to_string(i) + ".html";
      TStoredDocumentWriter writer;
      AddReadyDocument(project->Engine(), project->Document(), url, "text/html",
                       writer.Build(url, "<title>Caf\xE9 " + std::to_string(i) +
                                             "</title><p>works offline too</p>"));
    }
    return project;
  }

  // Searches for keyword with the search button or Enter; the percents shown, in order.
  std::vector<int> Search(TWWWDocForm& project, const char* keyword, int cancelAt = -1,
                          bool enterKey = false) {
    TSearchPane& pane = project.SearchPane();
    std::vector<int> shown;
    const QMetaObject::Connection watch =
        QObject::connect(pane.ProgressForm()->Gauge(), &QProgressBar::valueChanged, [&](int value) {
          if (value < 0) return;  // the gauge's reset
          shown.push_back(value);
          if (value == cancelAt) pane.ProgressForm()->CancelButton()->click();
        });
    project.SearchBox()->setText(QString::fromLatin1(keyword));
    EXPECT_TRUE(project.SearchButton()->isEnabled());
    enterKey ? QTest::keyClick(project.SearchBox(), Qt::Key_Return)
             : project.SearchButton()->click();
    EXPECT_TRUE(pane.ProgressForm()->isVisible());
    EXPECT_FALSE(Enabled("EditFindContent"));
    EXPECT_FALSE(Enabled("FileSave"));
    EXPECT_TRUE(RunUntil([&] { return !pane.Search().Searching(); }));
    QObject::disconnect(watch);
    EXPECT_FALSE(pane.ProgressForm()->isVisible());
    EXPECT_TRUE(Enabled("EditFindContent"));
    EXPECT_TRUE(Enabled("FileSave"));
    return shown;
  }
};

TEST_F(SearchPaneTest, TheProgressDialogFollowsTheSearchAndCancelKeepsTheRowsFound) {
  TWWWDocForm* project = ProjectWithPages(4);
  TSearchPane& pane = project->SearchPane();
  EXPECT_EQ(Search(*project, "OFFLINE"), (std::vector<int>{0, 25, 50, 75}));
  ASSERT_EQ(pane.model()->rowCount(), 4);
  EXPECT_EQ(pane.model()->index(1, 0).data().toString(),
            QStringLiteral(u"Caf\u00e9 1\noffline too\nhttp://h.test/p1.html"));
  EXPECT_EQ(pane.ProgressForm()->PageLabel()->text().toStdString(), "http://h.test/p3.html");

  // Cancelled at the second page: that page is still searched, the rest are not.
  EXPECT_EQ(Search(*project, "line", 25), (std::vector<int>{0, 25}));
  EXPECT_EQ(pane.model()->rowCount(), 2);
  EXPECT_FALSE(pane.ProgressForm()->CancelButton()->isEnabled());

  EXPECT_EQ(Search(*project, "absent", -1, true), (std::vector<int>{0, 25, 50, 75}));
  EXPECT_EQ(pane.model()->rowCount(), 0);
}

TEST_F(SearchPaneTest, FindDialogWalksTheListsAndGoToFileSelectsTheTreeNode) {
  TWWWDocForm* project = Window().OpenProject(WriteProject("site.web", 30));
  ASSERT_NE(project, nullptr);
  TVornDownload& engine = project->Engine();
  auto failed = std::make_shared<TVornLink>();
  failed->SetPage("http://h.org/");
  failed->SetText("http://h.org/gone/p7.html.PDF");
  engine.FailedLinks().Add(failed);
  ASSERT_TRUE(RunUntil([&] { return project->TreesIdle(); }));

  std::string chosen;
  SetModalHandler([&](QDialog& dialog) {
    auto* form = dynamic_cast<TFindFileForm*>(&dialog);
    if (form == nullptr) return int(QDialog::Rejected);
    EXPECT_EQ(form->StatusPanel()->text().toStdString(), "0 Records found");
    EXPECT_EQ(form->KeywordBox()->text().toStdString(), "<Type your keyword here>");
    EXPECT_FALSE(form->GoToButton()->isEnabled());

    const auto search = [&](const char* keyword, bool caseSensitive) {
      form->KeywordBox()->setText(QString::fromLatin1(keyword));
      form->CaseSensitive()->setChecked(caseSensitive);
      form->SearchButton()->click();
      EXPECT_EQ(form->SearchButton()->text().toStdString(), "&Cancel");
      EXPECT_FALSE(form->CloseButton()->isEnabled());
      EXPECT_TRUE(RunUntil([&] { return form->Finder().Idle(); }));
      EXPECT_EQ(form->SearchButton()->text().toStdString(), "&Search");
      EXPECT_TRUE(form->CloseButton()->isEnabled());
      return form->StatusPanel()->text().toStdString();
    };
    EXPECT_EQ(search("pdf", true), "0 records found");
    EXPECT_EQ(search("P7.HTML", false), "2 records found");
    QTreeWidget* rows = form->Results();
    EXPECT_EQ(rows->topLevelItem(0)->text(1).toStdString(), "Ready");
    EXPECT_EQ(rows->topLevelItem(1)->text(1).toStdString(), "Failed");
    EXPECT_EQ(rows->topLevelItem(1)->text(3).toStdString(), "http://h.org/");
    EXPECT_FALSE(form->GoToButton()->isEnabled());
    rows->setCurrentItem(rows->topLevelItem(0));
    EXPECT_TRUE(form->GoToButton()->isEnabled());
    chosen = form->SelectedUrl();
    form->GoToButton()->click();
    return form->result();
  });
  Window().Action("EditFindFilesAndFolder")->trigger();
  EXPECT_EQ(chosen, "http://h.org/d7/p7.html");
  EXPECT_EQ(project->AllTree().UrlOf(project->AllTreeView()->currentIndex()), chosen);
}

}  // namespace
}  // namespace tq::test
