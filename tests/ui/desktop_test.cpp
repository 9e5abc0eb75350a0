// The desktop around the main window: tray balloons and menu, the dial-up layer's windows drawn
// through the dialog service (countdown with injected ticks, dial-up progress), the
// troubleshooter, the save-and-reopen of a scheduled exit, and a second start of the program
// handing its project file to the running one.
// ctest: timeout=120
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTabWidget>
#include <QTextBrowser>

#include "dialup/dial_up_fakes.h"
#include "dialup/dialer.h"
#include "dialup/scheduled_actions.h"
#include "foundation/ini_file.h"
#include "options/one_instance.h"
#include "ui/desktop_session.h"
#include "ui/gui_dialog_service.h"
#include "ui/modal_window_form.h"
#include "ui/qt_text.h"
#include "ui/tips_form.h"
#include "ui/tray.h"
#include "ui/trouble_shooter_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

// The desktop's own service with the beeps counted instead of sounded.
class TCountingGuiService : public TGuiDialogService {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

QString LabelText(QWidget* root, const char* name) {
  auto* label = root->findChild<QLabel*>(QString::fromLatin1(name));
  return label == nullptr ? QStringLiteral("<none>") : label->text();
}

QString Q(const char* text) {
  return QString::fromLatin1(text);
}

std::vector<std::string> MenuTexts(QMenu* menu) {
  std::vector<std::string> texts;
  for (QAction* item : menu->actions())
    texts.push_back(item->isSeparator() ? "-" : item->text().toStdString());
  return texts;
}

class DesktopTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    m_gui = std::make_shared<TCountingGuiService>();
    SetDialogService(m_gui);
  }
  std::shared_ptr<TCountingGuiService> m_gui;
};

TEST_F(DesktopTest, MinimisingSaysSoInABalloonAndTheTrayMenuCarriesTheCommands) {
  TMainForm& window = Window();
  window.show();
  window.setWindowState(Qt::WindowMinimized);
  ASSERT_EQ(window.Notifier().Balloons().size(), 1u);
  EXPECT_EQ(window.LastBalloon().toStdString(),
            "Tarnquill is running in background\nTo maximize the application please press double "
            "click on the Tarnquill tray icon");
  window.Tray().ToggleWindow();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_EQ(window.Notifier().Balloons().size(), 1u);  // restoring says nothing

  EXPECT_EQ(MenuTexts(window.Tray().Menu()),
            (std::vector<std::string>{"Show Tarnquill", "Download", "-", "&Reopen", "-", "Options",
                                      "About", "E&xit"}));
  const QList<QAction*> items = window.Tray().Menu()->actions();
  EXPECT_EQ(MenuTexts(items[1]->menu()),
            (std::vector<std::string>{"&Stop", "S&top All", "-", "&Download", "&Download All"}));
  window.Recent().Add(Path("a.web"));
  items[3]->menu()->aboutToShow();
  EXPECT_EQ(MenuTexts(items[3]->menu()), std::vector<std::string>{Path("a.web")});
}

// The countdown of a scheduled action, as the desktop draws it, ticked by the test.
TEST_F(DesktopTest, CountdownWindowDrawsItsTextsAndEndsByTicksOrButtons) {
  struct TCase {
    const char* name;
    int ticks;          // ticks given before the ending
    const char* press;  // then: a button, "frame" for the window's close, nullptr for none
    int result;
    const char* status;  // the status line at the end
  };
  const TCase cases[] = {
      {"thirty ticks", 30, nullptr, mrOk, "Time left 0 sec."},
      {"OK at once", 0, "&OK", mrOk, "Time left 30 sec."},
      {"Cancel after three", 3, "&Cancel", mrCancel, "Time left 27 sec."},
      {"frame close", 12, "frame", mrCancel, "Time left 18 sec."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_gui->beeps = 0;
    QString heading, description, footer, group, status;
    bool shutdownPicture = false, connectionPicture = true, hasOk = false;
    SetModalHandler([&](QDialog& dialog) {
      auto& form = dynamic_cast<TModalWindowForm&>(dialog);
      heading = LabelText(&form, "heading");
      description = LabelText(&form, "description");
      footer = LabelText(&form, "footer");
      group = form.findChild<QGroupBox*>()->title();
      shutdownPicture = form.findChild<QLabel*>(Q("shutdownPicture")) != nullptr;
      connectionPicture = form.findChild<QLabel*>(Q("connectionPicture")) != nullptr;
      hasOk = FindByText<QPushButton>(&form, Q("&OK")) != nullptr;
      for (int i = 0; i < c.ticks && !form.Window().Closed(); ++i) form.Tick();
      if (c.press != nullptr && std::string(c.press) == "frame") {
        form.reject();
      } else if (c.press != nullptr) {
        FindByText<QPushButton>(&form, Q(c.press))->click();
      }
      status = form.StatusLabel()->text();
      return form.result();
    });
    EXPECT_EQ(RunActionCountdown("Shutting down", "About to shut down.", TModalWindow::mpShutdown),
              c.result);
    EXPECT_EQ(status.toStdString(), c.status);
    EXPECT_EQ(m_gui->beeps, std::min(c.ticks, 9));
    EXPECT_EQ(heading.toStdString(), "Shutting down");
    EXPECT_EQ(description.toStdString(), "About to shut down.");
    EXPECT_EQ(footer.toStdString(), "Press Cancel to stop the countdown ");
    EXPECT_EQ(group.toStdString(), "Countdown");
    EXPECT_TRUE(shutdownPicture);
    EXPECT_FALSE(connectionPicture);
    EXPECT_TRUE(hasOk);
  }
}

TEST_F(DesktopTest, DialUpProgressFollowsTheDialingThreadUntilItGivesUp) {
  TFakeDialUp phonebook;
  phonebook.results.push_back({651, "The modem reported an error."});
  TFakeClock clock;
  TVornInternetDial options;
  options.Enabled = true;
  options.Connection = "Modem";
  options.IntervalBetweenRetries = 2;
  TVornDialer dialer(options, phonebook, clock);
  QString group, status;
  std::vector<std::string> buttons;
  SetModalHandler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TModalWindowForm&>(dialog);
    group = form.findChild<QGroupBox*>()->title();
    for (auto* button : form.findChildren<QPushButton*>())
      buttons.push_back(button->text().toStdString());
    // The logic closes the window from its thread's last post.
    EXPECT_TRUE(RunUntil([&] { return form.Window().Closed(); }));
    status = form.StatusLabel()->text();
    return form.result();
  });
  EXPECT_FALSE(options.Dial());
  EXPECT_EQ(group.toStdString(), "Connecting to Modem");
  EXPECT_EQ(buttons, std::vector<std::string>{"&Cancel"});
  EXPECT_EQ(status.toStdString(),
            "Error : The modem reported an error.\nConnection failed. Waiting 1 sec before retry");
  EXPECT_EQ(phonebook.dialled.size(), 1u);
}

