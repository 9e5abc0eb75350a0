// The project dialogs driven through their widgets from the main window's commands: the login
// prompt of a crawl, the properties dialog, statistics, the new project dialog and the wizards.
#include <gtest/gtest.h>

#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "foundation/mem_ini_file.h"
#include "ui/auth_form.h"
#include "ui/configure_form.h"
#include "ui/gui_dialog_service.h"
#include "ui/hot_key.h"
#include "ui/new_project_form.h"
#include "ui/options_form.h"
#include "ui/stats_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

std::string SettingsText(TVornDownload& engine) {
  TVornMemIniFile ini("");
  engine.Settings().SaveToIni(ini, false);
  return ini.GetText();
}

void Click(QWidget* root, const char* caption) {
  auto* button = FindByText<QAbstractButton>(root, QString::fromLatin1(caption));
  ASSERT_NE(button, nullptr) << caption;
  // A control on a page that was just revealed may not have its size yet: click() does what a
  // mouse click does without aiming at it.
  button->click();
}

// Messages through the scripted service, the login prompt through the desktop's own dialog.
class GuiLogin : public TFakeDialogService {
 public:
  TLoginAnswer PromptLogin(const TLoginRequest& request) override {
    TFakeDialogService::PromptLogin(request);
    return TGuiDialogService().PromptLogin(request);
  }
};

class ProjectDialogsTest : public MainWindowFixture {
 protected:
  // The next modal dialogs of type T go to drive; others are answered as the fixture does.
  template <class T>
  void OnDialog(std::function<void(T&)> drive) {
    SetModalHandler([this, drive](QDialog& dialog) {
      auto* form = dynamic_cast<T*>(&dialog);
      if (form == nullptr) return FinishWizard(dialog);
      ++m_shown;
      form->show();
      drive(*form);
      const int result = form->result();
      form->hide();
      return result;
    });
  }
  int m_shown = 0;
};

TEST_F(ProjectDialogsTest, A401ShowsTheLoginDialogAndTheTypedCredentialsSucceed) {
  m_server.Route("/secret.html", [](const TestRequest& request, TestConnection& c) {
    if (request.Header("authorization") == "Basic YW5uOnB3") {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", "<p>inside</p>"));
    } else {
      c.Send(HttpTestServer::Answer("401 Unauthorized",
                                    "WWW-Authenticate: Basic realm=\"club\"\r\n", "no"));
    }
  });
  auto dialogs = std::make_shared<GuiLogin>();
  SetDialogService(dialogs);
  OnDialog<TVornAuthForm>([](TVornAuthForm& form) {
    auto* asked = form.findChild<QLabel*>(QStringLiteral("parameters"));
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(asked->text(), QStringLiteral("Basic realm=\"club\""));
    QTest::keyClicks(form.UserBox()->lineEdit(), QStringLiteral("ann"));
    QTest::keyClicks(form.PasswordBox(), QStringLiteral("pw"));
    Click(&form, "Save the password");
    Click(&form, "&Ok");
  });
  // The credentials go with the next attempt of the page.
  Window().NewProjectFromAddress(
      {{m_server.Url("/secret.html"), "club"}, true, true, true, false, true});
  TWWWDocForm* project = Window().Documents().ActiveDoc();
  project->Engine().System().RetriesOnFailed = 1;
  Window().Action("DownloadResume")->trigger();
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));

  EXPECT_EQ(m_shown, 1);
  ASSERT_EQ(dialogs->Questions().size(), 1u);
  EXPECT_EQ(dialogs->Questions()[0].text, "http://127.0.0.1:" + std::to_string(m_server.Port()));
  EXPECT_EQ(project->Engine().ReadyLinks().Count(), 1);
  EXPECT_EQ(project->Engine().FailedLinks().Count(), 0);
  const TAuthorizations& saved = project->Engine().Passwords().HTTPAuth;
  ASSERT_EQ(saved.Count(), 1);
  EXPECT_EQ(saved.Items(0).User, "ann");
  EXPECT_EQ(saved.Items(0).Password, "pw");
}

