// The main window's state between runs: size, position, maximised, the project panes' splitters
// and the columns of the lists and of the find dialog, kept in the settings file's own section;
// the default window that shows every toolbar; columns the user sizes around a stretching
// address column.
// ctest: timeout=120
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <QHeaderView>
#include <QSplitter>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include "foundation/mem_ini_file.h"
#include "ui/find_file_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

std::vector<int> Sizes(const QSplitter* splitter) {
  const QList<int> sizes = splitter->sizes();
  return {sizes.begin(), sizes.end()};
}

class WindowStateTest : public MainWindowFixture {
 protected:
  // Opens the find dialog of the active project; look sees its columns before it closes.
  void OpenFind(const std::function<void(QHeaderView*)>& look) {
    SetModalHandler([look](QDialog& dialog) {
      if (auto* form = dynamic_cast<TFindFileForm*>(&dialog)) look(form->Results()->header());
      return int(QDialog::Rejected);
    });
    Window().Action("EditFindFilesAndFolder")->trigger();
    SetModalHandler(FinishWizard);
  }
  // The program is closed (which saves the settings) and started again over the same file.
  TMainForm& Restart() {
    Window().Options().Confirmation.ClosingApp = false;
    Window().Options().Confirmation.ClosingDoc = false;
    Window().close();
    EXPECT_EQ(Window().Documents().Count(), 0);
    m_window.reset();
    Window().show();
    return Window();
  }
};

TEST_F(WindowStateTest, SizePositionPanesAndColumnsComeBackInTheNextRun) {
  TMainForm& first = Window();
  first.show();
  first.resize(1000, 700);
  first.move(40, 30);
  TWWWDocForm* project = first.NewBlankProject();
  project->OuterSplitter()->setSizes({300, 250});
  project->InnerSplitter()->setSizes({180, 700});
  QTreeView* ready = project->Lists().View(llReady);
  ready->setColumnWidth(1, 133);
  const std::vector<int> outer = Sizes(project->OuterSplitter());
  const std::vector<int> inner = Sizes(project->InnerSplitter());
  OpenFind([](QHeaderView* header) { header->resizeSection(2, 77); });

  TMainForm& second = Restart();
  EXPECT_EQ(second.size(), QSize(1000, 700));
  EXPECT_EQ(second.pos(), QPoint(40, 30));
  EXPECT_FALSE(second.isMaximized());
  project = second.NewBlankProject();
  EXPECT_EQ(Sizes(project->OuterSplitter()), outer);
  EXPECT_EQ(Sizes(project->InnerSplitter()), inner);
  EXPECT_EQ(project->Lists().View(llReady)->columnWidth(1), 133);
  int findColumn = 0;
  OpenFind([&](QHeaderView* header) { findColumn = header->sectionSize(2); });
  EXPECT_EQ(findColumn, 77);

  // Maximised comes back maximised, over the normal size it had.
  second.showMaximized();
  TMainForm& third = Restart();
  EXPECT_TRUE(third.isMaximized());
  EXPECT_EQ(third.WindowState().Width, 1000);
  // The state has its own section; the options' sections are left as they were.
  TVornMemIniFile file(Path("config.dat"));
  EXPECT_EQ(file.ReadInteger("Window", "Maximized", 0), 1);
  EXPECT_NE(file.ReadString("Window", "Columns0", "").find(",133"), std::string::npos);
}

TEST_F(WindowStateTest, TheFirstWindowShowsEveryToolbarOnOneRow) {
  TMainForm& window = Window();
  window.show();
  std::set<int> rows;
  for (QToolBar* bar : window.findChildren<QToolBar*>()) {
    rows.insert(bar->y());
    // A bar narrower than its buttons hides the last ones behind its extension button.
    EXPECT_GE(bar->width(), bar->sizeHint().width()) << bar->windowTitle().toStdString();
  }
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_LE(window.width(), 1280);
}

TEST_F(WindowStateTest, TheAddressColumnStretchesAndTheOthersKeepTheirWidth) {
  TWWWDocForm* project = Window().NewBlankProject();
  Window().show();
  project->Lists().ShowList(llQueue);
  QTreeView* queue = project->Lists().View(llQueue);
  queue->setColumnWidth(1, 90);
  const int address = queue->columnWidth(0);
  Window().resize(Window().width() + 200, Window().height());
  ASSERT_TRUE(RunUntil([&] { return queue->columnWidth(0) > address; }));
  EXPECT_EQ(queue->columnWidth(1), 90);
}

TEST(WindowStateSizes, MalformedListsReadAsNeverSaved) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"500,220", {500, 220}},
      {"", {}},
      {"500,", {}},
      {",5", {}},
      {"5,-1", {}},
      {"5,x", {}},
      {"7 ,3", {}},
      {"100001", {}},
      {"0", {0}},
  };
  for (const auto& [text, sizes] : cases) EXPECT_EQ(SizesFromText(text), sizes) << text;
  EXPECT_EQ(SizesText({500, 220}), "500,220");
}

}  // namespace
}  // namespace tq::test
