// Crawl settings: the three sets of values (fresh object, new project, missing keys), the stored
// form and its round trip, template mode, and the credential lookup with its login prompt.
#include "engine/crawl_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/main_loop.h"
#include "foundation/mem_ini_file.h"
#include "support/fake_dialog_service.h"

namespace tq {
namespace {

std::string Flag(bool b) {
  return b ? "1" : "0";
}

std::string Keywords(const TCheckStrings& list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    text += list.Items(i).Value + (list.Items(i).Checked ? "+" : "-") + ";";
  }
  return text;
}

std::string Filter(const TVornFileFilters& f) {
  return Flag(f.Download) + std::to_string(f.FileLocation) + std::to_string(f.FileExtensionsUsage) +
         " " + Keywords(f.FileExtensions) + " min " + std::to_string(f.FileMinSize.Size) +
         Flag(f.FileMinSize.Enabled) + " max " + std::to_string(f.FileMaxSize.Size) +
         Flag(f.FileMaxSize.Enabled) + " usage " + std::to_string(f.FileSizeUsage);
}

std::string Rules(const TVornRules& r) {
  return Flag(r.Enabled) + " " + Keywords(r.IncludedKeywords) + "/" + Keywords(r.ExcludedKeywords);
}

struct TColumnCase {
  const char* setting;
  std::function<std::string(const TVornCrawlSettings&)> read;
  std::string atCreation;
  std::string newProject;
  std::string missing;
};

const std::vector<TColumnCase>& ColumnCases() {
  using S = TVornCrawlSettings;
  static const std::vector<TColumnCase> cases = {
      {"ProjectName", [](const S& s) { return s.General.ProjectName(); }, "Untitled", "Untitled",
       "Untitled"},
      {"BaseUrl", [](const S& s) { return s.General.BaseUrl; }, "http://", "http://", ""},
      {"LevelLimit", [](const S& s) { return std::to_string(s.General.LevelLimit); }, "0", "5",
       "0"},
      // On in files saved before the setting existed too.
      {"PageRequisites", [](const S& s) { return Flag(s.General.PageRequisites); }, "1", "1", "1"},
      {"ThreadsCount", [](const S& s) { return std::to_string(s.System.ThreadsCount); }, "5", "5",
       "5"},
      {"RetriesOnFailed", [](const S& s) { return std::to_string(s.System.RetriesOnFailed); }, "3",
       "3", "0"},
      {"Build flags",
       [](const S& s) {
         return Flag(s.System.BuildAllTree()) + Flag(s.System.BuildIgnored()) +
                Flag(s.System.BuildEmails());
       },
       "111", "111", "111"},
      {"Passwords",
       [](const S& s) {
         return std::to_string(s.Passwords.NewPassAction) + Flag(s.Passwords.AutoAdd) +
                Flag(s.Passwords.Enabled);
       },
       "101", "101", "001"},
      {"LinksTranslation",
       [](const S& s) {
         return std::to_string(s.LinksTranslation.Followed) +
                std::to_string(s.LinksTranslation.UnFollowed) + Flag(s.LinksTranslation.Enabled);
       },
       "211", "211", "001"},
      // New projects' lists go on with the types sites use today.
      {"Text filter", [](const S& s) { return Filter(s.FilterTextFiles); },
       "100  min 00 max 00 usage 0",
       "100 asp+;cfm+;cgi+;js+;php+;php3+;css+;htm+;html+;pl+;mjs+;json+;woff+;woff2+;ttf+;otf+; "
       "min 00 max 201 usage 0",
       "100  min 01 max 01 usage 0"},
      {"Video filter", [](const S& s) { return Filter(s.FilterVideoFiles); },
       "100  min 00 max 00 usage 0", "000 avi+;mpeg+;mp4+;webm+; min 00 max 00 usage 0",
       "100  min 01 max 01 usage 0"},
      {"TagsSensibility", [](const S& s) { return s.TagsRecognition.TagsSensibility.to_string(); },
       "0111111011111111111111111", "0111111111111111111111111", std::string(25, '0')},
      {"Recognition",
       [](const S& s) {
         return s.TagsRecognition.Recognition.to_string() +
                std::to_string(s.TagsRecognition.RecognitionMode) +
                Flag(s.TagsRecognition.StyleLinks);
       },
       "11100", "11101", "00000"},
      {"DirectoryRules",
       [](const S& s) {
         return std::to_string(s.DirectoryRules.DirectoryRules) + Rules(s.DirectoryRules);
       },
       "00 /", "01 /", "01 /"},
      {"FileRules",
       [](const S& s) { return std::to_string(s.FileRules.FileRules) + Rules(s.FileRules); },
       "00 /", "00 /", "01 /"},
      {"ServerRules",
       [](const S& s) {
         const TVornServerRules& r = s.ServerRules;
         return std::to_string(r.ServerRules) + Flag(r.FollowApropiateDomains) + Flag(r.HTTP) +
                Flag(r.HTTPS) + Flag(r.FTP) + Rules(r);
       },
       "000000 /", "000000 /", "000001 /"},
  };
  return cases;
}

TEST(CrawlSettings, CreationNewProjectAndMissingKeysEachHaveTheirOwnValues) {
  TVornCrawlSettings created;
  TVornCrawlSettings fresh;
  ApplyNewProjectSettings(fresh);
  TVornCrawlSettings missing;
  ApplyNewProjectSettings(missing);
  missing.LoadFromIni(TVornMemIniFile("unused.dat"), false);
  for (const auto& c : ColumnCases()) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(c.read(created), c.atCreation);
    EXPECT_EQ(c.read(fresh), c.newProject);
    EXPECT_EQ(c.read(missing), c.missing);
  }
}

