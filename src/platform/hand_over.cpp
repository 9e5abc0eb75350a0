// Hand-overs over QLocalServer / QLocalSocket.
#include "platform/hand_over.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>

#include "foundation/errors.h"
#include "platform/single_instance.h"

namespace tq {
namespace {

constexpr std::string_view kMagic = "TQH1";
constexpr char kReceipt = 'A';
constexpr int kIdleLimitMs = 5000;

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

bool GetU32(std::string_view bytes, size_t& at, uint32_t& value) {
  if (bytes.size() - at < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  at += 4;
  return true;
}

QString SocketPath(const std::string& name) {
  return QString::fromStdString(UserRuntimeFolder() + name + ".socket");
}

}  // namespace

std::string EncodeHandOver(const std::vector<std::string>& lines) {
  std::string out(kMagic);
  PutU32(out, static_cast<uint32_t>(lines.size()));
  for (const auto& line : lines) {
    PutU32(out, static_cast<uint32_t>(line.size()));
    out += line;
  }
  return out;
}

THandOverDecode DecodeHandOver(std::string_view bytes, std::vector<std::string>& lines) {
  lines.clear();
  if (bytes.size() > kMaxHandOverBytes) return THandOverDecode::hdMalformed;
  const size_t magic = std::min(bytes.size(), kMagic.size());
  if (bytes.substr(0, magic) != kMagic.substr(0, magic)) return THandOverDecode::hdMalformed;
  size_t at = kMagic.size();
  uint32_t count = 0;
  if (magic < kMagic.size() || !GetU32(bytes, at, count)) return THandOverDecode::hdIncomplete;
  if (count > kMaxHandOverLines) return THandOverDecode::hdMalformed;
  std::vector<std::string> found;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t length = 0;
    if (!GetU32(bytes, at, length)) return THandOverDecode::hdIncomplete;
    if (length > kMaxHandOverBytes) return THandOverDecode::hdMalformed;
    if (bytes.size() - at < length) return THandOverDecode::hdIncomplete;
    found.emplace_back(bytes.substr(at, length));
    at += length;
  }
  if (at != bytes.size()) return THandOverDecode::hdMalformed;
  lines = std::move(found);
  return THandOverDecode::hdComplete;
}

struct THandOverServer::Impl {
  QLocalServer server;
};

THandOverServer::THandOverServer() : m_impl(std::make_unique<Impl>()) {
  QObject::connect(&m_impl->server, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* socket = m_impl->server.nextPendingConnection()) {
      // Each connection keeps its bytes and a limit on how long it may take to send them; the
      // socket is the server's child, so the server's end takes any that are still open.
      auto buffer = std::make_shared<QByteArray>();
      auto* idle = new QTimer(socket);
      idle->setSingleShot(true);
      idle->start(kIdleLimitMs);
      const auto cutOff = [socket] {
        socket->abort();
        socket->deleteLater();
      };
      QObject::connect(idle, &QTimer::timeout, socket, cutOff);
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(
          socket, &QLocalSocket::readyRead, socket, [this, socket, buffer, idle, cutOff] {
            buffer->append(socket->readAll());
            std::vector<std::string> lines;
            const auto state =
                DecodeHandOver(std::string_view(buffer->constData(), buffer->size()), lines);
            if (state == THandOverDecode::hdIncomplete) return;
            idle->stop();
            if (state == THandOverDecode::hdMalformed) {
              cutOff();
              return;
            }
            socket->write(&kReceipt, 1);
            socket->flush();
            socket->disconnectFromServer();
            // Delivered from the queue, not from inside the socket's signal, so a handler may open
            // a modal dialog while the socket winds down.
            if (OnHandOver) PostToInterface([handler = OnHandOver, lines] { handler(lines); });
          });
    }
  });
}

THandOverServer::~THandOverServer() = default;

void THandOverServer::Listen(const std::string& name) {
  const QString path = SocketPath(name);
  QLocalServer::removeServer(path);
  m_impl->server.setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_impl->server.listen(path)) {
    throw EVornOSError(m_impl->server.errorString().toStdString(), EADDRINUSE);
  }
}

bool THandOverServer::Listening() const {
  return m_impl->server.isListening();
}

bool SendHandOver(const std::string& name, const std::vector<std::string>& lines, Millis timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  const auto left = [&deadline] {
    const auto ms = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(ms, 0));
  };
  const QString path = SocketPath(name);
  const std::string frame = EncodeHandOver(lines);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(path);
    if (socket.waitForConnected(std::min(left(), 500))) break;
    socket.abort();
    if (left() == 0) return false;
    // The other instance holds its claim but is not listening yet: it is starting up.
    std::this_thread::sleep_for(Millis(50));
  }
  socket.write(frame.data(), static_cast<qint64>(frame.size()));
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(left())) return false;
  }
  while (socket.bytesAvailable() < 1) {
    if (!socket.waitForReadyRead(left())) return false;
  }
  char receipt = 0;
  return socket.read(&receipt, 1) == 1 && receipt == kReceipt;
}

}  // namespace tq
