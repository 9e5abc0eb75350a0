// TVornRateGate: how many requests a crawl sends to one server in a second. The dispatch asks it
// before a link of a server leaves the Queue; a server that had its share waits, others go on.
//
// Threads: any; the gate has its own lock.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tq {

class TVornRateGate {
 public:
  using Clock = std::chrono::steady_clock;
  // A server sees the requests a little later than they leave, and not all equally late: the
  // window is a little longer than a second, so that no second of the server's own counts more
  // than the limit.
  static constexpr auto kWindow = std::chrono::milliseconds(1100);

  // Requests a second to one server; 0: no limit. Forgets what was sent before.
  void SetLimit(int perSecond);
  int Limit() const;

  // Counts a request to server (ExtractUrlServer of its address) at now and returns true when
  // the server had fewer than the limit in the window before now; otherwise counts nothing.
  bool TryTake(std::string_view server, Clock::time_point now = Clock::now());

 private:
  mutable std::mutex m_mutex;
  int m_limit = 0;
  std::unordered_map<std::string, std::deque<Clock::time_point>> m_sent;
};

}  // namespace tq