// Every setting away from its defaults, so a key that is not written or read back shows.
void SetEverything(TVornCrawlSettings& s) {
  ApplyNewProjectSettings(s);
  s.General.SetProjectName("Site");
  s.General.BaseUrl = "http://h/docs/";
  s.General.LevelLimit = 7;
  s.General.PageRequisites = false;
  s.General.FileModificationCheck = fmcNotExisting;
  s.System.ThreadsPriority = tpHigher;
  s.System.ThreadsCount = 9;
  s.System.ConnectionTimeout = 30;
  s.System.RetriesOnFailed = 1;
  s.System.MaxRequestsPerSecond = 4;
  s.System.ObeyRobots = true;
  s.System.SetBuildAllTree(false);
  s.System.SetBuildEmails(false);
  s.Passwords.NewPassAction = eaUseDefault;
  s.Passwords.AutoAdd = true;
  s.Passwords.DefaultLogin = {"http://h", "me", "pw", true};
  s.Passwords.FTPAuth.Add() = {"ftp://f", "u", "p", true};
  s.Passwords.HTMLAuth.Add() = {"http://x", "a", "b", false};
  s.LinksTranslation = {eltNone, EltOffline, false};
  s.FilterAudioFiles.FileLocation = fflAySite;
  s.FilterAudioFiles.FileExtensions.Items(1).Checked = false;
  s.FilterAudioFiles.FileExtensionsUsage = ffeSelected;
  s.FilterAudioFiles.FileMinSize = {3, true};
  s.FilterAudioFiles.FileSizeUsage = ffsSelected;
  s.TagsRecognition.TagsSensibility.reset(eptForm);
  s.TagsRecognition.Recognition.reset(ertJava);
  s.TagsRecognition.RecognitionMode = erBasic;
  s.DirectoryRules.DirectoryRules = edrKeywords;
  s.DirectoryRules.IncludedKeywords.SetText("docs;api;");
  s.FileRules.FileRules = efrKeywords;
  s.FileRules.ExcludedKeywords.SetText("tmp;");
  s.ServerRules.ServerRules = esrStartingProtocolAnd;
  s.ServerRules.FollowApropiateDomains = true;
  s.ServerRules.HTTPS = true;
  s.ServerRules.Enabled = true;
}

TEST(CrawlSettings, SavedAndReloadedSettingsAreIdentical) {
  TVornCrawlSettings original;
  SetEverything(original);
  TVornMemIniFile first("unused.dat");
  original.SaveToIni(first, false);

  TVornCrawlSettings reloaded;
  reloaded.LoadFromIni(first, false);
  TVornMemIniFile second("unused.dat");
  reloaded.SaveToIni(second, false);
  EXPECT_EQ(second.GetText(), first.GetText());
  for (const auto& c : ColumnCases()) EXPECT_EQ(c.read(reloaded), c.read(original)) << c.setting;
  EXPECT_EQ(reloaded.Passwords.DefaultLogin.User, "me");
  EXPECT_EQ(reloaded.Passwords.FTPAuth.Count(), 1);

  std::vector<std::string> sections;
  first.ReadSections(sections);
  EXPECT_EQ(sections,
            (std::vector<std::string>{
                "FGeneral", "FSystem", "FPasswords", "FHTMLAuth", "FHTTPAuth", "FHTTPSAuth",
                "FFTPAuth", "FLinksTranslation", "FFilterTextFiles", "FFilterImagesFiles",
                "FFilterVideoFiles", "FFilterAudioFiles", "FFilterArchiveFiles", "FTagsRecognition",
                "FDirectoryRules", "FFileRules", "FServerRules"}));
  std::vector<std::string> keys;
  first.ReadSection("FServerRules", keys);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"Enabled", "IncludedFilterValues", "IncludedFilterChecked",
                                      "ExcludedFilterValues", "ExcludedFilterChecked", "FFAD",
                                      "FHTTP", "FHTTPS", "FFTP", "FServerRules"}));
}

