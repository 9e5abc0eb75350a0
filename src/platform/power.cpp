// PowerOff through logind.
#include "platform/power.h"

#include <cerrno>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include "foundation/errors.h"

namespace tq {

void PowerOffSystem(const std::string& busAddress) {
  const QString name = QStringLiteral("tarnquill-power");
  QDBusConnection bus =
      busAddress.empty() ? QDBusConnection::systemBus()
                         : QDBusConnection::connectToBus(QString::fromStdString(busAddress), name);
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
  call.setArguments({QVariant(true)});
  const QDBusMessage reply = bus.call(call, QDBus::Block);
  if (!busAddress.empty()) QDBusConnection::disconnectFromBus(name);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    throw EVornOSError("The system refused to shut down: " + reply.errorMessage().toStdString(),
                       EPERM);
  }
}

}  // namespace tq
