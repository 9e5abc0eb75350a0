// The application settings file: defaults, how values are read, lists written whole, a full
// round trip, damaged files, reopened projects and the recent projects list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/mem_ini_file.h"
#include "options/options.h"
#include "options/recent_projects.h"
#include "support/source_paths.h"
#include "support/temp_env.h"

namespace tq {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

// Every key of the file at a value other than its default, as the options write it.
std::string GoldenFile() {
  return ReadFile(std::string(TQ_TEST_DATA_DIR) + "/config.dat");
}

// Options over a file in a temporary folder, with the recent list wired as the main window
// wires it, and HOME pointed at the folder.
class OptionsFile : public ::testing::Test {
 protected:
  OptionsFile() {
    m_env.IsolateHome(m_dir.Path());
    Wire(m_options);
  }
  void Wire(TVornOptions& options) {
    options.OnLoadMRU = [this](const TVornCustomIniFile& ini) { m_recent.LoadFromIni(ini); };
    options.OnSaveMRU = [this](TVornCustomIniFile& ini) { m_recent.SaveToIni(ini); };
  }
  std::string Text(const TVornOptions& options) const {
    TVornMemIniFile scratch("");
    options.SaveToIni(scratch);
    return scratch.GetText();
  }

  TTempDir m_dir;
  test::TEnvOverride m_env;
  std::string m_file = m_dir / "config.dat";
  TRecentProjects m_recent;
  TVornOptions m_options{m_file};
};

TEST_F(OptionsFile, MissingFileGivesTheDefaultsAndIsCreatedByTheFirstSave) {
  m_options.LoadOptions();
  EXPECT_FALSE(std::filesystem::exists(m_file)) << "loading never writes";
  const TVornOptions& o = m_options;
  EXPECT_EQ(o.InternetConnection.AgentIdentify, Eait50);
  EXPECT_EQ(o.ProxyHTTP.Port, 1080);
  EXPECT_EQ(o.ProxyFTP.Port, 1080);
  EXPECT_EQ(o.InternetDialUp.RetryBrokenConnection, 99);
  EXPECT_EQ(o.InternetDialUp.IntervalBetweenRetries, 10);
  EXPECT_EQ(o.Directories.DiskSpaceLimit, 5000);
  EXPECT_EQ(o.Directories.DownDirectory, (m_dir.Path() / "Documents").string());
  EXPECT_EQ(o.Integration.ClipboardFilter, "zip;arj;rar;mp3;mpeg;mpg");
  for (bool on :
       {o.Integration.IntegrateIE, o.Integration.WhenAddStartDownload,
        o.InternetConnection.UseMSIECookies, o.InternetConnection.AllowLocalConnectionOnly.load(),
        o.Confirmation.ClosingDoc, o.Confirmation.ClosingApp, o.Confirmation.QuittingWizard,
        o.Confirmation.DeletingFiles, o.Confirmation.HaggingConnection,
        o.Confirmation.BaseUrlChanged}) {
    EXPECT_TRUE(on);
  }
  EXPECT_EQ(o.ExtBrowsers.Count(), 0);

  m_options.SaveOptions();
  struct stat st {};
  ASSERT_EQ(::stat(m_file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds passwords";
}

TEST_F(OptionsFile, ValuesAreReadByTheirKindsRules) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    const char* read;  // as the options write the value they read
  };
  const Case cases[] = {
      // Booleans are true only at exactly 1; an unreadable value gives the default.
      {"FInternetDialUP", "FEnabled", "2", "0"},
      {"FInternetDialUP", "FEnabled", "yes", "0"},
      {"FIntegration", "FIntegrateIE", "2", "0"},
      {"FIntegration", "FIntegrateIE", "yes", "1"},
      {"FHTMLCompiler", "FFullSearch", "2", "1"},
      {"FVornTroubleShooter", "nocard", "2", "1"},
      // Byte- and word-sized values keep their low bits.
      {"FInternetDialUP", "FRetryBroken", "300", "44"},
      {"FInternetConnection", "FAgentIdentify", "264", "8"},
      {"FProxyHTTP", "FVersion", "-1", "255"},
      {"FExtBrowsers", "0FHotKey", "65601", "65"},
      {"FExtBrowsers", "0FWindowStyle", "$1FF", "255"},
      // The disk limit is a 32-bit value widened with its sign.
      {"FDirectories", "FDiskSpaceLimit", "$FFFFFFFE", "-2"},
      {"FDirectories", "FDiskSpaceLimit", "4294967295", "5000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "." + c.key + "=" + c.value);
    TVornMemIniFile file("");
    file.SetText("[" + std::string(c.section) + "]\r\nCount_=1\r\n" + c.key + "=" + c.value);
    TVornOptions options("");
    options.LoadFromIni(file);
    TVornMemIniFile written("");
    options.SaveToIni(written);
    EXPECT_EQ(written.ReadString(c.section, c.key, "<none>"), c.read);
  }
}

TEST_F(OptionsFile, EveryKeyRoundTripsThroughTheFile) {
  WriteFile(m_file, GoldenFile());
  m_options.LoadOptions();
  EXPECT_EQ(m_options.ExtBrowsers.Items(1).File, "/opt/text browser/lynx");
  EXPECT_EQ(m_options.Directories.DiskSpaceLimit, -1);
  EXPECT_EQ(m_recent.Items(), (std::vector<std::string>{"/p/a.web", "/p/b.web"}));
  EXPECT_EQ(Text(m_options), GoldenFile());

  // Written into a new file by a save, the same bytes.
  TVornMemIniFile golden("");
  golden.SetText(GoldenFile());
  TVornOptions copy((m_dir.Path() / "new" / "config.dat").string());
  Wire(copy);
  copy.LoadFromIni(golden);
  copy.SaveOptions();
  EXPECT_EQ(ReadFile(copy.ConfigFile()), GoldenFile());
}

TEST_F(OptionsFile, ListSectionsAreWrittenWhole) {
  for (int i = 0; i < 5; ++i) m_options.ExtBrowsers.Add().Caption = "b" + std::to_string(i);
  m_options.SaveOptions();
  m_options.ExtBrowsers.Delete(4);
  m_options.ExtBrowsers.Delete(3);
  m_options.ExtBrowsers.Delete(2);
  m_options.SaveOptions();

  TVornMemIniFile file(m_file);
  std::vector<std::string> keys;
  file.ReadSection("FExtBrowsers", keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"Count_", "0FCaption", "0FEnabled", "0FFile",
                                            "0FHotKey", "0FWindowStyle", "1FCaption", "1FEnabled",
                                            "1FFile", "1FHotKey", "1FWindowStyle"}));
}

