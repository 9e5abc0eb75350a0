// The options dialog's logic: what opening and OK do to the options, the time checks, the
// identity, phonebook and browser pages, and the confirmation questions.
#include <gtest/gtest.h>

#include "dialogs/options_dialog_model.h"
#include "foundation/mem_ini_file.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

// The fake service, also keeping the titles of message boxes.
class TTitledDialogs : public test::TFakeDialogService {
 public:
  std::vector<std::string> titles;
  int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                     const std::string& title, int help) override {
    titles.push_back(title);
    return TFakeDialogService::ShowMessageDlg(text, icon, buttons, title, help);
  }
};

class OptionsDialog : public ::testing::Test {
 protected:
  OptionsDialog() { SetDialogService(m_dialogs); }
  ~OptionsDialog() override { SetDialogService(nullptr); }

  std::string Text() const {
    TVornMemIniFile scratch("");
    m_options.SaveToIni(scratch);
    return scratch.GetText();
  }

  std::shared_ptr<TTitledDialogs> m_dialogs = std::make_shared<TTitledDialogs>();
  TVornOptions m_options{""};
};

TEST_F(OptionsDialog, OkWithoutChangesStoresTheSameValues) {
  TVornMemIniFile file("");
  file.SetText(
      "[FInternetConnection]\r\nFAgentIdentify=200\r\n[FInternetDialUP]\r\nFConnection=Work\r\n"
      "[FInternetDisconnect]\r\nFDisconnectAtTime=2024-05-01 23:30:17.250\r\n"
      "[FProxyHTTP]\r\nFVersion=9\r\nFPort=65000\r\n[FDirectories]\r\nFDiskSpaceLimit=5000\r\n"
      "[FExtEditors]\r\nCount_=1\r\n0FCaption=ed\r\n[FExtBrowsers]\r\nCount_=1\r\n0FFile=/b\r\n");
  m_options.LoadFromIni(file);
  const std::string before = Text();
  TOptionsDialogModel model(m_options, {"Home", "Work"});
  TOptionsDialogModel::TFocus focus;
  ASSERT_TRUE(model.TakeOver(focus));
  EXPECT_EQ(Text(), before);
  EXPECT_TRUE(m_dialogs->Questions().empty());
}

TEST_F(OptionsDialog, TimeBoxesMustHoldATimeWhetherOrNotTheirSwitchIsOn) {
  const std::string disconnectMessage =
      "Invalid value entered into \"Disconnect at\" field !\r\nPlease use Hour:Minutes format";
  const std::string exitMessage =
      "Invalid value enetered for \"Exit at\" field !\r\nPlease use Hour:Minutes format";
  struct Case {
    const char* disconnect;
    const char* exit;
    TOptionsDialogModel::TFocus focus;
    std::string message;
  };
  const Case cases[] = {
      {"  :  ", "10:00", TOptionsDialogModel::efDisconnectAtTime, disconnectMessage},
      {"12:5 ", "10:00", TOptionsDialogModel::efDisconnectAtTime, disconnectMessage},
      {"10:00", "24:00", TOptionsDialogModel::efExitAtTime, exitMessage},
      {"10:00", "7:60", TOptionsDialogModel::efExitAtTime, exitMessage},
      {" 9:05", "7:30", TOptionsDialogModel::efNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.disconnect) + " / " + c.exit);
    TVornOptions options("");
    m_dialogs->titles.clear();
    TOptionsDialogModel model(options, {});
    model.DisconnectAt = false;
    model.DisconnectAtTime = c.disconnect;
    model.ExitAtTime = c.exit;
    model.UseMSIECookies = false;         // a page before the time checks
    model.ProxyHTTP.Address = "changed";  // a page after them
    TOptionsDialogModel::TFocus focus;
    EXPECT_EQ(model.TakeOver(focus), c.focus == TOptionsDialogModel::efNone);
    EXPECT_EQ(focus, c.focus);
    EXPECT_FALSE(options.InternetConnection.UseMSIECookies);
    EXPECT_EQ(options.ProxyHTTP.Address, c.message.empty() ? "changed" : "");
    if (c.message.empty()) {
      EXPECT_TRUE(m_dialogs->titles.empty());
      EXPECT_EQ(FormatTimeBox(options.InternetDisconnect.DisconnectAtTime), "09:05");
      EXPECT_EQ(FormatTimeBox(options.InternetDisconnect.ExitAtTime), "07:30");
    } else {
      EXPECT_EQ(m_dialogs->Questions().back().text, c.message);
      EXPECT_EQ(m_dialogs->titles, std::vector<std::string>{"Invalid Entry"});
    }
  }
}

