// The system's own exception classes. Every error the system raises derives from EVornError, so
// a thread boundary can catch the system's errors apart from library and runtime ones.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

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

}  // namespace tq
