// The dial-up phonebook over NetworkManager's D-Bus interface: profiles of the dial-up kinds are
// the entries, activating one dials it, deactivating hangs it up.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include "platform/dial_up.h"

namespace tq {
namespace {

using TSettings = QMap<QString, QVariantMap>;

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");

// NetworkManager's active-connection states.
constexpr unsigned kActivating = 1;
constexpr unsigned kActivated = 2;

constexpr auto kDialLimit = std::chrono::seconds(120);
constexpr auto kStatePoll = std::chrono::milliseconds(200);

// Profile kinds that stand for dial-up entries. Wired and wireless profiles are the machine's
// own network: they are not dialled, and hanging up must never take them down.
bool IsDialUpKind(const QString& type) {
  static const QStringList kinds = {QStringLiteral("gsm"),       QStringLiteral("cdma"),
                                    QStringLiteral("pppoe"),     QStringLiteral("adsl"),
                                    QStringLiteral("bluetooth"), QStringLiteral("vpn"),
                                    QStringLiteral("wireguard")};
  return kinds.contains(type);
}

struct TProfile {
  QString Path;
  QString Id;
};

class TNetworkManagerDialUp final : public IDialUpService {
 public:
  explicit TNetworkManagerDialUp(const std::string& busAddress)
      : m_name(QStringLiteral("tarnquill-nm-%1").arg(++s_connections)),
        m_private(!busAddress.empty()),
        m_bus(m_private ? QDBusConnection::connectToBus(QString::fromStdString(busAddress), m_name)
                        : QDBusConnection::systemBus()) {
    qDBusRegisterMetaType<TSettings>();
  }

  ~TNetworkManagerDialUp() override {
    if (m_private) QDBusConnection::disconnectFromBus(m_name);
  }

  std::vector<std::string> GetEntries() override {
    std::vector<std::string> entries;
    for (const auto& profile : Phonebook()) entries.push_back(profile.Id.toStdString());
    return entries;
  }

  int ActiveConnectionCount() override { return static_cast<int>(ActivePhonebookPaths().size()); }

