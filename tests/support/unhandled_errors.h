// Collects what reaches ReportUnhandled while it lives, from any thread, instead of stderr.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "foundation/errors.h"

namespace tq::test {

class TUnhandledErrors {
 public:
  TUnhandledErrors() {
    m_previous = SetUnhandledHook([this](const std::string& where, const std::string& what) {
      std::lock_guard guard(m_lock);
      m_reports.push_back(where + ": " + what);
    });
  }
  ~TUnhandledErrors() { SetUnhandledHook(std::move(m_previous)); }
  TUnhandledErrors(const TUnhandledErrors&) = delete;
  TUnhandledErrors& operator=(const TUnhandledErrors&) = delete;

  // Each report as "where: what".
  std::vector<std::string> Reports() const {
    std::lock_guard guard(m_lock);
    return m_reports;
  }

 private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_reports;
  TUnhandledHook m_previous;
};

}  // namespace tq::test