TEST_F(DesktopTest, TroubleShooterRemembersItsCheckBoxAndAnswersOkOnlyFromItsPage) {
  TVornTroubleShooter& topics = Window().Options().TroubleShooter;
  QString caption, page;
  SetModalHandler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TTroubleShooterForm&>(dialog);
    caption = form.windowTitle();
    page = form.Page()->toPlainText();
    form.DontShowAgain()->setChecked(true);
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(topics.ShowTopic("nocard"));
  EXPECT_EQ(caption.toStdString(), "Tarnquill Troubleshooter");
  EXPECT_TRUE(page.contains(Q("network adapter")));
  EXPECT_FALSE(topics.Topics.at(topics.FindTopic("nocard")).Show);
  caption.clear();
  EXPECT_TRUE(topics.ShowTopic("nocard"));  // not shown again
  EXPECT_TRUE(caption.isEmpty());

  SetModalHandler([](QDialog& dialog) {
    dynamic_cast<TTroubleShooterForm&>(dialog).Page()->anchorClicked(QUrl(Q("close:ok")));
    return dialog.result();
  });
  EXPECT_TRUE(topics.ShowTopic("other"));
  EXPECT_TRUE(topics.Topics.at(topics.FindTopic("other")).Show);
}

TEST_F(DesktopTest, TipsGoOnWhereTheyStoppedAndRememberTheStartupBox) {
  const std::string config = Path("config.dat");
  std::vector<int> shown;
  SetModalHandler([&](QDialog& dialog) {
    auto& tips = dynamic_cast<TTipsForm&>(dialog);
    shown.push_back(tips.Tip());
    FindByText<QPushButton>(&tips, Q("&Next Tip"))->click();
    shown.push_back(tips.Tip());
    tips.ShowOnStartup()->setChecked(shown.size() == 2);
    return int(QDialog::Accepted);
  });
  EXPECT_FALSE(TipsOnStartup(config));
  ShowTips(config, nullptr);
  EXPECT_TRUE(TipsOnStartup(config));
  for (int i = 0; i < 3; ++i) ShowTips(config, nullptr);
  EXPECT_FALSE(TipsOnStartup(config));
  EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DesktopTest, ScheduledExitSavesTheProjectsAndTheNextStartReopensThem) {
  const std::string first = WriteProject("first.web", 3);
  const std::string second = WriteProject("second.web", 5);
  {
    TMainForm& window = Window();
    window.show();
    ASSERT_NE(window.OpenProject(first), nullptr);
    ASSERT_NE(window.OpenProject(second), nullptr);
    window.Options().InternetDisconnect.SaveDownloadsBeforeExit = true;
    TFakeClock clock;
    TVornScheduledActions actions(window.Options(), clock, nullptr);
    SetModalHandler([](QDialog& dialog) {
      FindByText<QPushButton>(&dialog, Q("&OK"))->click();
      return dialog.result();
    });
    actions.ExitProgram(false);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.Documents().Count(), 0);
    TVornIniFile config(Path("config.dat"));
    EXPECT_EQ(config.ReadString("FAutoSaved", "File0", ""), first);
    EXPECT_EQ(config.ReadString("FAutoSaved", "File1", ""), second);
  }
  m_window.reset();
  TMainForm& next = Window();
  ASSERT_EQ(next.Documents().Count(), 2);
  EXPECT_EQ(next.Documents().Items(0)->Document().DocName(), first);
  EXPECT_EQ(next.Documents().Items(1)->Engine().ReadyLinks().Count(), 5);
}

TEST_F(DesktopTest, ASecondStartHandsItsProjectFileToTheRunningInstance) {
  const std::string file = WriteProject("other.web", 4);
  TMainForm& window = Window();
  TOneInstance instance("tarnquill");
  ASSERT_FALSE(instance.Check());
  TDesktopSession session(window, {instance.Name(), "/usr/bin/true", false});

  QProcess second;
  second.start(QString::fromLocal8Bit(qgetenv("TQ_GUI")), {PathToQ(file)});
  ASSERT_TRUE(RunUntil([&] { return second.state() == QProcess::NotRunning; }, Millis(60000)));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  ASSERT_TRUE(RunUntil([&] { return window.Tabs()->count() == 1; }));
  EXPECT_EQ(window.Documents().ActiveDoc()->Document().DocName(), file);
}

}  // namespace
}  // namespace tq::test
