// TVornPage: the bundle of work for one link being fetched (its transfers and analyser hang off
// it), and the outcome that decides which list the link goes to afterwards. Created and finished
// on the interface thread; the worker threads of one page write its Outcome before handing the
// page back.
#pragma once

#include <cstdint>
#include <string>

#include "engine/link.h"

namespace tq {

// TVornPage::Outcome values.
inline constexpr uint8_t kOutcomeNone = 0;     // nothing yet
inline constexpr uint8_t kOutcomeFetched = 1;  // the content is the document (or its analysed copy)
inline constexpr uint8_t kOutcomeRefused = 2;  // refused by the size bounds: a "Page Ignored" page
inline constexpr uint8_t kOutcomeRedirected = 3;  // the content is the generated "Redirected" page
inline constexpr uint8_t kOutcomeCancelled = 4;
inline constexpr uint8_t kOutcomeFailed = 5;  // after the last retry

class TVornPage {
 public:
  std::string Url;    // the page address
  int32_t Level = 0;  // the page's depth level
  TVornLinkPtr Link;  // the In Progress link being worked on; shared with WorkingLinks
  int Priority = 0;   // thread priority of the page's workers
  uint8_t Outcome = kOutcomeNone;
};

}  // namespace tq