TEST_F(ProjectDialogsTest, PropertiesWriteOnlyOnOkAndTheirChecksEnableTheirPages) {
  TVornDownload& engine = Window().NewBlankProject()->Engine();
  const std::string before = SettingsText(engine);

  OnDialog<TConfigureForm>([](TConfigureForm& form) { Click(&form, "&OK"); });
  Window().Action("ViewProperties")->trigger();
  EXPECT_EQ(SettingsText(engine), before);

  // A change and Cancel: nothing written.
  OnDialog<TConfigureForm>([](TConfigureForm& form) {
    form.Node(cpImages)->setCheckState(0, Qt::Unchecked);
    Click(&form, "&Cancel");
  });
  Window().Action("ViewProperties")->trigger();
  EXPECT_EQ(SettingsText(engine), before);

  OnDialog<TConfigureForm>([this](TConfigureForm& form) {
    form.Selector()->setCurrentItem(form.Node(cpImages));
    EXPECT_TRUE(form.CheckedContent(cpImages)->isEnabled());
    form.Node(cpImages)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(form.CheckedContent(cpImages)->isEnabled());

    // An https server on the HTTP page is refused and keeps the focus.
    form.Selector()->setCurrentItem(form.Node(cpPasswords));
    Click(form.Page(cpPasswords), "<< &Add");
    auto* server = form.findChild<QLineEdit*>(QStringLiteral("server"));
    server->setFocus();
    QTest::keyClicks(server, QStringLiteral("https://www.example.com/a"));
    QTest::keyClick(server, Qt::Key_Return);
    EXPECT_EQ(Messages().back().rfind("Invalid Protocol to use for HTTP connection.", 0), 0u);
    server->selectAll();
    QTest::keyClicks(server, QStringLiteral("www.example.com/a"));
    QTest::keyClick(server, Qt::Key_Return);
    EXPECT_EQ(server->text().toStdString(), "www.example.com");
    Click(&form, "&OK");
  });
  Window().Action("ViewProperties")->trigger();
  EXPECT_FALSE(engine.Settings().FilterImagesFiles.Download);
  ASSERT_EQ(engine.Passwords().HTTPAuth.Count(), 1);
  EXPECT_EQ(engine.Passwords().HTTPAuth.Items(0).Address, "www.example.com");
  EXPECT_TRUE(engine.Passwords().HTTPAuth.Items(0).Enabled);
}

TEST_F(ProjectDialogsTest, StatisticsShowTheCrawlsFigures) {
  TWWWDocForm* empty = Window().NewBlankProject();
  OnDialog<TStatsForm>([](TStatsForm& form) {
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("total"))->text().toStdString(),
              "Total 0 pages");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form.Bar(i)->value(), 0);
    Click(&form, "&OK");
  });
  Window().Action("ViewStatus")->trigger();
  EXPECT_EQ(m_shown, 1);

  m_server.Route("/index.html", Page("<a href=a.html>a</a><a href=b.zip>b</a><a href=c.html>c"));
  m_server.Route("/a.html", Page("<p>a</p>"));
  m_server.Route("/c.html", Page("<p>c</p>"));
  Crawl(m_server.Url("/index.html"));
  ASSERT_TRUE(RunUntil([&] { return CrawlEnded(); }, Millis(30000)));
  OnDialog<TStatsForm>([](TStatsForm& form) {
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("total"))->text().toStdString(),
              "Total 4 pages");
    EXPECT_EQ(form.Bar(0)->value(), 75);
    EXPECT_EQ(form.Bar(3)->value(), 25);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("name"))->text().toStdString(), "site");
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("status"))->text().toStdString(),
              "Status : Ready");
  });
  Window().Action("ViewStatus")->trigger();
  EXPECT_EQ(m_shown, 2);
  (void)empty;

  m_server.Route("/stall.html", Stall());
  Crawl(m_server.Url("/stall.html"));
  ASSERT_TRUE(RunUntil([&] { return Enabled("DownloadPause"); }, Millis(30000)));
  OnDialog<TStatsForm>([](TStatsForm& form) {
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("status"))->text().toStdString(),
              "Status : Downloading...");
  });
  Window().Action("ViewStatus")->trigger();
  Window().Action("DownloadPauseAll")->trigger();
}

