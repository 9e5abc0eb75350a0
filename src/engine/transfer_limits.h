// What every transfer kind (HTTP, FTP) shares while it takes a document in: the size bounds and
// the hard cap on a body, the refusal of a document the bounds do not allow, and the guard that
// keeps errors out of the network library's callbacks.
//
// All of it runs on the transfer's own thread; nothing here is shared between transfers.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/errors.h"

namespace tq {

class TVornPage;

// The most bytes a document may have: the project file describes sizes in 32 bits, so
// 2 GiB - 1 is the largest document it can store. A body with no smaller bound stops here.
inline constexpr int64_t kMaxContentBytes = INT32_MAX;

// What the size bounds say about a document, asked once its size is announced (0 when the
// server announced none).
struct TVornSizeVerdict {
  bool Allowed = true;    // the announced size is within the bounds
  int64_t MaxBytes = -1;  // the most bytes the bounds allow the body to reach; -1: no maximum
  std::string Reason;     // what a link refused by the bounds is listed with
};

// The most bytes the body may reach under verdict, and never more than kMaxContentBytes.
int64_t BodyLimit(const TVornSizeVerdict& verdict);

// The "Page Ignored" page for a document refused by its size.
std::string MakeRefusalPage(double size, const std::string& address);

// Records on the page that its document was refused by the size bounds at size bytes (announced,
// or reached while receiving): the link gets the refusal page's size and type and the reason, the
// page the refused outcome. Returns the refusal page, the content that stands for the document.
std::string RefuseBySize(TVornPage& page, double size, const std::string& address,
                         std::string_view reason);

// Runs the parts of a C library's callbacks that may throw, so that no exception unwinds through
// the library's frames: the first error is kept as the attempt's error and the callback gives the
// library its abort value, then and at every later call in the same attempt.
class TVornCallbackGuard {
 public:
  template <class R, class Fn>
  R Run(R abortValue, Fn&& fn) noexcept {
    if (m_failed) return abortValue;
    try {
      return fn();
    } catch (...) {
      m_failed = true;
      try {
        m_error = CurrentExceptionText();
      } catch (...) {
        // No memory for the text: Error() has one that needs none.
      }
    }
    return abortValue;
  }

  bool Failed() const { return m_failed; }
  std::string Error() const { return m_error.empty() ? "Out of memory" : m_error; }

 private:
  bool m_failed = false;
  std::string m_error;
};

}  // namespace tq
