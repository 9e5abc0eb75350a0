// The system's own exception classes. Every error the system raises derives from EVornError, so
// a thread boundary can catch the system's errors apart from library and runtime ones.
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tq {

class EVornError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operating-system call failed; Code is the errno value the message reports.
class EVornOSError : public EVornError {
 public:
  EVornOSError(const std::string& message, int code) : EVornError(message), m_code(code) {}
  int Code() const { return m_code; }

 private:
  int m_code;
};

// The message of the exception being handled; call it inside a catch block only.
inline std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

// The one sink of errors nobody handles: whatever escapes a background thread's procedure, a
// hand-over to the interface thread or a timer's handler ends here. where names the place
// ("search thread", "interface-thread task"). Any thread may call it.
void ReportUnhandled(std::string_view where, const std::exception_ptr& error);

// Runs fn and sends whatever it raises to ReportUnhandled under where; true when fn ran to its end.
bool RunReporting(std::string_view where, const std::function<void()>& fn);

// Receives what ReportUnhandled is given, as where and the error's text; an empty hook restores
// the default, a line on stderr. Returns the hook it replaces. The hook runs on the reporting
// thread and must not report again.
using TUnhandledHook = std::function<void(const std::string& where, const std::string& what)>;
TUnhandledHook SetUnhandledHook(TUnhandledHook hook);

}  // namespace tq