TEST_F(ProjectDialogsTest, NewProjectDialogMakesABlankProjectOnceItsAddressIsValid) {
  OnDialog<TNewProjectForm>([](TNewProjectForm& form) {
    form.TypeList()->setCurrentRow(nptBlank);
    EXPECT_FALSE(form.OkButton()->isEnabled());  // "http://" has no host
    QTest::keyClicks(form.findChild<QLineEdit*>(QStringLiteral("url")),
                     QStringLiteral("www.example.com/"));
    EXPECT_TRUE(form.OkButton()->isEnabled());
    Click(&form, "&More");
    Click(&form, "Build Emails List");
    Click(&form, "&OK");
  });
  Window().Action("FileNewProjectOther")->trigger();
  TWWWDocForm* project = Window().Documents().ActiveDoc();
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->Engine().General().BaseUrl, "http://www.example.com/");
  EXPECT_TRUE(project->Engine().System().BuildEmails());
  EXPECT_FALSE(project->Engine().System().BuildIgnored());
}

TEST_F(ProjectDialogsTest, WizardsWalkTheirPagesAndAskBeforeClosing) {
  // The new-project wizard from the menu, cancelled: No keeps it open, Yes closes it.
  Window().Options().Confirmation.QuittingWizard = true;
  m_dialogs->messageAnswers = {mrNo, mrYes};
  OnDialog<TWizardForm>([](TWizardForm& form) {
    Click(&form, "&Cancel");
    EXPECT_TRUE(form.isVisible());
    Click(&form, "&Cancel");
    EXPECT_FALSE(form.isVisible());
  });
  Window().Action("FileNewProjectWizard")->trigger();
  EXPECT_EQ(Window().Documents().Count(), 0);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Do you want to close Wizard ?",
                                                  "Do you want to close Wizard ?"}));

  // The project wizard: a checked box skips its type; closing after Finish asks too.
  Window().Options().Confirmation.QuittingWizard = false;
  TVornDownload& engine = Window().NewBlankProject()->Engine();
  OnDialog<TWizardForm>([](TWizardForm& form) {
    EXPECT_EQ(form.windowTitle().toStdString(), "Wizard");
    EXPECT_FALSE(form.BackButton()->isEnabled());
    Click(&form, "&Next >");
    auto* address = form.PageWidget(wpAddress)->findChild<QLineEdit*>(QStringLiteral("address"));
    address->clear();
    QTest::keyClicks(address, QStringLiteral("http://"));
    EXPECT_FALSE(form.NextButton()->isEnabled());
    QTest::keyClicks(address, QStringLiteral("www.example.com/docs/"));
    Click(&form, "&Next >");
    Click(&form, "&Next >");
    EXPECT_EQ(form.Model().Page(), wpFileTypes);
    Click(&form, "Skip loading the following file types :");
    for (const char* box : {"Audio (sounds, music)", "Video", "Archive (ZIP, RAR, etc)"}) {
      auto* check = FindByText<QCheckBox>(&form, QString::fromLatin1(box));
      if (check->isChecked()) Click(&form, box);
    }
    if (!FindByText<QCheckBox>(&form, QStringLiteral("Graphics (images)"))->isChecked())
      Click(&form, "Graphics (images)");
    Click(&form, "&Next >");
    Click(&form, "&Next >");
    EXPECT_TRUE(form.FinishButton()->isVisible());
    EXPECT_FALSE(form.NextButton()->isVisible());
    Click(&form, "&Finish");
  });
  Window().Action("ViewWizard")->trigger();
  EXPECT_EQ(engine.General().BaseUrl, "http://www.example.com/docs/");
  EXPECT_FALSE(engine.Settings().FilterImagesFiles.Download);
  EXPECT_TRUE(engine.Settings().FilterAudioFiles.Download);
  EXPECT_TRUE(engine.Settings().FilterVideoFiles.Download);
  EXPECT_TRUE(engine.Settings().FilterTextFiles.Download);
}

}  // namespace
}  // namespace tq::test

namespace tq::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(ProjectDialogsTest, OptionsWriteTheFileOnlyWhenChangedAndStopAtAnEmptyTime) {
  Window().Options().SaveOptions();
  const auto written = std::filesystem::last_write_time(Path("config.dat"));
  const std::string before = ReadAll(Path("config.dat"));
  OnDialog<TOptionsForm>([](TOptionsForm& form) { Click(&form, "&OK"); });
  Window().Action("ToolsOptions")->trigger();
  EXPECT_EQ(std::filesystem::last_write_time(Path("config.dat")), written);
  EXPECT_EQ(ReadAll(Path("config.dat")), before);

