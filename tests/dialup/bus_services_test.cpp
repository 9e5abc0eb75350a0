// The real NetworkManager and logind adapters against small fake services on a private D-Bus
// bus that the test starts: nothing here can reach the machine's own network or power.
// QtDBus hands every call to a thread of its own through Qt's uninstrumented atomics, which the
// thread checker reports as races inside Qt and libdbus: the label keeps this file out of its run.
// ctest: timeout=120 labels=no-tsan
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <future>

#include "dialup/dial_up_fakes.h"
#include "dialup/scheduled_actions.h"
#include "foundation/errors.h"
#include "platform/dial_up.h"
#include "platform/power.h"
#include "support/fake_dialog_service.h"
#include "support/loopback_peer.h"
#include "support/source_paths.h"
#include "support/temp_env.h"

namespace tq {
namespace {

class BusServices : public ::testing::Test {
 protected:
  void SetUp() override {
    m_daemon = std::make_unique<test::ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--address=" + m_address});
    m_services = std::make_unique<test::ChildProcess>(std::vector<std::string>{
        "/usr/bin/python3", std::string(TQ_SOURCE_DIR) + "/tests/dialup/fake_bus_services.py",
        m_address});
    ASSERT_TRUE(m_daemon->Running() && m_services->Running());
    ASSERT_TRUE(RunUntil([this] {
      QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address),
                                                          QStringLiteral("tq-test-probe"));
      const bool ready =
          bus.isConnected() &&
          bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager")) &&
          bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
      QDBusConnection::disconnectFromBus(QStringLiteral("tq-test-probe"));
      return ready;
    }));
  }

  // A call to the fake logind's test interface.
  QDBusMessage Fake(const char* method, const QVariantList& arguments = {}) {
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address),
                                                        QStringLiteral("tq-test-fake"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.tarnquill.Fake"), QString::fromLatin1(method));
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call);
    QDBusConnection::disconnectFromBus(QStringLiteral("tq-test-fake"));
    return reply;
  }

  test::TTempDir m_dir;
  const std::string m_address = "unix:path=" + (m_dir / "bus");
  std::unique_ptr<test::ChildProcess> m_daemon, m_services;
};

TEST_F(BusServices, NetworkManagerProfilesAreThePhonebook) {
  auto service = NewNetworkManagerDialUp(m_address);
  EXPECT_EQ(service->GetEntries(),
            (std::vector<std::string>{"Mobile", "Office VPN", "Broken", "Slow"}))
      << "the wired profile is no dial-up entry";
  EXPECT_EQ(service->ActiveConnectionCount(), 0);

  EXPECT_EQ(service->SetEntryCredentials("Mobile", "bob", "secret").Code, 0);
  EXPECT_NE(service->SetEntryCredentials("Office VPN", "bob", "secret").Code, 0);
  const TDialResult up = service->Dial("Mobile");
  EXPECT_EQ(up.Code, 0) << up.Message;
  EXPECT_EQ(service->ActiveConnectionCount(), 1);
  EXPECT_NE(service->Dial("Broken").Code, 0) << "fails after activating for a moment";
  EXPECT_EQ(service->ActiveConnectionCount(), 0) << "dialling hangs up the last connection first";
  EXPECT_EQ(service->Dial("Nowhere").Message, "GetEntryDialParams failed");

  EXPECT_EQ(service->Dial("Mobile").Code, 0);
  service->HangUpAll();
  EXPECT_EQ(service->ActiveConnectionCount(), 0);

  // A call that never comes up ends when another thread hangs up.
  auto ringing = std::async(std::launch::async, [&] { return service->Dial("Slow"); });
  ASSERT_TRUE(RunUntil([&] { return service->ActiveConnectionCount() == 1; }));
  service->HangUpLast();
  ASSERT_EQ(ringing.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_NE(ringing.get().Code, 0);
  EXPECT_EQ(service->ActiveConnectionCount(), 0);
}

// An exit with a power-off that logind refuses still closes the program.
TEST_F(BusServices, ARefusedPowerOffStillClosesTheProgram) {
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  SetDialogService(dialogs);
  TVornOptions options(m_dir / "config.dat");
  options.InternetDisconnect.ShutDownOnExit = true;
  bool closed = false;
  options.OnShutDown = [&] { closed = true; };
  test::TFakeClock clock;
  TVornScheduledActions actions(options, clock, [this] { PowerOffSystem(m_address); });

  Fake("Refuse", {true});
  EXPECT_THROW(PowerOffSystem(m_address), EVornOSError);
  dialogs->windowScripts.push_back([](TModalWindow& window) { window.OnButton(mrOk); });
  options.InternetDisconnect.ExitProgram(false);
  EXPECT_TRUE(closed);
  Fake("Refuse", {false});
  EXPECT_NO_THROW(PowerOffSystem(m_address));
  EXPECT_EQ(Fake("Calls").arguments().value(0).toString().toStdString(),
            "interactive,interactive,interactive");
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq
