// TCrawlProgress: what a crawling project shows at a glance in the status bar, the window title
// and the tray: pages done and queued, the transfer rate, the time elapsed and an estimate of the
// time left. It is handed the lists' counts (each kept by its list, so reading them costs nothing)
// and the bytes of the pages arrived so far; it reads no list itself. Interface thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tq {

class TVornDownload;

// The lists' counts at one moment.
struct TCrawlCounts {
  int Ready = 0, Failed = 0, Working = 0, Queued = 0;

  // Finished either way, and all the crawl knows of so far.
  int Done() const { return Ready + Failed; }
  int Total() const { return Done() + Working + Queued; }
};

TCrawlCounts ReadCrawlCounts(TVornDownload& engine);

class TCrawlProgress {
 public:
  using TClock = std::chrono::steady_clock;

  // A crawl starts (or resumes) at now with counts and bytes arrived: the rate and the estimate
  // count from here.
  void Start(TClock::time_point now, const TCrawlCounts& counts, int64_t bytes);

  // "12 done, 30 queued"; failures are told apart: "12 done (2 failed), 30 queued".
  static std::string CountsText(const TCrawlCounts& counts);
  // "12/42": finished of all known.
  static std::string DoneOfTotal(const TCrawlCounts& counts);
  // "45.2 Kb/s" since the start, bytes being all arrived by now.
  std::string RateText(TClock::time_point now, int64_t bytes) const;
  // "Elapsed 1m 5s, about 2m 40s left"; the estimate waits for a first page.
  std::string TimeText(TClock::time_point now, const TCrawlCounts& counts) const;

 private:
  double Seconds(TClock::time_point now) const;

  TClock::time_point m_start{};
  int m_doneAtStart = 0;
  int64_t m_bytesAtStart = 0;
};

}  // namespace tq
