// A multiple-reader / single-writer lock. The thread holding the write side may take it again and
// may take the read side inside it; a reader may take the read side again even while a writer
// waits; a reader that asks for the write side gives its read holds up while it waits for the
// writer slot and gets them back when it ends its last write (so what it read before may have
// changed). Waiting writers are served before new readers.
//
// Every method may be called from any thread; Begin and End calls must pair up per thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tq {

class TVornRWLock {
 public:
  TVornRWLock() = default;
  TVornRWLock(const TVornRWLock&) = delete;
  TVornRWLock& operator=(const TVornRWLock&) = delete;

  void BeginRead();
  void EndRead();
  void BeginWrite();
  void EndWrite();

  // True when the calling thread holds the write side.
  bool IsWriter() const;

 private:
  int& ThreadReads();  // read holds of the calling thread on this lock
  void ForgetThreadReads();

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::thread::id m_writer;
  int m_writeDepth = 0;
  int m_readers = 0;  // read holds of threads other than the writer
  int m_waitingWriters = 0;
};

class TVornReadGuard {
 public:
  explicit TVornReadGuard(TVornRWLock& lock) : m_lock(lock) { m_lock.BeginRead(); }
  ~TVornReadGuard() { m_lock.EndRead(); }
  TVornReadGuard(const TVornReadGuard&) = delete;
  TVornReadGuard& operator=(const TVornReadGuard&) = delete;

 private:
  TVornRWLock& m_lock;
};

class TVornWriteGuard {
 public:
  explicit TVornWriteGuard(TVornRWLock& lock) : m_lock(lock) { m_lock.BeginWrite(); }
  ~TVornWriteGuard() { m_lock.EndWrite(); }
  TVornWriteGuard(const TVornWriteGuard&) = delete;
  TVornWriteGuard& operator=(const TVornWriteGuard&) = delete;

 private:
  TVornRWLock& m_lock;
};

}  // namespace tq
