// Counting a project's links for the statistics dialog.
#include "dialogs/project_statistics.h"

#include <cmath>

#include "engine/download.h"

namespace tq {

int SharePercent(int count, int total) {
  // nearbyint rounds in the default mode: to nearest, halves to the even neighbour.
  return static_cast<int>(std::nearbyint(100.0 * count / (total == 0 ? 1 : total)));
}

std::string PagesText(int count) {
  return std::to_string(count) + " pages";
}

TProjectStatistics ReadStatistics(TVornDownload& engine) {
  TProjectStatistics s;
  s.BaseUrl = engine.General().StartingUrl();
  s.ProjectName = engine.General().ProjectName();
  s.Downloaded = engine.ReadyLinks().Count();
  s.Queued = engine.QueueLinks().Count();
  s.Failed = engine.FailedLinks().Count();
  s.Ignored = engine.IgnoredLinks().Count();
  s.Emails = engine.EmailLinks().Count();
  s.Total = engine.WorkingLinks().Count() + s.Ignored + s.Downloaded + s.Queued + s.Failed;
  s.DownloadedPercent = SharePercent(s.Downloaded, s.Total);
  s.QueuedPercent = SharePercent(s.Queued, s.Total);
  s.FailedPercent = SharePercent(s.Failed, s.Total);
  s.IgnoredPercent = SharePercent(s.Ignored, s.Total);
  return s;
}

}  // namespace tq
