// The scheduled disconnect and exit: the countdown, the minute check across midnight, the
// after-download conditions, and an exit that saves, closes and reopens projects.
#include "dialup/scheduled_actions.h"

#include <gtest/gtest.h>

#include "dialup/dial_up_fakes.h"
#include "dialup/dialer.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  return ComposeDateTime(*EncodeDate(year, month, day), *EncodeTime(hour, minute, second, 0));
}

// A window script that presses a button after some ticks of the countdown.
std::function<void(TModalWindow&)> After(int ticks, int button) {
  return [ticks, button](TModalWindow& window) {
    for (int i = 0; i < ticks && !window.Closed(); ++i) window.OnTick();
    if (button != mrNone && !window.Closed()) window.OnButton(button);
  };
}

class ScheduledActions : public ::testing::Test {
 protected:
  ScheduledActions() {
    SetDialogService(m_dialogs);
    m_service.entries.clear();  // no dial-up entries: the machine counts as connected
  }
  ~ScheduledActions() override { SetDialogService(nullptr); }

  // The headings of the windows shown so far, and forget them.
  std::vector<std::string> TakeWindows() {
    std::vector<std::string> headings;
    for (const auto& asked : m_dialogs->Questions()) {
      if (asked.kind == "window") headings.push_back(asked.text);
    }
    m_dialogs = std::make_shared<test::TFakeDialogService>();
    SetDialogService(m_dialogs);
    return headings;
  }

  test::TTempDir m_dir;
  std::shared_ptr<test::TFakeDialogService> m_dialogs =
      std::make_shared<test::TFakeDialogService>();
  TVornOptions m_options{m_dir / "config.dat"};
  test::TFakeDialUp m_service;
  test::TFakeClock m_clock;
  TVornDialer m_dialer{m_options.InternetDialUp, m_service, m_clock};
  int m_powerOffs = 0;
  TVornScheduledActions m_actions{m_options, m_clock, [this] {
                                    ++m_powerOffs;
                                    throw EVornOSError("refused", 1);
                                  }};
};

TEST_F(ScheduledActions, CountdownBeepsNineTimesAndClosesWithOkAtZero) {
  struct Case {
    std::function<void(TModalWindow&)> script;
    int result;
    size_t statuses;
    int beeps;
  };
  const Case cases[] = {
      {After(30, mrNone), mrOk, 30, 9},
      {After(12, mrCancel), mrCancel, 12, 9},
      {After(3, mrOk), mrOk, 3, 3},
  };
  for (const Case& c : cases) {
    m_dialogs->statuses.clear();
    m_dialogs->beeps = 0;
    m_dialogs->windowScripts.push_back(c.script);
    EXPECT_EQ(RunActionCountdown("Shutting down", "", TModalWindow::mpShutdown), c.result);
    ASSERT_EQ(m_dialogs->statuses.size(), c.statuses);
    EXPECT_EQ(m_dialogs->statuses.front(), "Time left 29 sec.");
    EXPECT_EQ(m_dialogs->beeps, c.beeps);
  }
  EXPECT_EQ(m_dialogs->statuses.back(), "Time left 27 sec.");
}

// Ticks a minute apart from an arbitrary second, over two midnights: each action comes once a
// day, in the minute its time names, whatever day that time was stored with.
TEST_F(ScheduledActions, TheScheduleMeetsEachConfiguredMinuteOnceADay) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  x.DisconnectAt = true;
  x.DisconnectAtTime = At(2001, 3, 4, 0, 0, 0);
  x.ExitAt = true;
  x.ExitAtTime = At(1999, 1, 1, 23, 59, 59);
  std::vector<std::pair<std::string, std::string>> shown;
  for (int tick = 0; tick < 2 * 24 * 60; ++tick) {
    m_clock.now = At(2024, 5, 1, 23, 57, 37) + tick / (24.0 * 60.0);
    m_actions.ScheduleTick();
    for (const auto& heading : TakeWindows()) {
      shown.emplace_back(heading, FormatStoredDateTime(m_clock.now));
    }
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Shutting down", "2024-05-01 23:59:37.000"},
      {"Closing internet conections", "2024-05-02 00:00:37.000"},
      {"Shutting down", "2024-05-02 23:59:37.000"},
      {"Closing internet conections", "2024-05-03 00:00:37.000"},
  };
  EXPECT_EQ(shown, expected);
}

