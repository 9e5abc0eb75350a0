// Reader/writer lock with per-thread read counts, so that nested reads never wait behind a
// writer that waits for them.
#include "foundation/rw_lock.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tq {
namespace {

// Read holds per lock of this thread. A thread holds few locks at once, so a short vector beats
// a map; entries are dropped when they reach zero so a lock's address can be reused safely.
thread_local std::vector<std::pair<const TVornRWLock*, int>> t_reads;

}  // namespace

int& TVornRWLock::ThreadReads() {
  for (auto& entry : t_reads) {
    if (entry.first == this) return entry.second;
  }
  t_reads.emplace_back(this, 0);
  return t_reads.back().second;
}

void TVornRWLock::ForgetThreadReads() {
  std::erase_if(t_reads,
                [this](const auto& entry) { return entry.first == this && entry.second == 0; });
}

void TVornRWLock::BeginRead() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(m_mutex);
  int& mine = ThreadReads();
  if (m_writer != self) {
    // A thread that already reads goes on at once: waiting for a queued writer would wait for
    // itself.
    if (mine == 0)
      m_changed.wait(lock, [&] { return m_writer == std::thread::id() && m_waitingWriters == 0; });
    ++m_readers;
  }
  ++mine;
}

void TVornRWLock::EndRead() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(m_mutex);
  int& mine = ThreadReads();
  if (mine == 0) return;  // unpaired: ignore rather than corrupt the counts
  --mine;
  if (m_writer != self) {
    --m_readers;
    if (m_readers == 0) m_changed.notify_all();
  }
  if (mine == 0) ForgetThreadReads();
}

void TVornRWLock::BeginWrite() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(m_mutex);
  if (m_writer == self) {
    ++m_writeDepth;
    return;
  }
  // Give up own read holds while waiting, or two readers that both want to write would wait for
  // each other forever.
  const int mine = ThreadReads();
  m_readers -= mine;
  if (mine == 0) ForgetThreadReads();
  if (mine > 0 && m_readers == 0) m_changed.notify_all();
  ++m_waitingWriters;
  m_changed.wait(lock, [&] { return m_writer == std::thread::id() && m_readers == 0; });
  --m_waitingWriters;
  m_writer = self;
  m_writeDepth = 1;
}

void TVornRWLock::EndWrite() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(m_mutex);
  if (m_writer != self) return;  // unpaired: ignore
  if (--m_writeDepth > 0) return;
  m_writer = std::thread::id();
  // Read holds taken before or inside the write stay held.
  for (const auto& entry : t_reads) {
    if (entry.first == this) m_readers += entry.second;
  }
  m_changed.notify_all();
}

bool TVornRWLock::IsWriter() const {
  std::lock_guard lock(m_mutex);
  return m_writer == std::this_thread::get_id();
}

}  // namespace tq
