// Size bounds, refusals and the callback guard of the transfers.
#include "engine/transfer_limits.h"

#include <algorithm>

#include "engine/page.h"

namespace tq {

int64_t BodyLimit(const TVornSizeVerdict& verdict) {
  return verdict.MaxBytes < 0 ? kMaxContentBytes : std::min(verdict.MaxBytes, kMaxContentBytes);
}

std::string RefuseBySize(TVornPage& page, double size, const std::string& address,
                         std::string_view reason) {
  std::string refusal = MakeRefusalPage(size, address);
  if (page.Link) {
    page.Link->SetSizeAndType(static_cast<int64_t>(refusal.size()), "TEXT/HTML");
    if (!reason.empty()) page.Link->SetReason(std::string(reason));
  }
  page.Outcome = kOutcomeRefused;
  return refusal;
}

}  // namespace tq