TEST_F(ScheduledActions, AfterDownloadsOnlyWhenSwitchedOnAndNothingDownloads) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  bool downloading = false;
  x.OnAskIfDownloads = [&](bool& inProgress) { inProgress = downloading; };
  struct Case {
    bool disconnectSwitch, exitSwitch, downloading;
    std::vector<std::string> windows;
  };
  const std::vector<Case> cases = {
      {false, false, false, {}},
      {true, true, true, {}},  // the other project still downloads
      {true, false, false, {"Closing internet conections"}},
      {false, true, false, {"Shutting down"}},
  };
  for (const Case& c : cases) {
    x.DisconnectWhenDownloadsComplete = c.disconnectSwitch;
    x.ExitWhenDownloadsComplete = c.exitSwitch;
    downloading = c.downloading;
    x.Disconnect(true);
    x.ExitProgram(true);
    EXPECT_EQ(TakeWindows(), c.windows);
  }
}

TEST_F(ScheduledActions, ConfirmedDisconnectStopsDownloadsAndHangsUpWhatIsUp) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  m_service.entries = {"Modem"};
  int stops = 0;
  x.OnStopDownloads = [&] { ++stops; };
  x.OnAskIfDownloads = [](bool& inProgress) { inProgress = true; };
  x.Disconnect(false);
  EXPECT_TRUE(TakeWindows().empty()) << "no connection up: nothing to announce";

  m_service.up = true;
  x.Disconnect(false);  // cancelled: nothing changes
  EXPECT_EQ(m_service.hangUpsAll, 0);
  m_dialogs->windowScripts.push_back(After(30, mrNone));
  x.Disconnect(false);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(m_service.hangUpsAll, 1);
}

// An exit that saves: the open projects are saved and closed, the refused power-off does not
// stop the program from closing, and the next start opens the same projects in the same order.
TEST_F(ScheduledActions, ExitSavesClosesAndTheNextStartReopens) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  x.SaveDownloadsBeforeExit = true;
  x.ShutDownOnExit = true;
  std::vector<std::string> open = {"/p/a.web", "/p/b.web"};
  bool keepLast = false;
  std::vector<std::string> events;
  x.OnAutoSave = [&](TAutoSavedDocs& docs) {
    EXPECT_EQ(docs.Count(), 0);
    for (const auto& file : open) docs.Add().FileName = file;
  };
  x.OnDocCount = [&](int& count) { count = static_cast<int>(open.size()); };
  x.OnDocInfoNeeded = [&](int index, void*& project) { project = &open[index]; };
  x.OnNeedToClose = [&](void* project) {
    events.push_back("close " + *static_cast<std::string*>(project));
    if (!(keepLast && open.size() == 1)) open.erase(open.begin());
  };
  x.OnShutDown = [&] { events.push_back("shut down"); };
  x.AutoSavedDocs.Add().FileName = "/p/stale.web";
  m_dialogs->windowScripts.push_back(After(0, mrOk));
  x.ExitProgram(false);
  EXPECT_EQ(events, (std::vector<std::string>{"close /p/a.web", "close /p/b.web", "shut down"}));
  EXPECT_EQ(m_powerOffs, 1);
  m_options.SaveOptions();

  TVornOptions next(m_options.ConfigFile());
  std::vector<std::string> reopened;
  next.OnDocNeedToOpen = [&](const std::string& file) { reopened.push_back(file); };
  next.LoadOptions();
  EXPECT_EQ(reopened, (std::vector<std::string>{"/p/a.web", "/p/b.web"}));

  // Without saving, a project the user keeps open is asked about once, and the exit goes on.
  x.SaveDownloadsBeforeExit = false;
  x.ShutDownOnExit = false;
  open = {"/p/changed.web"};
  keepLast = true;
  events.clear();
  m_dialogs->windowScripts.push_back(After(0, mrOk));
  x.ExitProgram(false);
  EXPECT_EQ(events, (std::vector<std::string>{"close /p/changed.web", "shut down"}));
  EXPECT_EQ(m_powerOffs, 1);
}

}  // namespace
}  // namespace tq
