// The listener's event loop, its connections and its handler threads.
#include "server/http_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/http_request.h"

namespace tq {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kListenId = 0;
constexpr uint64_t kWakeId = 1;
constexpr std::size_t kReadChunk = 64 * 1024;
// A connection whose request is with a handler (or whose answer is being written) buffers at most
// this much of what the client sends next, then stops reading until it can go on.
constexpr std::size_t kMaxBuffered = kMaxRequestHead + kReadChunk;
// A buffer this large is given back once its request is done, so idle connections stay small.
constexpr std::size_t kKeptCapacity = 16 * 1024;
// After the last answer the write side is closed and what the client still sends is read and
// dropped for this long: closing at once with unread bytes would reset the connection and could
// destroy the answer before the client has read it.
constexpr auto kLinger = std::chrono::seconds(2);

int FileDescriptorBudget(int wanted) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
  const auto spare = static_cast<long long>(limit.rlim_cur) - 64;  // for the rest of the program
  return static_cast<int>(std::clamp<long long>(spare, 16, wanted));
}

bool IsHandledMethod(std::string_view method) {
  return method == "GET" || method == "HEAD" || method == "POST";
}

// Control bytes in a stored content type would split the answer's head; they are dropped.
std::string FieldSafe(std::string_view value) {
  std::string safe;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) safe += c;
  }
  return safe;
}

// The head and, when withBody, the body given; length counts what a stream adds after it.
std::string Answer(int status, std::string_view contentType, std::string_view extraFields,
                   std::string_view body, uint64_t length, bool withBody, bool keepAlive) {
  std::string bytes =
      "HTTP/1.1 " + std::to_string(status) + " " + std::string(HttpReason(status)) + "\r\n";
  if (!contentType.empty()) bytes += "Content-Type: " + FieldSafe(contentType) + "\r\n";
  bytes += "Content-Length: " + std::to_string(length) + "\r\n";
  bytes += extraFields;
  bytes += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  if (withBody) bytes += body;
  return bytes;
}

std::string ErrorAnswer(int status) {
  const std::string body = std::to_string(status) + " " + std::string(HttpReason(status)) + "\n";
  return Answer(status, "text/plain", {}, body, body.size(), true, false);
}

}  // namespace

class THttpListener::Impl {
 public:
  Impl(const THttpHandler& handler, const THttpListenerLimits& limits, int listenFd)
      : m_handler(handler),
        m_limits(limits),
        m_maxConnections(FileDescriptorBudget(limits.MaxConnections)),
        m_listen(listenFd),
        m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
        m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
        m_spare(::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
    Watch(m_listen, kListenId, EPOLLIN);
    Watch(m_wake, kWakeId, EPOLLIN);
    try {
      for (int i = 0; i < std::max(1, m_limits.HandlerThreads); ++i)
        m_workers.emplace_back([this] { WorkerLoop(); });
      m_loop = std::thread([this] { EventLoop(); });
    } catch (...) {  // out of threads: what did start must end before the members go
      Shutdown();
      throw;
    }
  }

  ~Impl() { Shutdown(); }

  bool Ready() const { return m_epoll >= 0 && m_wake >= 0; }

 private:
  struct TConn {
    int Fd = -1;
    std::string Peer;
    std::string In;  // received bytes not consumed yet
    THeadScan Scan;
    uint64_t Discard = 0;  // body bytes still to be dropped
    std::string Out;       // answer bytes not written yet, from OutPos on
    std::size_t OutPos = 0;
    bool Busy = false;                        // a handler has the request
    bool CloseAfter = false;                  // close once Out is written
    bool Lingering = false;                   // everything is written and the write side is shut
    bool PeerDone = false;                    // the client will send nothing more
    std::shared_ptr<THttpBodyStream> Stream;  // the rest of the answer being sent
    bool Filling = false;                     // a handler thread reads the stream's next piece
    uint32_t Interest = 0;
    Clock::time_point Since;         // last progress: for idle, write and linger limits
    Clock::time_point RequestStart;  // first byte of the request being received
  };

  // A request to answer, or (Stream set) the next piece of an answer to read.
  struct TJob {
    uint64_t Id;
    THttpRequest Request;
    bool WithBody;
    bool KeepAlive;
    std::shared_ptr<THttpBodyStream> Stream;
  };

  struct TDone {
    uint64_t Id;
    std::string Bytes;
    bool KeepAlive;
    std::shared_ptr<THttpBodyStream> Stream;  // an answer: the rest of its body
    bool Piece = false;                       // a piece of a stream
    bool Failed = false;                      // the piece could not be read
  };