TEST_F(OptionsFile, DamagedFileLoadsWhatIsReadableAndKeepsItsBytesUntilAChange) {
  std::string damaged = std::string("\x00\x01\xff\xfe noise\r\n", 12) +
                        "[FInternetConnection]\r\nFAgentIdentify=3\r\nFUseMSIECookies=0\r\n"
                        "FAllowLocalConnection" +  // a line cut short
                        "\r\n[FProxyHTTP]\r\nFAddress=proxy\rFVersion=2\r\nFPort=80\n80\r\n"
                        "[FExtBrowsers]\r\nCount_=2000000000\r\n0FCaption=x\xa4\x01y\r\n" +
                        std::string("\x1b[2J\x00\x00\xff", 7);
  WriteFile(m_file, damaged);
  m_options.LoadOptions();
  EXPECT_EQ(m_options.InternetConnection.AgentIdentify, EaitNetscape30);
  EXPECT_FALSE(m_options.InternetConnection.UseMSIECookies);
  EXPECT_TRUE(m_options.InternetConnection.AllowLocalConnectionOnly);
  EXPECT_EQ(m_options.ProxyHTTP.Address, "proxy");
  EXPECT_EQ(m_options.ProxyHTTP.Version, svSocks4A);
  EXPECT_EQ(m_options.ProxyHTTP.Port, 80);
  ASSERT_EQ(m_options.ExtBrowsers.Count(), 3) << "a count cut to the section's lines";
  EXPECT_EQ(m_options.ExtBrowsers.Items(0).Caption, "x\xa4\x01y");

  m_options.SaveOptions();
  EXPECT_EQ(ReadFile(m_file), damaged);

  m_options.ProxyHTTP.Port = 8080;
  m_options.SaveOptions();
  TVornOptions reread(m_file);
  Wire(reread);
  reread.LoadOptions();
  EXPECT_EQ(reread.ProxyHTTP.Port, 8080);
  EXPECT_EQ(reread.InternetConnection.AgentIdentify, m_options.InternetConnection.AgentIdentify);
  EXPECT_EQ(Text(reread), Text(m_options));
}

TEST_F(OptionsFile, AutoSavedProjectsAreReopenedOnceInOrder) {
  WriteFile(
      m_file,
      "[FAutoSaved]\r\nCount=3\r\nFile0=/p/one.web\r\nFile1=/p/bad.web\r\nFile2=/p/two.web\r\n");
  std::vector<std::string> opened;
  m_options.OnDocNeedToOpen = [&](const std::string& file) {
    opened.push_back(file);
    if (file == "/p/bad.web") throw EVornError("cannot open");
  };
  m_options.LoadOptions();
  EXPECT_EQ(opened, (std::vector<std::string>{"/p/one.web", "/p/bad.web", "/p/two.web"}));
  EXPECT_EQ(m_options.InternetDisconnect.AutoSavedDocs.Count(), 0);

  m_options.SaveOptions();  // the reopening is a change of its own
  TVornMemIniFile file(m_file);
  EXPECT_EQ(file.ReadString("FAutoSaved", "Count", "?"), "0");
  EXPECT_EQ(file.ReadString("FAutoSaved", "File0", "none"), "none");
}

TEST_F(OptionsFile, SaveReportsAFileThatCannotBeWritten) {
  WriteFile(m_dir / "plain", "x");
  TVornOptions options((m_dir.Path() / "plain" / "config.dat").string());
  options.LoadOptions();
  try {
    options.SaveOptions();
    ADD_FAILURE() << "saved";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + options.ConfigFile());
  }
}

TEST(RecentProjects, NewestFirstAtMostTenKnownPathsKeepTheirPlace) {
  TRecentProjects recent;
  for (int i = 0; i < 11; ++i) recent.Add("/p/" + std::to_string(i) + ".web");
  ASSERT_EQ(recent.Items().size(), 10u);
  EXPECT_EQ(recent.Items().front(), "/p/10.web");
  EXPECT_EQ(recent.Items().back(), "/p/1.web") << "the oldest dropped";
  recent.Add("/p/5.web");
  EXPECT_EQ(recent.Items()[5], "/p/5.web");
  recent.Remove("/p/5.web");
  EXPECT_EQ(recent.Items().size(), 9u);

  TVornMemIniFile ini("");
  ini.SetText("[Recent]\r\nCount=3\r\nFile0=/a.web\r\nFile1=\r\nFile2=/c.web\r\n");
  recent.LoadFromIni(ini);
  EXPECT_EQ(recent.Items(), (std::vector<std::string>{"/a.web", "/c.web"}));
  recent.SaveToIni(ini);
  EXPECT_EQ(ini.GetText(), "[Recent]\r\nCount=2\r\nFile0=/a.web\r\nFile1=/c.web\r\n\r\n");
}

}  // namespace
}  // namespace tq
