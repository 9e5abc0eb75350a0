// Progress records, page analysis on the transfer's thread, priorities and cancelling an
// analysis.
#include "engine/thread_manager.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <condition_variable>

#include "engine/transfer_fixture.h"
#include "foundation/format.h"

namespace tq::test {
namespace {

TEST(ConnectionInfoTest, TextsFollowTheBytesAndTheElapsedTime) {
  struct Case {
    double total, done;
    int64_t ms;
    std::string speed, elapsed, estimated;
    double secondsLeft;
  };
  const Case cases[] = {
      {1000, 10, 0, "O Bytes/s", "", "Unknown", 0},                         // the first millisecond
      {0, 2048, 2000, FormatFileSize(1024) + "/sec", "2s ", "Unknown", 0},  // no size announced
      {4096, 1024, 1000, FormatFileSize(1024) + "/sec", "1s ", "3s ", 3},
      {3072, 1024, 500, FormatFileSize(2048) + "/sec", "", "1s ", 1},         // 0.5 s rounds to 0
      {5120, 1024, 2500, FormatFileSize(409.6) + "/sec", "2s ", "10s ", 10},  // 2.5 s to 2
      {1024, 1024, 3500, FormatFileSize(1024 / 3.5) + "/sec", "4s ", "Unknown", 0},  // 3.5 to 4
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ms);
    const auto info = TVornConnectionInfo::Make(c.total, c.done, c.ms);
    EXPECT_EQ(info.SpeedText, c.speed);
    EXPECT_EQ(info.ElapsedText, c.elapsed);
    EXPECT_EQ(info.EstimatedText, c.estimated);
    EXPECT_DOUBLE_EQ(info.SecondsLeft, c.secondsLeft);
    EXPECT_EQ(info.DoneText, FormatFileSize(c.done));
    EXPECT_EQ(info.TotalText, FormatFileSize(c.total));
  }
}

class PageWorkTest : public TransferFixture {
 protected:
  PageWorkTest() {
    m_server.Route("/page.html", [](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: TEXT/html; charset=utf-8\r\n",
                                    "<p>raw</p>"));
    });
  }
};

// One analysis at a time is the analyser's own lock (see the content tests); here the pages'
// hooks stand in for it.
TEST_F(PageWorkTest, HtmlIsAnalysedOnWorkerThreadsAtThePagePriority) {
  m_manager.ThreadsPriority = tpLowest;
  std::atomic<int> analysed{0};
  std::vector<int> nice(4, -100);
  std::vector<TVornPagePtr> pages;
  std::atomic<int> starts{0}, ends{0};
  m_manager.OnAnalysisStart = [&](const TVornPagePtr&) { ++starts; };
  m_manager.OnAnalysisEnd = [&](const TVornPagePtr&) { ++ends; };
  for (int i = 0; i < 4; ++i) {
    pages.push_back(Start(m_server.Url("/page.html"), nullptr, [&, i](TVornPage& page) {
      page.Analyser().Analyse = [&, i](TVornPageAnalyser& a, const std::string& raw) {
        errno = 0;
        nice[i] = getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadTid()));
        ++analysed;
        return "analysed(" + raw + ") level " + std::to_string(a.Level);
      };
    }));
  }
  for (const auto& p : pages) ASSERT_TRUE(WaitFinished(p));
  EXPECT_EQ(analysed, 4);
  EXPECT_EQ(starts, 4);
  EXPECT_EQ(ends, 4);
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(Record(pages[i]).Content, "analysed(<p>raw</p>) level 1");
    EXPECT_EQ(pages[i]->Outcome, kOutcomeFetched);
    EXPECT_EQ(nice[i], NiceValueOf(tpLowest));
  }
  EXPECT_EQ(m_manager.PageCount(), 0);
}

TEST_F(PageWorkTest, StoppingDuringAnalysisWaitsForItAndHandsBackTheRawDocument) {
  std::mutex mutex;
  std::condition_variable cv;
  bool inside = false, release = false;
  TVornPagePtr page = Start(m_server.Url("/page.html"), nullptr, [&](TVornPage& p) {
    p.Analyser().Analyse = [&](TVornPageAnalyser& a, const std::string&) {
      std::unique_lock<std::mutex> lock(mutex);
      inside = true;
      cv.notify_all();
      cv.wait(lock, [&] { return release; });
      EXPECT_TRUE(a.Cancelled());
      return std::string("analysed");
    };
  });
  ASSERT_TRUE(RunUntil([&] {
    std::lock_guard<std::mutex> guard(mutex);
    return inside;
  }));
  EXPECT_EQ(m_manager.PageCount(), 1);  // a page being analysed still counts
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    m_manager.CancelAll();
    stopped = true;
  });
  ASSERT_TRUE(RunUntil([&] { return page->Analyser().Cancelled(); }));
  EXPECT_FALSE(stopped);
  {
    std::lock_guard<std::mutex> guard(mutex);
    release = true;
    cv.notify_all();
  }
  EXPECT_TRUE(RunUntil([&] { return stopped.load(); }));
  stopper.join();
  EXPECT_EQ(page->Outcome, kOutcomeCancelled);
  EXPECT_EQ(Record(page).Content, "<p>raw</p>");
}

}  // namespace
}  // namespace tq::test
