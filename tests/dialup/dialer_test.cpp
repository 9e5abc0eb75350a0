// The dialer: when it dials, how often it retries and what its window says meanwhile, the
// credentials it stores, and Cancel and a second project's start during a run.
#include "dialup/dialer.h"

#include <gtest/gtest.h>

#include "dialup/dial_up_fakes.h"
#include "support/fake_dialog_service.h"
#include "support/unhandled_errors.h"

namespace tq {
namespace {

class Dialer : public ::testing::Test {
 protected:
  Dialer() {
    SetDialogService(m_dialogs);
    m_options.Enabled = true;
    m_options.Connection = "Modem";
    m_options.Password = "secret";
  }
  ~Dialer() override { SetDialogService(nullptr); }

  // The next run's window is left to its own logic, as a user who just watches it.
  void Watch() {
    m_dialogs->windowScripts.push_back([](TModalWindow&) {});
  }

  int Windows() const {
    int n = 0;
    for (const auto& asked : m_dialogs->Questions()) n += asked.kind == "window";
    return n;
  }

  std::shared_ptr<test::TFakeDialogService> m_dialogs =
      std::make_shared<test::TFakeDialogService>();
  TVornInternetDial m_options;
  test::TFakeDialUp m_service;
  test::TFakeClock m_clock;
  TVornDialer m_dialer{m_options, m_service, m_clock};
};

TEST_F(Dialer, RetriesAFailedCallWithACountdownAfterEveryFailure) {
  struct Case {
    int retries, interval, failures;
    int calls;
    bool up;
  };
  const Case cases[] = {
      {0, 2, 1, 1, false},  // one call, its countdown, then the window closes with Cancel
      {3, 1, 2, 3, true},
      {2, 0, 9, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.retries);
    m_service.dialled.clear();
    m_service.up = false;
    m_service.results.assign(static_cast<size_t>(c.failures), TDialResult{7, "Line busy"});
    m_options.RetryBrokenConnection = static_cast<uint8_t>(c.retries);
    m_options.IntervalBetweenRetries = c.interval;
    const int sleeps = m_clock.Sleeps();
    Watch();
    EXPECT_EQ(m_options.Dial(), c.up);
    EXPECT_EQ(static_cast<int>(m_service.dialled.size()), c.calls);
    EXPECT_EQ(m_clock.Sleeps() - sleeps, std::min(c.failures, c.calls) * c.interval);
    EXPECT_FALSE(m_dialer.Dialing());
  }
  const std::vector<std::string> first(m_dialogs->statuses.begin(),
                                       m_dialogs->statuses.begin() + 4);
  EXPECT_EQ(first, (std::vector<std::string>{
                       "Dialing ...", "Error : Line busy",
                       "Error : Line busy\n\rConnection failed. Waiting 2 sec before retry",
                       "Error : Line busy\n\rConnection failed. Waiting 1 sec before retry"}));
  const auto asked = m_dialogs->Questions();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0].text, "Connecting to Internet");
}

TEST_F(Dialer, DialsOnlyWhenEnabledAndNothingIsUp) {
  m_options.Enabled = false;
  EXPECT_TRUE(m_options.Dial());
  m_options.Enabled = true;
  m_service.entries.clear();  // no dial-up entries: the machine counts as online
  EXPECT_TRUE(m_options.Connected());
  EXPECT_TRUE(m_options.Dial());
  m_service.entries = {"Modem"};
  m_service.up = true;
  EXPECT_TRUE(m_options.Dial());
  EXPECT_EQ(Windows(), 0);
  EXPECT_TRUE(m_service.dialled.empty());

  m_options.HangUp();
  EXPECT_EQ(m_service.hangUpsAll, 1);
  EXPECT_FALSE(m_options.Connected());
  m_options.HangUp();
  EXPECT_EQ(m_service.hangUpsAll, 1) << "nothing up, nothing to hang up";
}

TEST_F(Dialer, StoresAUserNameWithItsPasswordOnlyWhenOneIsGiven) {
  m_options.RetryBrokenConnection = 0;
  Watch();
  EXPECT_TRUE(m_options.Dial());
  EXPECT_TRUE(m_service.credentials.empty());
  m_service.up = false;
  m_options.Username = "bob";
  Watch();
  EXPECT_TRUE(m_options.Dial());
  ASSERT_EQ(m_service.credentials.size(), 1u);
  EXPECT_EQ(m_service.credentials[0], std::make_tuple("Modem", "bob", "secret"));
}

// A real clock: Cancel must cut the minute's wait short, not sit it out.
TEST(DialerCancel, EndsTheRunDuringItsCountdown) {
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  SetDialogService(dialogs);
  TVornInternetDial options;
  options.Enabled = true;
  options.Connection = "Modem";
  options.RetryBrokenConnection = 5;
  options.IntervalBetweenRetries = 60;
  test::TFakeDialUp service;
  service.results.assign(6, TDialResult{7, "No carrier"});
  TSystemClock clock;
  TVornDialer dialer(options, service, clock);
  dialogs->windowScripts.push_back([](TModalWindow& window) {
    ASSERT_TRUE(
        RunUntil([&] { return window.Status().find("Waiting 60 sec") != std::string::npos; }));
    window.OnButton(mrCancel);
  });
  EXPECT_FALSE(options.Dial());
  EXPECT_EQ(service.dialled.size(), 1u);
  EXPECT_GE(service.hangUpsLast, 1) << "a ringing call is hung up";
  SetDialogService(nullptr);
}

// A second project starting while the first one's run shows its window waits for that run
// instead of dialling again, and returns once the run's window has closed.
TEST_F(Dialer, ASecondStartDuringARunWaitsForIt) {
  bool inner = false;
  m_dialogs->windowScripts.push_back([&](TModalWindow&) { inner = m_options.Dial(); });
  EXPECT_TRUE(m_options.Dial());
  EXPECT_TRUE(inner);
  EXPECT_EQ(m_service.dialled.size(), 1u);
  EXPECT_EQ(Windows(), 1);
}

// A service that fails inside the call (its bus gone, say) closes the window with the line down
// and is reported, instead of ending the program from the run's thread.
TEST_F(Dialer, AServiceThatFailsInsideTheCallClosesTheWindow) {
  struct TFailingDialUp : test::TFakeDialUp {
    TDialResult Dial(const std::string&) override { throw std::runtime_error("bus gone"); }
  };
  test::TUnhandledErrors errors;
  TFailingDialUp failing;
  TVornDialer dialer(m_options, failing, m_clock);
  Watch();
  EXPECT_FALSE(m_options.Dial());
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_EQ(errors.Reports(), std::vector<std::string>{"dial-up thread: bus gone"});
}

}  // namespace
}  // namespace tq