  TDialResult Dial(const std::string& entry) override {
    HangUpLast();
    uint64_t hangUps = 0;
    {
      std::lock_guard guard(m_lock);
      hangUps = m_hangUps;
    }
    const QString profile = ProfilePath(entry);
    if (profile.isEmpty()) return {1, "GetEntryDialParams failed"};
    const QDBusMessage reply = Call(kManagerPath, kService, QStringLiteral("ActivateConnection"),
                                    {QVariant::fromValue(QDBusObjectPath(profile)),
                                     QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))),
                                     QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))});
    if (reply.type() != QDBusMessage::ReplyMessage) return Failure(reply);
    const QString active = qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    {
      std::unique_lock lock(m_lock);
      if (m_hangUps != hangUps) {
        // Hung up while NetworkManager was taking the request: nobody else knows this one.
        lock.unlock();
        Deactivate(active);
        return {3, "The connection was hung up"};
      }
      m_last = active;
    }
    // Wait until the connection is up or gone; a hang-up on another thread wakes the wait.
    const auto deadline = std::chrono::steady_clock::now() + kDialLimit;
    for (;;) {
      const QVariant state = Property(active, kActiveInterface, QStringLiteral("State"));
      if (state.isValid() && state.toUInt() == kActivated) return {};
      if (!state.isValid() || state.toUInt() > kActivated) {
        return {2, "The connection could not be established"};
      }
      std::unique_lock lock(m_lock);
      if (m_changed.wait_until(lock,
                               std::min(deadline, std::chrono::steady_clock::now() + kStatePoll),
                               [&] { return m_hangUps != hangUps; })) {
        return {3, "The connection was hung up"};
      }
      if (std::chrono::steady_clock::now() >= deadline) return {4, "No answer while connecting"};
    }
  }

  TDialResult SetEntryCredentials(const std::string& entry, const std::string& user,
                                  const std::string& password) override {
    const QString profile = ProfilePath(entry);
    if (profile.isEmpty()) return {1, "GetEntryDialParams failed"};
    TSettings settings = Settings(profile);
    for (const QString& kind :
         {QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe")}) {
      if (!settings.contains(kind)) continue;
      settings[kind][QStringLiteral("username")] = QString::fromStdString(user);
      settings[kind][QStringLiteral("password")] = QString::fromStdString(password);
      const QDBusMessage reply =
          Call(profile, QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection"),
               QStringLiteral("Update"), {QVariant::fromValue(settings)});
      return reply.type() == QDBusMessage::ReplyMessage ? TDialResult{} : Failure(reply);
    }
    return {5, "The entry keeps no user name"};
  }

  void HangUpAll() override {
    for (const QString& active : ActivePhonebookPaths()) Deactivate(active);
  }

  void HangUpLast() override {
    QString last;
    {
      std::lock_guard guard(m_lock);
      last.swap(m_last);
      ++m_hangUps;
    }
    m_changed.notify_all();
    if (!last.isEmpty()) Deactivate(last);
  }

 private:
  QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block);
  }

  QVariant Property(const QString& path, const QString& interface, const QString& name) {
    const QDBusMessage reply = Call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage) return {};
    return qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant();
  }

  QList<QDBusObjectPath> PathList(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QList<QDBusObjectPath>>(value);
    return value.value<QList<QDBusObjectPath>>();
  }

  TSettings Settings(const QString& profile) {
    const QDBusMessage reply =
        Call(profile, QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection"),
             QStringLiteral("GetSettings"));
    if (reply.type() != QDBusMessage::ReplyMessage) return {};
    return qdbus_cast<TSettings>(reply.arguments().value(0));
  }

  std::vector<TProfile> Phonebook() {
    std::vector<TProfile> profiles;
    const QDBusMessage reply = Call(kSettingsPath, kService + QStringLiteral(".Settings"),
                                    QStringLiteral("ListConnections"));
    if (reply.type() != QDBusMessage::ReplyMessage) return profiles;
    for (const auto& path : PathList(reply.arguments().value(0))) {
      const QVariantMap connection = Settings(path.path()).value(QStringLiteral("connection"));
      if (!IsDialUpKind(connection.value(QStringLiteral("type")).toString())) continue;
      profiles.push_back({path.path(), connection.value(QStringLiteral("id")).toString()});
    }
    return profiles;
  }

  QString ProfilePath(const std::string& entry) {
    const QString id = QString::fromStdString(entry);
    for (const auto& profile : Phonebook()) {
      if (profile.Id == id) return profile.Path;
    }
    return {};
  }

  // Active connections of phonebook profiles that are up or coming up.
  QStringList ActivePhonebookPaths() {
    QStringList phonebook;
    for (const auto& profile : Phonebook()) phonebook << profile.Path;
    QStringList active;
    if (phonebook.isEmpty()) return active;
    const auto paths =
        PathList(Property(kManagerPath, kService, QStringLiteral("ActiveConnections")));
    for (const auto& path : paths) {
      const QVariant profile =
          Property(path.path(), kActiveInterface, QStringLiteral("Connection"));
      const QVariant state = Property(path.path(), kActiveInterface, QStringLiteral("State"));
      const QString profilePath = profile.value<QDBusObjectPath>().path();
      const unsigned s = state.toUInt();
      if (phonebook.contains(profilePath) && (s == kActivating || s == kActivated)) {
        active << path.path();
      }
    }
    return active;
  }

  void Deactivate(const QString& active) {
    Call(kManagerPath, kService, QStringLiteral("DeactivateConnection"),
         {QVariant::fromValue(QDBusObjectPath(active))});
  }

  static TDialResult Failure(const QDBusMessage& reply) {
    const std::string text = reply.errorMessage().toStdString();
    return {6, text.empty() ? reply.errorName().toStdString() : text};
  }

  static inline std::atomic<int> s_connections{0};
  const QString m_name;
  const bool m_private;
  QDBusConnection m_bus;
  std::mutex m_lock;
  std::condition_variable m_changed;
  QString m_last;          // the active connection this service dialled last
  uint64_t m_hangUps = 0;  // counts HangUpLast calls, so a waiting Dial sees one
};

}  // namespace

std::unique_ptr<IDialUpService> NewNetworkManagerDialUp(const std::string& busAddress) {
  return std::make_unique<TNetworkManagerDialUp>(busAddress);
}

}  // namespace tq