  OnDialog<TOptionsForm>([this](TOptionsForm& form) {
    form.DisconnectTimeBox()->clear();
    Click(&form, "&OK");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Messages().back().rfind("Invalid value entered into \"Disconnect at\" field !", 0),
              0u);
    Click(&form, "Disconnect at");  // which enables its time box
    QTest::keyClicks(form.DisconnectTimeBox(), QStringLiteral("2330"));
    Click(&form, "Monitor Clipboard");
    // A browser's hot-key is pressed, not typed: the stored code follows the keys.
    Click(&form, "<< &Add");
    auto* hotKey = form.findChild<QKeySequenceEdit*>(QStringLiteral("hotKey"));
    ASSERT_NE(hotKey, nullptr);
    QSignalSpy finished(hotKey, &QKeySequenceEdit::editingFinished);
    QTest::keyClick(hotKey, Qt::Key_F2, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(finished.wait(5000));  // the box waits a moment for a second chord
    Click(&form, "&OK");

    EXPECT_FALSE(form.isVisible());
  });
  Window().Action("ToolsOptions")->trigger();
  EXPECT_TRUE(Window().Options().Integration.MonitorClipboard);
  EXPECT_TRUE(Window().Options().InternetDisconnect.DisconnectAt);
  EXPECT_NE(ReadAll(Path("config.dat")).find("FMonitorClipboard=1"), std::string::npos);
  const TVornUtilityApps& browsers = Window().Options().ExtBrowsers;
  ASSERT_GT(browsers.Count(), 0);
  EXPECT_EQ(browsers.Items(browsers.Count() - 1).HotKey, 0x0371);
}

// A label's "&" without a control to give the focus to is drawn as a stray mark.
TEST_F(ProjectDialogsTest, CaptionsShowNoMnemonicMarker) {
  TOptionsForm options(Window().Options(), {});
  TVornAuthForm login(TLoginRequest{"http://h.org", {}, {}});
  for (QDialog* dialog : std::initializer_list<QDialog*>{&options, &login}) {
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->text().contains(QRegularExpression(QStringLiteral("&[^&]")))) {
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
      }
    }
  }
}

// Switches for services this platform lacks are not shown, and OK keeps what they stored.
TEST_F(ProjectDialogsTest, OptionsNameNoServiceThisPlatformLacksAndKeepTheirValues) {
  TVornOptions& options = Window().Options();
  options.InternetConnection.UseMSIECookies = false;
  options.Integration.IntegrateIE = false;
  TOptionsForm form(options, {});
  form.show();
  for (QWidget* widget : form.findChildren<QWidget*>()) {
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
    if (!widget->isVisibleTo(&form)) continue;
    for (const char* word : {"Microsoft", "MS Internet", "modem"})
      EXPECT_FALSE(text.contains(QLatin1String(word))) << text.toStdString();
  }
  Click(&form, "&OK");
  EXPECT_FALSE(options.InternetConnection.UseMSIECookies);
  EXPECT_FALSE(options.Integration.IntegrateIE);
}

TEST(HotKeyTest, CodesAndKeySequencesConvertBothWays) {
  for (const uint16_t code : {0x0041, 0x0230, 0x0371, 0x0487, 0x075A}) {
    EXPECT_EQ(HotKeyCode(HotKeySequence(code)), code) << code;
  }
  EXPECT_EQ(HotKeySequence(0x0371).toString(), QStringLiteral("Ctrl+Shift+F2"));
  EXPECT_TRUE(HotKeySequence(0).isEmpty());
  EXPECT_TRUE(HotKeySequence(0x0224).isEmpty());  // Home: no code of its own here
  EXPECT_EQ(HotKeyCode(QKeySequence(Qt::CTRL | Qt::Key_Home)), 0);
  EXPECT_EQ(HotKeyCode(QKeySequence(Qt::META | Qt::Key_A)), 0);
  EXPECT_EQ(
      HotKeyCode(QKeySequence(QKeyCombination(Qt::CTRL | Qt::Key_B), QKeyCombination(Qt::Key_C))),
      0x0242);
}

}  // namespace
}  // namespace tq::test
