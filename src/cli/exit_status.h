// The exit statuses of tarnquill-cli, the numbers scripts test (the man page lists them).
#pragma once

#include <cstddef>

namespace tq {
class TVornDownload;
}

namespace tq::cli {

inline constexpr int kExitNothingFetched = 4;  // a crawl got no document: every link failed
inline constexpr int kExitSomeFailed = 8;      // a crawl ended with links in the Failed list

// The status of a command a signal stopped (after it saved what it had): 128 plus the signal's
// number, as a shell reports a program the signal ended (130 for Ctrl-C).
int InterruptedExitStatus(int signal);

// The status of a crawl that ended by itself, given the sizes of its Ready and Failed lists when
// it started (a resumed project has some): 0 when the Failed list is empty, kExitNothingFetched
// when this run added failed links and no document, else kExitSomeFailed.
int CrawlExitStatus(TVornDownload& download, size_t readyBefore, size_t failedBefore);

// The status of crawl and resume once the project is saved: 1 when the working folder refused a
// write, 128 + the signal when one stopped the crawl (SIGINT when it stopped otherwise), the
// printing's status when that failed, else CrawlExitStatus.
int CrawlCommandStatus(TVornDownload& download, bool finished, int signal, int printed,
                       size_t readyBefore, size_t failedBefore);

}  // namespace tq::cli