TEST(CrawlSettings, TemplateModeKeepsTheProjectsNameAndStartingAddress) {
  TVornCrawlSettings source;
  SetEverything(source);
  TVornMemIniFile templateFile("unused.etpl");
  source.SaveToIni(templateFile, true);
  EXPECT_EQ(templateFile.ReadString("FGeneral", "FProjectName", "none"), "none");
  EXPECT_EQ(templateFile.ReadString("FGeneral", "FBaseUrl", "none"), "none");

  TVornCrawlSettings project;
  ApplyNewProjectSettings(project);
  project.General.SetProjectName("Mine");
  project.General.BaseUrl = "http://mine/";
  project.LoadFromIni(templateFile, true);
  EXPECT_EQ(project.General.ProjectName(), "Mine");
  EXPECT_EQ(project.General.BaseUrl, "http://mine/");
  EXPECT_EQ(project.General.LevelLimit, 7);
  EXPECT_EQ(project.TagsRecognition.RecognitionMode, erBasic);
}

TEST(CrawlSettings, StoredValuesAreTakenAsWritten) {
  TVornMemIniFile ini("unused.dat");
  ini.SetText(
      "[FSystem]\nFThreadsCount=261\nFRetriesOnFailed=-1\nFBuildIgnored=2\n"
      "[FTagsRecognition]\nFTagsSensibility=111\nFRecognition=1x1\nFRecognitionMode=7\n");
  TVornCrawlSettings s;
  s.System.MaxRequestsPerSecond = 3;
  s.System.ObeyRobots = true;
  s.LoadFromIni(ini, false);
  // A file older than the politeness settings loads without either.
  EXPECT_EQ(s.System.MaxRequestsPerSecond, 0);
  EXPECT_FALSE(s.System.ObeyRobots);
  EXPECT_EQ(s.System.ThreadsCount, 5);  // low 8 bits of 261
  EXPECT_EQ(s.System.RetriesOnFailed, 255);
  EXPECT_TRUE(s.System.BuildIgnored());
  EXPECT_EQ(s.TagsRecognition.TagsSensibility.to_ulong(), 0b111u);  // anchor, applet, area
  EXPECT_EQ(s.TagsRecognition.Recognition.to_string(), "101");
  EXPECT_EQ(s.TagsRecognition.RecognitionMode, 7);  // out of range stays as read

  ini.SetText("[FTagsRecognition]\nFTagsSensibility=" + std::string(30, '1') + "\n");
  s.LoadFromIni(ini, false);
  EXPECT_FALSE(s.TagsRecognition.TagsSensibility.test(eptUnknown));
  EXPECT_TRUE(s.TagsRecognition.TagsSensibility.test(eptTH));
}

TEST(CrawlSettings, LoadingRaisesOnlyTheNameHook) {
  TVornCrawlSettings s;
  std::vector<std::string> raised;
  s.General.OnProjectNameChange = [&](TGeneral&, const std::string& name) {
    raised.push_back("name " + name);
  };
  s.System.OnBuildIgnoredChange = [&](bool v) { raised.push_back("ignored " + Flag(v)); };
  TVornMemIniFile ini("unused.dat");
  ini.SetText("[FGeneral]\nFProjectName=\n[FSystem]\nFBuildIgnored=0\n");
  s.LoadFromIni(ini, false);
  EXPECT_FALSE(s.System.BuildIgnored());
  s.System.SetBuildIgnored(true);
  EXPECT_EQ(raised, (std::vector<std::string>{"name Untitled", "ignored 1"}));
}

// --- credentials ---

struct TLookupCase {
  const char* name;
  bool enabled;
  TVornAuthAction action;
  const char* url;
  std::string expectedUser;
};

