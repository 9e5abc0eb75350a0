// Exit statuses.
#include "cli/exit_status.h"

#include "engine/download.h"

namespace tq::cli {

int InterruptedExitStatus(int signal) {
  return 128 + signal;
}

int CrawlExitStatus(TVornDownload& download, size_t readyBefore, size_t failedBefore) {
  const auto failed = static_cast<size_t>(download.FailedLinks().Count());
  if (failed == 0) return 0;
  const bool fetched = static_cast<size_t>(download.ReadyLinks().Count()) > readyBefore;
  return !fetched && failed > failedBefore ? kExitNothingFetched : kExitSomeFailed;
}

}  // namespace tq::cli
