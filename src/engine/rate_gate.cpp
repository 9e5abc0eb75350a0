#include "engine/rate_gate.h"

namespace tq {

void TVornRateGate::SetLimit(int perSecond) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_limit = perSecond < 0 ? 0 : perSecond;
  m_sent.clear();
}

int TVornRateGate::Limit() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_limit;
}

bool TVornRateGate::TryTake(std::string_view server, Clock::time_point now) {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_limit == 0) return true;
  std::deque<Clock::time_point>& sent = m_sent[std::string(server)];
  while (!sent.empty() && now - sent.front() >= kWindow) sent.pop_front();
  if (static_cast<int>(sent.size()) >= m_limit) return false;
  sent.push_back(now);
  return true;
}

}  // namespace tq
