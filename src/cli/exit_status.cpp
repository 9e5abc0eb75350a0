// Exit statuses.
#include "cli/exit_status.h"

#include <csignal>

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

int CrawlCommandStatus(TVornDownload& download, bool finished, int signal, int printed,
                       size_t readyBefore, size_t failedBefore) {
  if (!download.StorageFailure().empty()) return 1;
  if (!finished) return InterruptedExitStatus(signal != 0 ? signal : SIGINT);
  if (printed != 0) return printed;
  return CrawlExitStatus(download, readyBefore, failedBefore);
}

}  // namespace tq::cli
