// The figures of a project's statistics dialog, read from its engine's lists. Counting takes no
// list lock, so it may be read again and again while a crawl runs; the figures of one reading
// may then be a few links apart. Interface thread.
#pragma once

#include <string>

namespace tq {

class TVornDownload;

struct TProjectStatistics {
  std::string BaseUrl, ProjectName;
  int Total = 0;  // every list but the e-mail addresses
  int Downloaded = 0, Queued = 0, Failed = 0, Ignored = 0, Emails = 0;
  // Each bar's share of Total in percent; 0 for an empty project.
  int DownloadedPercent = 0, QueuedPercent = 0, FailedPercent = 0, IgnoredPercent = 0;
};

TProjectStatistics ReadStatistics(TVornDownload& engine);

// count as a percentage of total, rounded to the nearest integer with halves to the even one;
// a total of 0 counts as 1.
int SharePercent(int count, int total);

// "N pages", as the dialog shows every count of links.
std::string PagesText(int count);

}  // namespace tq
