// The program's message dialog: its layout rules and the results of its buttons.
#include "ui/message_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace tq::test {
namespace {

std::vector<std::string> Captions(const QDialog& dialog) {
  std::vector<std::pair<int, std::string>> buttons;
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    buttons.emplace_back(button->x(), button->text().toStdString());
  std::sort(buttons.begin(), buttons.end());
  std::vector<std::string> captions;
  for (const auto& button : buttons) captions.push_back(button.second);
  return captions;
}

TEST(MessageDialog, LayoutFollowsTheTextTheIconAndTheButtons) {
  // An empty message with an icon still gets a 32-pixel text block and 300 pixels of width.
  TMessageDlgForm empty("", mdiWarning, mbOk, "Title", 0);
  EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("text"))->height(), 32);
  EXPECT_GE(empty.width(), 300);
  EXPECT_EQ(empty.windowTitle().toStdString(), "Tarnquill");
  EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("title"))->text().toStdString(), "Title");

  // Without an icon the window fits the text; a row of buttons wider than that widens it.
  TMessageDlgForm plain("Hi", mdiNone, mbOk, "T", 0);
  EXPECT_EQ(plain.findChild<QLabel*>(QStringLiteral("icon")), nullptr);
  EXPECT_LT(plain.width(), 300);
  TMessageDlgForm wide("Hi", mdiNone, 0x1FF, "T", 0);
  EXPECT_GT(wide.width(), plain.width());
  EXPECT_EQ(Captions(wide), (std::vector<std::string>{"&Yes", "&No", "&Ok", "&Cancel", "A&bort",
                                                      "&Retry", "&Ignore", "&All", "&Help"}));
  for (QPushButton* button : wide.findChildren<QPushButton*>())
    EXPECT_GE(button->x(), 0) << button->text().toStdString();

  // A long message wraps instead of widening the window past half the screen.
  const std::string line(2000, 'w');
  TMessageDlgForm long_text(std::string(200, ' ') + line, mdiInformation, mbOk, "T", 0);
  EXPECT_LE(long_text.width(), QGuiApplication::primaryScreen()->geometry().width() / 2 + 120);
}

TEST(MessageDialog, EachButtonAnswersItsResult) {
  TMessageDlgForm form("Do you want to quit Tarnquill ?", mdiConfirmation, mbYes | mbNo, "Quit", 7);
  EXPECT_EQ(Captions(form), (std::vector<std::string>{"&Yes", "&No"}));
  for (QPushButton* button : form.findChildren<QPushButton*>()) {
    if (button->text() == QLatin1String("&No")) QTest::mouseClick(button, Qt::LeftButton);
  }
  EXPECT_EQ(form.Result(), mrNo);
  EXPECT_EQ(form.HelpContext(), 7);
}

}  // namespace
}  // namespace tq::test
