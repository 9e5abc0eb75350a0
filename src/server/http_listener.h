// THttpListener: a small HTTP/1.x server for the offline server. One thread waits on every
// connection with epoll and does all socket work without blocking; a few handler threads turn
// requests into answers. Idle and slow connections therefore cost a file descriptor and a buffer
// but never a thread, so a browser's idle keep-alive connections cannot hold up a new request.
//
// GET, HEAD and POST reach the handler (a request body is read and dropped); other methods and
// malformed or oversized requests get the listener's own error answer. The handler chooses the
// status of its answers. An answer may end in a stream, which the handler threads read a piece at
// a time while the connection sends the piece before: a connection never holds more than
// kMaxUnsentBodyBytes of a body, so large answers cost no more memory than small ones.
//
// Threads: Start, Stop and the destructor belong to one owning thread. The handler runs on the
// handler threads, several requests at a time; it must not throw (an exception becomes a 500
// answer). Stop returns after every handler call in progress has returned.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace tq {

// The most bytes of a streamed body a connection holds at once: the piece being sent.
inline constexpr std::size_t kMaxUnsentBodyBytes = 256 * 1024;

struct THttpRequest {
  std::string RequestLine;  // as sent, without its line end
  std::string Method;
  std::string Host;         // the Host field, or empty
  std::string Referer;      // the Referer field, or empty
  std::string PeerAddress;  // dotted IPv4 address of the client
  std::string Range;        // the Range field, or empty
  bool IfRange = false;     // an If-Range field came with it
  std::string FetchDest;    // the Sec-Fetch-Dest field: what a browser will do with the answer
};

// The rest of an answer's body, read on the handler threads.
class THttpBodyStream {
 public:
  virtual ~THttpBodyStream() = default;
  // Bytes still to come.
  virtual uint64_t Left() const = 0;
  // Appends the next bytes, at least one and at most max, to out. Throws when they cannot be
  // read: the connection is then closed, so the client sees the answer end short.
  virtual void Next(std::string& out, std::size_t max) = 0;
};

struct THttpResponse {
  THttpResponse() = default;
  THttpResponse(std::string contentType, std::string body)
      : ContentType(std::move(contentType)), Body(std::move(body)) {}

  std::string ContentType;  // empty: no Content-Type field
  std::string Body;         // the body, or its start when Stream is set
  int Status = 200;
  std::string Fields;                       // further header fields, each ended by CR LF
  std::shared_ptr<THttpBodyStream> Stream;  // the rest of the body
};

using THttpHandler = std::function<THttpResponse(const THttpRequest&)>;

// Limits of one listener; the defaults suit a browser on the same machine.
struct THttpListenerLimits {
  int HandlerThreads = 4;
  int MaxConnections = 4096;  // lowered to fit the process's file descriptor limit
  int IdleSeconds = 60;       // an open connection between requests
  int RequestSeconds = 15;    // receiving one request head or body
  int WriteSeconds = 30;      // a client that stops reading its answer
};

class THttpListener {
 public:
  explicit THttpListener(THttpHandler handler, THttpListenerLimits limits = {});
  ~THttpListener();
  THttpListener(const THttpListener&) = delete;
  THttpListener& operator=(const THttpListener&) = delete;

  // Binds address:port (IPv4, "0.0.0.0" for every interface; port 0 lets the system choose) and
  // starts serving. False, with nothing started, when the port cannot be bound (in use,
  // privileged) or the listener already runs.
  bool Start(const std::string& address, int port);
  // Closes the listening socket and every connection; answers not yet written are dropped.
  void Stop();
  bool Running() const { return m_impl != nullptr; }
  // The bound port, 0 when not running.
  int Port() const { return m_port.load(); }

 private:
  class Impl;
  THttpHandler m_handler;
  THttpListenerLimits m_limits;
  std::unique_ptr<Impl> m_impl;
  std::atomic<int> m_port{0};
};

}  // namespace tq
