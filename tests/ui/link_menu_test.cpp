// The link trees' context menu: its items, a stored document copied to the clipboard as a file a
// file manager pastes, and a link deleted from the project.
// ctest: timeout=60
#include "ui/options_popup_menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "formats/stored_document.h"
#include "foundation/main_loop.h"
#include "support/ready_document.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class LinkMenuTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    m_project = Window().NewBlankProject();
    TStoredDocumentWriter writer;
    const int link = writer.AddLink(kImage);
    AddReadyDocument(m_project->Engine(), m_project->Document(), kFolderPage, "text/html",
                     writer.Build(kFolderPage, "<img src=\"" + LinkPlaceholder(link) + "\">"));
    AddReadyDocument(m_project->Engine(), m_project->Document(), kImage, "image/png",
                     std::string("\x89PNG\r\n\x1a\n\0\xA4\xA4", 11));
    ASSERT_TRUE(RunUntil([&] { return m_project->TreesIdle(); }));
  }

  // The menu built on the All tree with url's node selected.
  TVornOptionsPopupMenu& MenuOn(const std::string& url) {
    m_project->GoToFile(url);
    TVornOptionsPopupMenu& menu = m_project->LinkMenu();
    menu.Build(m_project->AllTreeView());
    return menu;
  }

  static constexpr const char* kFolderPage = "http://h.test/docs/";
  static constexpr const char* kImage = "http://h.test/docs/logo.png";
  TWWWDocForm* m_project = nullptr;
};

TEST_F(LinkMenuTest, CopyPutsTheStoredDocumentOnTheClipboardAsAFile) {
  TVornUtilityApps& browsers = Window().Options().ExtBrowsers;
  browsers.Clear();
  const auto items = [this] {
    TVornOptionsPopupMenu& menu = MenuOn(kFolderPage);
    QStringList texts;
    for (QAction* action : menu.actions()) {
      if (action->isSeparator()) continue;
      texts << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
      if (action->menu() == nullptr) continue;
      for (QAction* entry : action->menu()->actions())
        texts << QStringLiteral(">") + entry->text() +
                     (entry->isEnabled() ? QString() : QStringLiteral(" (off)")) +
                     QLatin1Char(' ') + entry->shortcut().toString();
    }
    return texts.join(QLatin1Char('|')).toStdString();
  };
  EXPECT_EQ(items(), "Browse|Delete|Cut|Copy|Copy As Shortcut|Paste (off)");
  TVornUtilityApp& viewer = browsers.Add();
  viewer.Caption = "Viewer";
  viewer.HotKey = 0x0371;  // Shift, Ctrl and F2 as the hot-key control stores them
  EXPECT_EQ(items(),
            "Browse|Browse with|>Viewer (off) Ctrl+Shift+F2|Delete|Cut|Copy|Copy As Shortcut|"
            "Paste (off)");

  TVornOptionsPopupMenu& menu = m_project->LinkMenu();
  menu.Copy();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->urls().size(), 1);
  const std::string page = data->urls().first().toLocalFile().toStdString();
  EXPECT_EQ(std::filesystem::path(page).filename(), "index.html");
  EXPECT_TRUE(page.starts_with(m_project->Document().Folder()));
  EXPECT_EQ(data->data(QStringLiteral("x-special/gnome-copied-files")).toStdString(),
            "copy\n" + QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString());
  // The page comes back without its header, its link put back in place.
  const std::string copied = ReadAll(page);
  EXPECT_EQ(copied.find("TARNQUILL DOCUMENT"), std::string::npos);
  EXPECT_TRUE(copied.ends_with(std::string("<img src=\"") + kImage + "\">\r\n")) << copied;

  MenuOn(kImage).Copy();
  const std::string image =
      QGuiApplication::clipboard()->mimeData()->urls().first().toLocalFile().toStdString();
  EXPECT_EQ(ReadAll(image), std::string("\x89PNG\r\n\x1a\n\0\xA4\xA4", 11));
  EXPECT_FALSE(std::ifstream(page).good());  // one temporary file at a time
}

TEST_F(LinkMenuTest, DeleteAsksOnceAndMovesTheLinkToTheDeletedList) {
  m_dialogs->messageAnswers = {mrNo, mrYes};
  TVornOptionsPopupMenu& menu = MenuOn(kImage);
  menu.Delete();  // answered No
  EXPECT_EQ(m_project->Engine().ReadyLinks().Count(), 2);
  menu.Delete();
  EXPECT_EQ(m_project->Engine().ReadyLinks().Count(), 1);
  EXPECT_TRUE(m_project->Engine().DeletedLinks().Contains(kFindExact, kImage));
  menu.Delete();  // already deleted: not asked again
  EXPECT_EQ(Messages(), (std::vector<std::string>(2, std::string("Are you sure you want to delete "
                                                                 "\n\r") +
                                                         kImage + " from project?")));
}

// The main window's edit commands act on the tree or the address bar that has the focus, and on
// nothing once it has gone (a menu opening over the window does not take them away).
TEST_F(LinkMenuTest, TheMainWindowsEditCommandsFollowTheFocus) {
  const auto focus = [](QObject* target, QEvent::Type type, Qt::FocusReason reason) {
    QFocusEvent event(type, reason);
    QCoreApplication::sendEvent(target, &event);
  };
  const auto enabled = [this] {
    std::string states;
    for (const char* name : {"EditDelete", "EditCut", "EditCopy", "EditPaste"})
      states += Window().Action(name)->isEnabled() ? '1' : '0';
    return states;
  };
  m_project->GoToFile(kImage);
  QTreeView* tree = m_project->AllTreeView();
  focus(tree, QEvent::FocusIn, Qt::OtherFocusReason);
  EXPECT_EQ(enabled(), "1110");
  focus(tree, QEvent::FocusOut, Qt::PopupFocusReason);
  Window().Action("EditCopy")->trigger();
  EXPECT_EQ(
      ReadAll(QGuiApplication::clipboard()->mimeData()->urls().first().toLocalFile().toStdString()),
      std::string("\x89PNG\r\n\x1a\n\0\xA4\xA4", 11));
  focus(tree, QEvent::FocusOut, Qt::OtherFocusReason);
  EXPECT_EQ(enabled(), "0000");

  QLineEdit* address = m_project->AddressBar()->lineEdit();
  address->setText(QStringLiteral("http://typed.test/"));
  address->selectAll();
  QGuiApplication::clipboard()->clear();
  focus(address, QEvent::FocusIn, Qt::OtherFocusReason);
  EXPECT_EQ(enabled(), "0110");  // nothing to paste
  Window().Action("EditCut")->trigger();
  EXPECT_EQ(address->text(), QString());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://typed.test/"));
  focus(address, QEvent::FocusIn, Qt::OtherFocusReason);
  EXPECT_EQ(enabled(), "0111");
  Window().Action("EditPaste")->trigger();
  EXPECT_EQ(address->text(), QStringLiteral("http://typed.test/"));
  focus(address, QEvent::FocusOut, Qt::OtherFocusReason);
  EXPECT_EQ(enabled(), "0000");
  Window().Action("EditPaste")->trigger();  // no handler: nothing happens
  EXPECT_EQ(address->text(), QStringLiteral("http://typed.test/"));
}

}  // namespace
}  // namespace tq::test
