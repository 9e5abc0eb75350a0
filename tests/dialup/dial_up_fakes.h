// A scripted phonebook and a clock that moves only when told, for the dialer and the scheduled
// actions.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "dialup/clock.h"
#include "platform/dial_up.h"

namespace tq::test {

// One entry "Modem" by default; calls succeed unless results holds scripted outcomes. Safe to
// call from the dialer's thread and the test's at once.
class TFakeDialUp : public IDialUpService {
 public:
  std::vector<std::string> GetEntries() override {
    std::lock_guard guard(m_lock);
    return entries;
  }
  int ActiveConnectionCount() override {
    std::lock_guard guard(m_lock);
    return up ? 1 : 0;
  }
  TDialResult Dial(const std::string& entry) override {
    std::lock_guard guard(m_lock);
    dialled.push_back(entry);
    TDialResult result;
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    }
    up = result.Code == 0;
    return result;
  }
  TDialResult SetEntryCredentials(const std::string& entry, const std::string& user,
                                  const std::string& password) override {
    std::lock_guard guard(m_lock);
    credentials.emplace_back(entry, user, password);
    return {};
  }
  void HangUpAll() override {
    std::lock_guard guard(m_lock);
    up = false;
    ++hangUpsAll;
  }
  void HangUpLast() override {
    std::lock_guard guard(m_lock);
    ++hangUpsLast;
  }

  // Set before the dialer runs; read after it is done.
  std::vector<std::string> entries{"Modem"};
  std::deque<TDialResult> results;
  bool up = false;
  std::vector<std::string> dialled;
  std::vector<std::tuple<std::string, std::string, std::string>> credentials;
  int hangUpsAll = 0;
  int hangUpsLast = 0;

 private:
  std::mutex m_lock;
};

// Now is what the test sets; a sleep returns at once (counted), as if the second had passed.
class TFakeClock : public IVornClock {
 public:
  TDateTime Now() const override { return now; }
  bool Sleep(Millis, const TCancelFlag& cancel) const override {
    std::lock_guard guard(m_lock);
    ++m_sleeps;
    return cancel.Raised();
  }
  int Sleeps() const {
    std::lock_guard guard(m_lock);
    return m_sleeps;
  }

  TDateTime now = 0;

 private:
  mutable std::mutex m_lock;
  mutable int m_sleeps = 0;
};

}  // namespace tq::test
