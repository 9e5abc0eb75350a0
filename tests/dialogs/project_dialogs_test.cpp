// The logic of the project's dialogs without widgets: the properties dialog's takeover, the
// wizards' page flows and their meaning, and the statistics of a project.
#include <gtest/gtest.h>

#include "dialogs/configure_model.h"
#include "dialogs/project_statistics.h"
#include "dialogs/wizard_model.h"
#include "engine/admission.h"
#include "engine/download.h"
#include "foundation/main_loop.h"
#include "foundation/mem_ini_file.h"
#include "options/options.h"
#include "support/fake_dialog_service.h"
#include "support/http_test_server.h"

namespace tq::test {
namespace {

std::string SettingsText(const TVornCrawlSettings& settings) {
  TVornMemIniFile ini("");
  settings.SaveToIni(ini, false);
  return ini.GetText();
}

class ProjectDialogs : public ::testing::Test {
 protected:
  ProjectDialogs() {
    SetDialogService(m_dialogs);
    ApplyNewProjectSettings(m_settings);
  }
  ~ProjectDialogs() override { SetDialogService(nullptr); }

  std::shared_ptr<TFakeDialogService> m_dialogs = std::make_shared<TFakeDialogService>();
  TVornCrawlSettings m_settings;
};

TEST_F(ProjectDialogs, PropertiesOkWithoutChangesKeepsEverySettingAndRaisesNothing) {
  // Values a spin box could not show, filters that do not download, lists on every page.
  TVornMemIniFile file("");
  file.SetText(
      "[FSystem]\r\nFConnectionTimeout=0\r\nFThreadsCount=200\r\n[FGeneral]\r\nFLevelLimit=500\r\n"
      "[FHTTPAuth]\r\nCount=2\r\nAuth0Address=http://a.example.com\r\nAuth0Enabled=0\r\n"
      "Auth0User=u\r\nAuth1Address=http://b.example.com\r\nAuth1Enabled=1\r\n"
      "[FHTMLAuth]\r\nCount=1\r\nAuth0Address=form\r\nAuth0Enabled=1\r\n");
  m_settings.LoadFromIni(file, false);
  ApplyNewProjectSettings(m_settings);
  m_settings.FilterImagesFiles.FileMaxSize = {900, true};
  m_settings.DirectoryRules.ExcludedKeywords.SetText("cgi;tmp;");
  m_settings.DirectoryRules.ExcludedKeywords.Items(1).Checked = false;
  m_settings.TagsRecognition.TagsSensibility.reset(eptTH);
  m_settings.LinksTranslation.Enabled = false;
  m_settings.General.PageRequisites = false;
  m_settings.General.SetProjectName("");  // reads as "Untitled"
  const std::string before = SettingsText(m_settings);
  int events = 0;
  m_settings.General.OnProjectNameChange = [&](TGeneral&, const std::string&) { ++events; };
  m_settings.System.OnBuildAllTreeChange = [&](bool) { ++events; };

  TConfigureModel(m_settings).TakeOver();
  EXPECT_EQ(SettingsText(m_settings), before);
  EXPECT_EQ(events, 0);
}

TEST_F(ProjectDialogs, PropertiesControlsReachTheirSettings) {
  struct Case {
    const char* name;
    std::function<void(TConfigureModel&)> edit;
    std::function<bool(TVornCrawlSettings&)> holds;
  };
  const Case cases[] = {
      {"video node (off for a new project)",
       [](TConfigureModel& m) {
         m.ToggleNode(cpVideo);
         m.ToggleNode(cpText);
       },
       [](TVornCrawlSettings& s) {
         return s.FilterVideoFiles.Download && !s.FilterTextFiles.Download;
       }},
      {"TH and TR keep their own kinds",
       [](TConfigureModel& m) {
         m.Tags.fill(false);
         m.Tags[22] = true;  // "TH", listed before "TR"
       },
       [](TVornCrawlSettings& s) {
         return s.TagsRecognition.TagsSensibility.count() == 1 &&
                s.TagsRecognition.TagsSensibility[eptTH];
       }},
      {"JAVA off keeps the hidden HTML recognition", [](TConfigureModel& m) { m.Java = false; },
       [](TVornCrawlSettings& s) {
         const auto r = s.TagsRecognition.Recognition;
         return r[ertHTML] && !r[ertJava] && r[ertCSS];
       }},
      {"extension renamed and added unchecked",
       [](TConfigureModel& m) {
         TCheckListEdit& list = m.Filter(cpImages).Extensions;
         list.Selected = 0;
         list.RenameSelected("webp");
         list.AddEntry(false);
       },
       [](TVornCrawlSettings& s) {
         const TCheckStrings& e = s.FilterImagesFiles.FileExtensions;
         return e.Items(0).Value == "webp" && e.Items(0).Checked && !e.Items(e.Count() - 1).Checked;
       }},
      {"keyword added checked to the excluded servers",
       [](TConfigureModel& m) {
         m.Servers.ShowExcluded = true;
         m.Servers.Shown().AddEntry(true);
         m.Servers.Shown().RenameSelected("ads");
       },
       [](TVornCrawlSettings& s) {
         return s.ServerRules.ExcludedKeywords.Text() == "ads;" &&
                s.ServerRules.IncludedKeywords.Count() == 0;
       }},
      {"prompt replaced by the default login",
       [](TConfigureModel& m) {
         m.UseDefaultLogin = true;
         m.DefaultUser = "me";
       },
       [](TVornCrawlSettings& s) {
         return s.Passwords.NewPassAction == eaUseDefault && s.Passwords.DefaultLogin.User == "me";
       }},
      {"politeness under the thread count",
       [](TConfigureModel& m) {
         m.MaxRequestsPerSecond = 3;
         m.ObeyRobots = true;
       },
       [](TVornCrawlSettings& s) {
         return s.System.MaxRequestsPerSecond == 3 && s.System.ObeyRobots;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVornCrawlSettings settings;
    ApplyNewProjectSettings(settings);
    TConfigureModel model(settings);
    c.edit(model);
    model.TakeOver();
    EXPECT_TRUE(c.holds(settings));
  }
}

TEST_F(ProjectDialogs, CredentialServersMustUseTheirPagesScheme) {
  struct Case {
    TCredentialPage page;
    std::string typed;
    bool accepted;
    std::string result;  // the edit afterwards
  };
  const Case cases[] = {
      {ccHTTP, "https://secure.example.com/a", false, "https://secure.example.com/a"},
      {ccHTTP, "www.example.com/dir/page.html", true, "www.example.com"},
      {ccHTTP, "http://www.example.com:8080/x?q", true, "http://www.example.com:8080"},
      {ccHTTPS, "www.example.com", false, "www.example.com"},
      {ccHTTPS, "HTTPS://Secure.example.com/", true, "https://Secure.example.com"},
      {ccFTP, "http://files.example.com", false, "http://files.example.com"},
      {ccFTP, "ftp://files.example.com/pub/", true, "ftp://files.example.com"},
      {ccFTP, "", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    TConfigureModel model(m_settings);
    model.Credentials[c.page].AddEntry();
    std::string text = c.typed;
    const size_t asked = m_dialogs->Questions().size();
    EXPECT_EQ(model.LeaveServerEdit(c.page, text), c.accepted);
    EXPECT_EQ(text, c.result);
    EXPECT_EQ(m_dialogs->Questions().size(), asked + (c.accepted ? 0 : 1));
    if (!c.accepted) {
      EXPECT_NE(m_dialogs->Questions().back().text.find("\n\rTry using "), std::string::npos);
    }
    model.TakeOver();
    TAuthorizations* lists[] = {&m_settings.Passwords.HTMLAuth, &m_settings.Passwords.HTTPAuth,
                                &m_settings.Passwords.HTTPSAuth, &m_settings.Passwords.FTPAuth};
    EXPECT_EQ(lists[c.page]->Items(lists[c.page]->Count() - 1).Address, c.accepted ? c.result : "");
  }
}

TEST_F(ProjectDialogs, WizardPagesFollowTheirTables) {
  using P = std::vector<TWizardPage>;
  struct Case {
    const char* name;
    TWizardModel model;
    P forward;
  };
  const Case cases[] = {
      {"new, with templates",
       TWizardModel::NewProject(true, false),
       {wpWelcome, wpAddress, wpTemplate, wpLevel, wpFileTypes, wpLocation, wpNextStep}},
      {"new, without templates",
       TWizardModel::NewProject(false, false),
       {wpWelcome, wpAddress, wpLevel, wpFileTypes, wpLocation, wpNextStep}},
      {"existing project",
       TWizardModel::ForProject(m_settings),
       {wpWelcome, wpAddress, wpLevel, wpFileTypes, wpLocation, wpNextStep}},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.name);
    TWizardModel& m = c.model;
    m.Address = "http://www.example.com/docs/index.html";
    P seen, back;
    for (;;) {
      seen.push_back(m.Page());
      EXPECT_EQ(m.BackEnabled(), m.Page() != wpWelcome);
      EXPECT_EQ(m.TitleBarVisible(), m.Page() != wpWelcome);
      EXPECT_EQ(m.FinishVisible(), m.Page() == wpNextStep);
      EXPECT_EQ(m.NavigationVisible(), m.Page() != wpNextStep);
      if (m.Page() == wpNextStep) break;
      m.Next();
    }
    EXPECT_EQ(seen, c.forward);
    for (;;) {
      back.insert(back.begin(), m.Page());
      if (m.Page() == wpWelcome) break;
      m.Back();
    }
    EXPECT_EQ(back, c.forward);
  }
}

TEST_F(ProjectDialogs, WizardAddressPageAndLocationLabels) {
  TWizardModel m = TWizardModel::NewProject(false, true);
  EXPECT_EQ(m.NextStep, wnDownloadNow);
  m.Next();
  for (const char* address :
       {"http://", "http://localhost/", "www.example.com", "mailto:a@b.c.d"}) {
    m.Address = address;
    EXPECT_FALSE(m.NextEnabled()) << address;
  }
  m.Address = "http://www.example.com/docs/a/index.html";
  EXPECT_TRUE(m.NextEnabled());
  EXPECT_EQ(m.ServerLabel(), "http://www.example.com");
  EXPECT_EQ(m.FolderLabel(), "http://www.example.com/docs/a/");
}

TEST_F(ProjectDialogs, TheTwoWizardsReadTheirFileTypeBoxesOppositely) {
  struct Case {
    bool existing;
    bool skip;
    bool graphics, audio, video, archive;
    // Download afterwards: images, audio, video, archive (text always downloads)
    bool images, audioOut, videoOut, archiveOut;
  };
  const Case cases[] = {
      {false, true, true, false, false, false, true, false, false, false},
      {true, true, true, false, false, false, false, true, true, true},
      {false, false, false, false, false, false, true, true, true, true},
      {true, false, true, true, true, true, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.existing ? "project wizard" : "new-project wizard");
    TVornCrawlSettings settings;
    ApplyNewProjectSettings(settings);
    settings.FilterTextFiles.Download = false;
    TWizardModel m =
        c.existing ? TWizardModel::ForProject(settings) : TWizardModel::NewProject(false, false);
    m.Address = "http://www.example.com/";
    m.Name = "Site";
    m.SkipTypes = c.skip;
    m.Graphics = c.graphics, m.Audio = c.audio, m.Video = c.video, m.Archive = c.archive;
    m.Location = wlAnyLocation;
    m.Apply(settings);
    EXPECT_TRUE(settings.FilterTextFiles.Download);
    EXPECT_EQ(settings.FilterImagesFiles.Download, c.images);
    EXPECT_EQ(settings.FilterAudioFiles.Download, c.audioOut);
    EXPECT_EQ(settings.FilterVideoFiles.Download, c.videoOut);
    EXPECT_EQ(settings.FilterArchiveFiles.Download, c.archiveOut);
    EXPECT_EQ(settings.FilterVideoFiles.FileLocation, fflAySite);
    EXPECT_EQ(settings.General.ProjectName(), "Site");
  }
}

TEST_F(ProjectDialogs, ProjectWizardStartsFromTheProjectAndFinishesWithoutChanges) {
  // New-project defaults: images download, audio and video do not.
  TWizardModel m = TWizardModel::ForProject(m_settings);
  EXPECT_TRUE(m.SkipTypes);
  EXPECT_FALSE(m.Graphics);
  EXPECT_TRUE(m.Audio && m.Video);
  EXPECT_EQ(m.Location, wlStartingServer);
  const std::string before = SettingsText(m_settings);
  m.Apply(m_settings);
  EXPECT_EQ(SettingsText(m_settings), before);

  struct Case {
    TFileFiltersLocation text, others;
    TWizardLocation shown;
  };
  for (const Case& c : {Case{fflAySite, fflAySite, wlAnyLocation},
                        Case{fflStartingDirectory, fflStartingDirectory, wlStartingUrl},
                        Case{fflAySite, fflStartingDirectory, wlStartingServer}}) {
    for (auto* f : {&m_settings.FilterImagesFiles, &m_settings.FilterVideoFiles,
                    &m_settings.FilterAudioFiles, &m_settings.FilterArchiveFiles}) {
      f->FileLocation = c.others;
    }
    m_settings.FilterTextFiles.FileLocation = c.text;
    EXPECT_EQ(TWizardModel::ForProject(m_settings).Location, c.shown);
  }
}

TEST_F(ProjectDialogs, ClosingAWizardAsksOnlyWithTheSwitchOn) {
  TVornConfirmations confirmations;
  const TWizardModel m = TWizardModel::NewProject(true, false);
  EXPECT_TRUE(m.ConfirmClose(confirmations));
  EXPECT_TRUE(m_dialogs->Questions().empty());
  confirmations.QuittingWizard = true;
  m_dialogs->messageAnswers = {mrNo, mrYes};
  EXPECT_FALSE(m.ConfirmClose(confirmations));
  EXPECT_TRUE(m.ConfirmClose(confirmations));
  EXPECT_EQ(m_dialogs->Questions().at(0).text, "Do you want to close Wizard ?");
}

TEST(Statistics, CountsAndSharesOfEachList) {
  TVornDownload engine;
  ApplyNewProjectSettings(engine.Settings());
  TProjectStatistics empty = ReadStatistics(engine);
  EXPECT_EQ(empty.Total, 0);
  EXPECT_EQ(PagesText(empty.Total), "0 pages");
  EXPECT_EQ(
      empty.DownloadedPercent + empty.QueuedPercent + empty.FailedPercent + empty.IgnoredPercent,
      0);

  // Halves go to the even neighbour: 1 of 8 is 12.5 %, 3 of 8 is 37.5 %.
  const struct {
    int count, total, percent;
  } shares[] = {{1, 8, 12}, {3, 8, 38}, {1, 3, 33}, {2, 3, 67}, {0, 0, 0}, {5, 5, 100}};
  for (const auto& s : shares) EXPECT_EQ(SharePercent(s.count, s.total), s.percent);
}

TEST_F(ProjectDialogs, UncheckingImagesInThePropertiesIgnoresTheNextCrawlsImages) {
  HttpTestServer server;
  server.Route("/", [](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n",
                                  "<img src=\"logo.gif\"><a href=\"mailto:me@example.com\">m</a>"));
  });
  TVornOptions options;
  TVornDownload engine;
  ApplyNewProjectSettings(engine.Settings());
  engine.SetVornOptions(&options);
  engine.SetDispatchInterval(0);
  engine.General().BaseUrl = server.Url("/");

  TConfigureModel model(engine.Settings());
  model.ToggleNode(cpImages);
  model.TakeOver();
  engine.StartDownload();
  ASSERT_TRUE(RunUntil([&] { return engine.State() == edsReady; }, Millis(20000)));

  ASSERT_EQ(engine.IgnoredLinks().Count(), 1);
  EXPECT_EQ(engine.IgnoredLinks().Get(0)->GetUrl(), server.Url("/logo.gif"));
  EXPECT_EQ(engine.IgnoredLinks().Get(0)->Reason, kReasonNoFilter);
  const TProjectStatistics s = ReadStatistics(engine);
  EXPECT_EQ(s.Total, 2);
  EXPECT_EQ(s.Emails, 1);
  EXPECT_EQ(s.DownloadedPercent, 50);
  EXPECT_EQ(s.IgnoredPercent, 50);
}

}  // namespace
}  // namespace tq::test