  void Shutdown() {
    {
      std::lock_guard lock(m_jobLock);
      m_stopping = true;
    }
    m_jobReady.notify_all();
    Wake();
    if (m_loop.joinable()) m_loop.join();
    for (auto& worker : m_workers) worker.join();
    for (auto& [id, conn] : m_conns) ::close(conn.Fd);
    for (int fd : {m_listen, m_epoll, m_wake, m_spare}) {
      if (fd >= 0) ::close(fd);
    }
  }

  void Watch(int fd, uint64_t id, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = id;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
  }

  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(m_wake, &one, sizeof one);
  }

  void EventLoop() {
    std::vector<epoll_event> events(256);
    auto lastSweep = Clock::now();
    for (;;) {
      const int n = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), 1000);
      {
        std::lock_guard lock(m_jobLock);
        if (m_stopping) return;
      }
      for (int i = 0; i < n; ++i) {
        const uint64_t id = events[i].data.u64;
        if (id == kListenId) {
          AcceptAll();
        } else if (id == kWakeId) {
          uint64_t count = 0;
          [[maybe_unused]] auto got = ::read(m_wake, &count, sizeof count);
          DeliverAnswers();
        } else {
          OnConnectionEvent(id, events[i].events);
        }
      }
      if (Clock::now() - lastSweep >= std::chrono::seconds(1)) {
        lastSweep = Clock::now();
        Sweep();
      }
    }
  }

  void AcceptAll() {
    for (;;) {
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      const int fd = ::accept4(m_listen, reinterpret_cast<sockaddr*>(&peer), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE) {
          if (EvictOne()) continue;
          ShedOne();
        }
        return;
      }
      if (static_cast<int>(m_conns.size()) >= m_maxConnections && !EvictOne()) {
        ::close(fd);
        continue;
      }
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      char text[INET_ADDRSTRLEN] = {};
      ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
      const uint64_t id = m_nextId++;
      TConn& conn = m_conns[id];
      conn.Fd = fd;
      conn.Peer = text;
      conn.Since = Clock::now();
      conn.Interest = EPOLLIN | EPOLLRDHUP;
      Watch(fd, id, conn.Interest);
    }
  }

  // Out of descriptors with nothing to evict: accept the waiting connection on the spare
  // descriptor and close it, so the listening socket does not report it again and again.
  void ShedOne() {
    if (m_spare < 0) return;
    ::close(m_spare);
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) ::close(fd);
    m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }

  // Makes room by closing the connection that matters least: an idle one, else one that is
  // only lingering, else the one waiting longest for its request; never one a handler has.
  bool EvictOne() {
    auto rank = [](const TConn& c) {
      if (c.In.empty() && c.Out.empty() && c.Discard == 0 && !c.Lingering) return 0;
      return c.Lingering ? 1 : 2;
    };
    auto victim = m_conns.end();
    for (auto it = m_conns.begin(); it != m_conns.end(); ++it) {
      if (it->second.Busy || it->second.Filling) continue;
      if (victim == m_conns.end() || rank(it->second) < rank(victim->second) ||
          (rank(it->second) == rank(victim->second) && it->second.Since < victim->second.Since))
        victim = it;
    }
    if (victim == m_conns.end()) return false;
    Close(victim);
    return true;
  }

  using TConnIt = std::unordered_map<uint64_t, TConn>::iterator;

  void Close(TConnIt it) {
    ::close(it->second.Fd);  // also takes it out of the epoll set
    m_conns.erase(it);
  }

  void Close(uint64_t id) {
    auto it = m_conns.find(id);
    if (it != m_conns.end()) Close(it);
  }

  void OnConnectionEvent(uint64_t id, uint32_t events) {
    auto it = m_conns.find(id);
    if (it == m_conns.end()) return;
    // Both directions are gone (or reset): no answer can reach the client any more.
    if (events & (EPOLLERR | EPOLLHUP)) return Close(it);
    if (events & (EPOLLIN | EPOLLRDHUP)) Read(it->second);
    Pump(id, it->second);
  }

  void Read(TConn& conn) {
    char buffer[kReadChunk];
    while (!conn.PeerDone && (conn.Lingering || conn.In.size() < kMaxBuffered)) {
      const ssize_t n = ::read(conn.Fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (n <= 0) {
        conn.PeerDone = true;
        break;
      }
      if (conn.Lingering) continue;
      std::string_view data(buffer, static_cast<std::size_t>(n));
      if (conn.In.empty() && conn.Discard == 0) conn.RequestStart = Clock::now();
      const auto dropped = static_cast<std::size_t>(std::min<uint64_t>(conn.Discard, data.size()));
      conn.Discard -= dropped;
      conn.In.append(data.substr(dropped));
    }
  }

  // Takes the next request off the buffer; true when that produced an answer to write.
  bool TakeRequest(uint64_t id, TConn& conn) {
    const THttpHeadResult result = ReadRequestHead(conn.In, &conn.Scan);
    if (result.State == THttpHeadResult::hrIncomplete) {
      if (conn.PeerDone) conn.In.clear();  // cut off by the client: it will never be complete
      return false;
    }
    if (result.State == THttpHeadResult::hrRefused) {
      conn.In.clear();
      conn.Out = ErrorAnswer(result.Status);
      conn.CloseAfter = true;
      return true;
    }
    const THttpRequestHead& head = result.Head;
    conn.In.erase(0, result.HeadSize);
    conn.Scan = {};
    conn.Discard = head.ContentLength;
    const auto dropped = static_cast<std::size_t>(std::min<uint64_t>(conn.Discard, conn.In.size()));
    conn.Discard -= dropped;
    conn.In.erase(0, dropped);
    conn.RequestStart = Clock::now();
    const bool keepAlive = head.KeepAlive;
    if (!IsHandledMethod(head.Method)) {
      const std::string_view body = "405 Method Not Allowed\n";
      conn.Out = Answer(405, "text/plain", "Allow: GET, HEAD, POST\r\n", body, body.size(), true,
                        keepAlive);
      conn.CloseAfter = !keepAlive;
      return true;
    }
    conn.Busy = true;
    Dispatch({id,
              {head.RequestLine, head.Method, head.Host, head.Referer, conn.Peer, head.Range,
               head.IfRange, head.FetchDest},
              head.Method != "HEAD",
              keepAlive,
              nullptr});
    return false;
  }

  // Moves the connection on as far as it can go without waiting: writes what the socket takes,
  // then takes the next request (one at a time, so answers keep their order and a client that
  // does not read cannot pile them up), then closes the connection when it is done.
  void Pump(uint64_t id, TConn& conn) {
    for (;;) {
      while (conn.OutPos < conn.Out.size()) {
        const ssize_t n = ::send(conn.Fd, conn.Out.data() + conn.OutPos,
                                 conn.Out.size() - conn.OutPos, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) return Close(id);
        conn.OutPos += static_cast<std::size_t>(n);
        conn.Since = Clock::now();
      }
      if (conn.OutPos < conn.Out.size()) break;
      const bool wrote = !conn.Out.empty();
      if (wrote) {
        std::string().swap(conn.Out);
        conn.OutPos = 0;
      }
      // The next piece is read only once the one before has gone: what the connection holds of
      // a body stays within one piece, however slowly the client reads.
      if (conn.Stream) {
        if (!conn.Filling) {
          conn.Filling = true;
          Dispatch({id, {}, false, false, conn.Stream});
        }
        break;
      }
      if (wrote) {
        if (conn.CloseAfter) {
          ::shutdown(conn.Fd, SHUT_WR);
          conn.Lingering = true;
          std::string().swap(conn.In);
          conn.Since = Clock::now();
        }
      }
      if (conn.Busy || conn.CloseAfter || conn.Discard > 0 || conn.In.empty()) break;
      if (!TakeRequest(id, conn)) break;
    }
    // Nothing more will come, and what did come has been answered or can never be completed.
    if (conn.PeerDone && !conn.Busy && conn.Out.empty() && !conn.Stream) return Close(id);
    if (conn.In.empty() && conn.In.capacity() > kKeptCapacity) std::string().swap(conn.In);
    UpdateInterest(id, conn);
  }

  void UpdateInterest(uint64_t id, TConn& conn) {
    uint32_t wanted = 0;
    if (!conn.PeerDone && (conn.Lingering || conn.In.size() < kMaxBuffered))
      wanted |= EPOLLIN | EPOLLRDHUP;
    if (conn.OutPos < conn.Out.size()) wanted |= EPOLLOUT;
    if (wanted == conn.Interest) return;
    conn.Interest = wanted;
    epoll_event ev{};
    ev.events = wanted;
    ev.data.u64 = id;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, conn.Fd, &ev);
  }

  void Dispatch(TJob job) {
    {
      std::lock_guard lock(m_jobLock);
      m_jobs.push_back(std::move(job));
    }
    m_jobReady.notify_one();
  }

  void WorkerLoop() {
    for (;;) {
      TJob job;
      {
        std::unique_lock lock(m_jobLock);
        m_jobReady.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping) return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
      }
      TDone done{job.Id, {}, job.KeepAlive, nullptr};
      if (job.Stream) {
        done.Piece = true;
        try {
          job.Stream->Next(done.Bytes, kMaxUnsentBodyBytes);
        } catch (const std::exception&) {
          done.Failed = true;
        }
      } else {
        try {
          const THttpResponse response = m_handler(job.Request);
          const uint64_t streamed = response.Stream ? response.Stream->Left() : 0;
          done.Bytes = Answer(response.Status, response.ContentType, response.Fields, response.Body,
                              response.Body.size() + streamed, job.WithBody, job.KeepAlive);
          if (job.WithBody && streamed > 0) done.Stream = response.Stream;
        } catch (const std::exception&) {
          done.Bytes = ErrorAnswer(500);
          done.KeepAlive = false;
        }
      }
      {
        std::lock_guard lock(m_doneLock);
        m_done.push_back(std::move(done));
      }
      Wake();
    }
  }

  void DeliverAnswers() {
    std::vector<TDone> done;
    {
      std::lock_guard lock(m_doneLock);
      done.swap(m_done);
    }
    for (auto& answer : done) {
      auto it = m_conns.find(answer.Id);
      if (it == m_conns.end()) continue;  // the client went away meanwhile
      TConn& conn = it->second;
      if (answer.Piece) {
        conn.Filling = false;
        if (answer.Failed) {
          Close(it);
          continue;
        }
        if (conn.Stream->Left() == 0) conn.Stream.reset();
      } else {
        conn.Busy = false;
        conn.Stream = std::move(answer.Stream);
        conn.CloseAfter = !answer.KeepAlive;
      }
      conn.Out = std::move(answer.Bytes);
      conn.OutPos = 0;
      conn.Since = Clock::now();
      Pump(answer.Id, conn);
    }
  }

  // Closes connections that have waited too long for the client.
  void Sweep() {
    const auto now = Clock::now();
    std::vector<uint64_t> expired;
    for (const auto& [id, conn] : m_conns) {
      if (conn.Busy || conn.Filling) continue;
      bool late = false;
      if (conn.Lingering) {
        late = now - conn.Since > kLinger;
      } else if (!conn.Out.empty()) {
        late = now - conn.Since > std::chrono::seconds(m_limits.WriteSeconds);
      } else if (!conn.In.empty() || conn.Discard > 0) {
        late = now - conn.RequestStart > std::chrono::seconds(m_limits.RequestSeconds);
      } else {
        late = now - conn.Since > std::chrono::seconds(m_limits.IdleSeconds);
      }
      if (late) expired.push_back(id);
    }
    for (uint64_t id : expired) Close(id);
  }

  const THttpHandler& m_handler;
  const THttpListenerLimits m_limits;
  const int m_maxConnections;
  const int m_listen;
  const int m_epoll;
  const int m_wake;
  int m_spare;

  // Owned by the event loop thread.
  std::unordered_map<uint64_t, TConn> m_conns;
  uint64_t m_nextId = 2;

  std::mutex m_jobLock;
  std::condition_variable m_jobReady;
  std::deque<TJob> m_jobs;
  bool m_stopping = false;

  std::mutex m_doneLock;
  std::vector<TDone> m_done;

  std::vector<std::thread> m_workers;
  std::thread m_loop;
};

THttpListener::THttpListener(THttpHandler handler, THttpListenerLimits limits)
    : m_handler(std::move(handler)), m_limits(limits) {}

THttpListener::~THttpListener() {
  Stop();
}

bool THttpListener::Start(const std::string& address, int port) {
  if (m_impl) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
    return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // Lets a new window take a port whose previous connections are still in TIME_WAIT; Linux
  // still refuses a port another socket listens on.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, SOMAXCONN) != 0) {
    ::close(fd);
    return false;
  }
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  std::unique_ptr<Impl> impl;
  try {
    impl = std::make_unique<Impl>(m_handler, m_limits, fd);  // owns fd from here on
  } catch (const std::system_error&) {
    return false;
  }
  if (!impl->Ready()) return false;
  m_impl = std::move(impl);
  m_port = ntohs(addr.sin_port);
  return true;
}

void THttpListener::Stop() {
  m_impl.reset();
  m_port = 0;
}

}  // namespace tq
