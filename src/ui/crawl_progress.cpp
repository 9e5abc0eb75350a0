// The figures of a crawl at a glance.
#include "ui/crawl_progress.h"

#include <algorithm>
#include <cmath>

#include "engine/download.h"
#include "foundation/format.h"

namespace tq {
namespace {

std::string DurationText(double seconds) {
  const std::string text = FormatDuration(static_cast<int32_t>(std::min(seconds, 2.0e9)));
  return text.empty() ? std::string("0s") : text.substr(0, text.size() - 1);
}

}  // namespace

TCrawlCounts ReadCrawlCounts(TVornDownload& engine) {
  TCrawlCounts c;
  c.Ready = engine.ReadyLinks().Count();
  c.Failed = engine.FailedLinks().Count();
  c.Working = engine.WorkingLinks().Count();
  c.Queued = engine.QueueLinks().Count();
  return c;
}

void TCrawlProgress::Start(TClock::time_point now, const TCrawlCounts& counts, int64_t bytes) {
  m_start = now;
  m_doneAtStart = counts.Done();
  m_bytesAtStart = bytes;
}

double TCrawlProgress::Seconds(TClock::time_point now) const {
  return std::max(0.0, std::chrono::duration<double>(now - m_start).count());
}

std::string TCrawlProgress::CountsText(const TCrawlCounts& counts) {
  std::string text = std::to_string(counts.Done()) + " done";
  if (counts.Failed > 0) text += " (" + std::to_string(counts.Failed) + " failed)";
  return text + ", " + std::to_string(counts.Queued + counts.Working) + " queued";
}

std::string TCrawlProgress::DoneOfTotal(const TCrawlCounts& counts) {
  return std::to_string(counts.Done()) + "/" + std::to_string(counts.Total());
}

std::string TCrawlProgress::RateText(TClock::time_point now, int64_t bytes) const {
  const double seconds = Seconds(now);
  const double arrived = static_cast<double>(std::max<int64_t>(0, bytes - m_bytesAtStart));
  return FormatFileSize(seconds < 1 ? 0.0 : std::floor(arrived / seconds)) + "/s";
}

std::string TCrawlProgress::TimeText(TClock::time_point now, const TCrawlCounts& counts) const {
  const double seconds = Seconds(now);
  std::string text = "Elapsed " + DurationText(seconds);
  // Pages finished before this start took no time of this run; a resumed crawl counts anew.
  const int done = counts.Done() - m_doneAtStart;
  const int left = counts.Queued + counts.Working;
  if (left == 0) return text;
  if (done <= 0 || seconds < 1) return text + ", estimating";
  return text + ", about " + DurationText(std::ceil(left * seconds / done)) + " left";
}

}  // namespace tq