TEST_F(OptionsDialog, PagesFillAndTakeOver) {
  test::TTempDir dir;
  m_options.InternetConnection.AgentIdentify = EaitCustom;
  m_options.InternetDialUp.Connection = "work line";
  m_options.Integration.ClipboardFilter = "zip;rar";
  TOptionsDialogModel model(m_options, {"Home", "WORK LINE"});
  EXPECT_FALSE(model.IdentifyAsListed);
  EXPECT_EQ(model.PhonebookIndex, 1) << "found without regard to case";
  EXPECT_EQ(model.ClipboardFilterLines, std::vector<std::string>{"zip;rar"});
  // A folder not made yet shows the space of the nearest folder above it.
  for (const std::string& missing :
       {std::string("/nonexistent-tq-folder"), (dir.Path() / "Documents/sites").string()})
    EXPECT_NE(FreeSpaceText(missing), "unknown") << missing;

  model.IdentifyAsListed = true;
  model.IdentityIndex = -1;  // "Identify as :" with nothing selected
  m_dialogs->folderAnswers = {dir.Path().string()};
  model.ChooseDownDirectory();
  model.ChooseDownDirectory();  // cancelled: the folder stays
  model.ClipboardFilterLines = {"zip", "mp3"};
  TOptionsDialogModel::TFocus focus;
  ASSERT_TRUE(model.TakeOver(focus));
  EXPECT_EQ(m_options.InternetConnection.AgentIdentify, 255);
  EXPECT_EQ(m_options.InternetConnection.GetAgentString(), "");
  EXPECT_EQ(m_options.InternetDialUp.Connection, "WORK LINE");
  EXPECT_EQ(m_options.Directories.DownDirectory, dir.Path().string());
  EXPECT_EQ(m_options.Integration.ClipboardFilter, "zip\r\nmp3");
  EXPECT_EQ(m_dialogs->Questions().front().text, "Choose destination folder");

  m_options.InternetDialUp.Connection = "gone";
  TOptionsDialogModel again(m_options, {"Home"});
  EXPECT_EQ(again.PhonebookIndex, -1);
  ASSERT_TRUE(again.TakeOver(focus));
  EXPECT_EQ(m_options.InternetDialUp.Connection, "") << "a connection no longer known";
}

TEST_F(OptionsDialog, BrowsersPageEditsACopyThatOkWritesBack) {
  m_options.ExtBrowsers.Add() = {"Chromium", "/usr/bin/chromium", 0, 1, true};
  m_options.ExtViewers.Add().Caption = "viewer";
  TOptionsDialogModel model(m_options, {});
  TUtilityAppsEditor& page = model.Browsers;
  EXPECT_FALSE(page.BoxesEnabled());
  page.Add();
  EXPECT_TRUE(page.BoxesEnabled());
  page.ChooseFile("/opt/text browser/lynx");
  EXPECT_EQ(page.CaptionBox(), "lynx") << "an empty caption takes the file's name";
  page.EditHotKey(0x4142);
  page.SetChecked(1, true);
  page.Select(0);
  EXPECT_EQ(page.FileBox(), "/usr/bin/chromium");
  page.Remove();
  EXPECT_FALSE(page.BoxesEnabled());
  EXPECT_EQ(page.CaptionBox(), "");
  EXPECT_EQ(m_options.ExtBrowsers.Items(0).Caption, "Chromium") << "nothing written before OK";

  TOptionsDialogModel::TFocus focus;
  ASSERT_TRUE(model.TakeOver(focus));
  ASSERT_EQ(m_options.ExtBrowsers.Count(), 1);
  const TVornUtilityApp& lynx = m_options.ExtBrowsers.Items(0);
  EXPECT_EQ(std::tie(lynx.Caption, lynx.File, lynx.HotKey, lynx.Enabled),
            std::make_tuple("lynx", "/opt/text browser/lynx", 0x4142, true));
  EXPECT_EQ(m_options.ExtViewers.Count(), 1) << "carried through unchanged";
}

TEST_F(OptionsDialog, ConfirmationsAskOnlyWhenTheirSwitchIsOn) {
  TVornConfirmations& c = m_options.Confirmation;
  c.ClosingDoc = c.QuittingWizard = false;
  c.ClosingApp = true;
  m_dialogs->messageAnswers = {mrYes, mrNo};
  EXPECT_TRUE(c.ConfirmQuit());
  EXPECT_FALSE(c.ConfirmQuit());
  EXPECT_TRUE(c.ConfirmCloseDocument());
  EXPECT_TRUE(c.ConfirmCloseWizard());
  EXPECT_EQ(m_dialogs->titles, (std::vector<std::string>{"Quit", "Quit"}));
  EXPECT_EQ(m_dialogs->Questions().at(0).text, "Do you want to quit Tarnquill ?");
}

}  // namespace
}  // namespace tq