void PrintTo(const TLookupCase& c, std::ostream* os) {
  *os << c.name;
}

class CredentialLookup : public ::testing::TestWithParam<TLookupCase> {};

TEST_P(CredentialLookup, ChoosesListDefaultOrNothing) {
  const TLookupCase& c = GetParam();
  TVornPasswords p;
  p.Enabled = c.enabled;
  p.NewPassAction = c.action;
  p.DefaultLogin = {"", "default", "dpw", true};
  p.HTTPAuth.Add() = {"http://h/x", "web", "w", true};
  p.HTTPAuth.Add() = {"http://off", "disabled", "d", false};
  p.FTPAuth.Add() = {"ftp://f", "ftpuser", "f", true};
  EXPECT_EQ(p.LookupCredentials(c.url, false).User, c.expectedUser);
  EXPECT_EQ(p.Current().User, c.expectedUser);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CredentialLookup,
    ::testing::Values(
        TLookupCase{"entry", true, eaPrompt, "http://h/a/b.html", "web"},
        TLookupCase{"disabledSendsNothing", false, eaUseDefault, "http://h/a", ""},
        TLookupCase{"disabledEntrySkipped", true, eaUseDefault, "http://off/", "default"},
        TLookupCase{"ftpOnlyInFtpList", true, eaPrompt, "ftp://h/a", ""},
        TLookupCase{"ftpEntry", true, eaPrompt, "ftp://f/pub/a.zip", "ftpuser"},
        TLookupCase{"httpsNotInHttpList", true, eaUseDefault, "https://h/x", "default"},
        TLookupCase{"noPromptNoEntry", true, eaPrompt, "http://other/", ""}),
    [](const auto& param) { return std::string(param.param.name); });

class CredentialPrompt : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dialogs = std::make_shared<test::TFakeDialogService>();
    SetDialogService(m_dialogs);
  }
  void TearDown() override { SetDialogService(nullptr); }

  // Runs the lookup on a transfer-like thread while this (interface) thread keeps its loop going.
  TAuthorization LookupFromWorker(TVornPasswords& p, const std::string& url) {
    TAuthorization result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      result = p.LookupCredentials(url, true);
      done = true;
    });
    EXPECT_TRUE(RunUntil([&] { return done.load(); }));
    worker.join();
    return result;
  }

  std::shared_ptr<test::TFakeDialogService> m_dialogs;
};

TEST_F(CredentialPrompt, AsksOnTheInterfaceThreadAndReturnsTheAnswer) {
  TVornPasswords p;
  p.HTTPAuth.Add() = {"http://other", "known", "k", true};
  m_dialogs->loginAnswers.push_back({true, "typed", "secret", true, false});
  const TAuthorization got = LookupFromWorker(p, "http://h:8080/a/b.html");
  EXPECT_EQ(got.User, "typed");
  EXPECT_EQ(got.Password, "secret");
  EXPECT_EQ(got.Address, "http://h:8080");
  EXPECT_TRUE(got.Enabled);
  const auto asked = m_dialogs->Questions();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, "login");
  EXPECT_EQ(asked[0].text, "http://h:8080");
  EXPECT_EQ(asked[0].thread, std::this_thread::get_id());
  // "Save the password": the next lookup for that server finds it without asking.
  ASSERT_EQ(p.HTTPAuth.Count(), 2);
  EXPECT_EQ(LookupFromWorker(p, "http://h:8080/c").User, "typed");
  EXPECT_EQ(m_dialogs->Questions().size(), 1u);
}

TEST_F(CredentialPrompt, DoNotPromptSwitchesToTheDefaultLoginAndCancelGivesNothing) {
  TVornPasswords p;
  p.DefaultLogin = {"", "default", "d", true};
  m_dialogs->loginAnswers.push_back({false, "ignored", "x", false, false});
  m_dialogs->loginAnswers.push_back({true, "once", "o", false, true});
  EXPECT_EQ(LookupFromWorker(p, "http://a/").User, "");
  EXPECT_EQ(LookupFromWorker(p, "http://b/").User, "once");
  EXPECT_EQ(p.NewPassAction, eaUseDefault);
  EXPECT_EQ(p.HTTPAuth.Count(), 0);
  EXPECT_EQ(LookupFromWorker(p, "http://c/").User, "default");
  EXPECT_EQ(m_dialogs->Questions().size(), 2u);
}

}  // namespace
}  // namespace tq
