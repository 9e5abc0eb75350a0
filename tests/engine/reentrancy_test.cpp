// The interface thread as the GUI uses it: handlers and tasks that stop or destroy a crawl while
// pages are in flight, a modal login prompt, crawl steps without a thread, and reads of a link
// while its transfer writes it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QEventLoop>
#include <QTimer>

#include "engine/download.h"
#include "engine/worker_thread.h"
#include "support/fake_dialog_service.h"
#include "support/http_test_server.h"

namespace tq::test {
namespace {

// A crawl of a site served on loopback, as a new project with no retries, unpaced.
struct TCrawl {
  explicit TCrawl(const std::string& start) {
    ApplyNewProjectSettings(dl->Settings());
    dl->System().RetriesOnFailed = 0;
    dl->SetDispatchInterval(0);
    dl->SetVornOptions(&options);
    dl->General().BaseUrl = start;
  }
  bool Ended() const {
    return RunUntil([&] { return dl->State() == edsReady; }, Millis(20000));
  }
  bool Has(TVornLinkList list, const std::string& url) const {
    return dl->Links(list).FindUrl(kFindExact, url) >= 0;
  }
  TVornOptions options;
  std::unique_ptr<TVornDownload> dl = std::make_unique<TVornDownload>();
};

constexpr int kStalled = 5;

using TAct = std::function<void()>;
using TInstall = std::function<void(TVornEventHandlers&, TAct)>;
using TTrigger = std::pair<const char*, TInstall>;
#define TQ_ON(slot) \
  TTrigger(#slot, [](TVornEventHandlers& h, TAct act) { h.slot = [act](auto&&...) { act(); }; })

// Every kind of event arrives while five pages stall: one more page ends at once and leads to a
// failing page, a loading one, a mail address and a foreign server. The stop comes from a handler
// of each kind, or from a task with another queued behind it (the workers' results queue behind
// that one); a handler or such a task may also destroy the controller.
TEST(ReentrancyTest, HandlersAndTasksStopOrDestroyACrawlWithFivePagesInFlight) {
  HttpTestServer site;
  std::string index;
  for (int i = 0; i < kStalled; ++i) {
    index += "<a href=slow" + std::to_string(i) + ".html>s</a>";
    site.Route("/slow" + std::to_string(i) + ".html", [](const TestRequest&, TestConnection& c) {
      c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\n<p>");
      c.WaitForPeerClose();
    });
  }
  site.Route("/index.html", Page(index + "<a href=late.html>l</a>"));
  site.Route("/late.html", Page("<a href=missing.html>m</a><a href=ok.html>o</a>"
                                "<a href=\"mailto:me@example.test\">e</a>"
                                "<a href=\"http://elsewhere.test/x.html\">x</a>"));
  site.Route("/ok.html", Page("<p>ok</p>"));
  const TTrigger triggers[] = {
      TQ_ON(OnNewQueue),  TQ_ON(OnDelQueue),   TQ_ON(OnNewWorking),       TQ_ON(OnNewReady),
      TQ_ON(OnNewFailed), TQ_ON(OnNewIgnored), TQ_ON(OnNewEmail),         TQ_ON(OnStartThread),
      TQ_ON(OnStatus),    TQ_ON(OnWork),       TQ_ON(OnFetchStart),       TQ_ON(OnFetchEnd),
      TQ_ON(OnError),     TQ_ON(OnJobReady),   TTrigger("task", nullptr),
  };
  for (const auto& [trigger, install] : triggers) {
    for (const bool destroy : {false, true}) {
      if (destroy && install && std::string(trigger) != "OnStatus") continue;
      SCOPED_TRACE(std::string(trigger) + (destroy ? " destroys" : " stops"));
      TCrawl c(site.Url("/index.html"));
      c.dl->System().ThreadsCount = kStalled + 1;
      bool acted = false;
      const TAct act = [&] {
        if (acted || c.dl->WorkingLinks().Count() < kStalled) return;
        acted = true;
        if (destroy) {
          c.dl.reset();
        } else {
          c.dl->StopDownload();
        }
      };
      if (install) install(c.dl->Handlers(), act);
      c.dl->StartDownload();
      if (!install) {
        ASSERT_TRUE(RunUntil([&] { return c.dl->WorkingLinks().Count() >= kStalled; }));
        PostToInterface(act);
        PostToInterface([] {});
      }
      ASSERT_TRUE(RunUntil([&] { return acted; }, Millis(20000)));
      if (destroy) continue;
      ASSERT_TRUE(c.Ended());
      EXPECT_EQ(c.dl->ThreadManager().PageCount(), 0);
      EXPECT_EQ(c.dl->WorkingLinks().Count() + c.dl->PendingLinks().Count(), 0);
      for (int i = 0; i < kStalled; ++i)
        EXPECT_TRUE(c.Has(ellQueue, site.Url("/slow" + std::to_string(i) + ".html")));
    }
  }
}

// A modal login prompt runs its own loop while the tasks queued behind the one that opened it (the
// other pages' results) wait: they run inside that loop, not once it closes.
TEST(ReentrancyTest, ALoginPromptsOwnLoopRunsTheTasksQueuedBehindIt) {
  auto dialogs = std::make_shared<TFakeDialogService>();
  bool behindRan = false, ranWhileOpen = false;
  dialogs->whileLoginOpen = [&] {
    QEventLoop loop;  // as a modal dialog runs
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (behindRan) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    ranWhileOpen = behindRan;
  };
  SetDialogService(dialogs);
  TVornPasswords passwords;
  PostToInterface([&] { passwords.LookupCredentials("http://h/secret.html", true); });
  PostToInterface([&] { behindRan = true; });
  const bool ran = RunUntil([&] { return behindRan; }, Millis(20000));
  SetDialogService(nullptr);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(ranWhileOpen);
  EXPECT_EQ(dialogs->Questions().size(), 1u);
}

// A worker that cannot be had (no thread left) costs the step that needed it, never the crawl.
// (A page's analysis runs on its transfer's thread and needs none of its own.)
TEST(ReentrancyTest, AStepWithoutAThreadFailsAloneAndTheCrawlGoesOn) {
  HttpTestServer site;
  site.Route("/index.html", Page("<a href=a.html>a</a>"));
  site.Route("/a.html", Page("<p>a</p>"));
  struct Case {
    const char* step;
    int skip;  // thread starts that succeed first
    int ready, failed;
    std::string start;  // empty: the site's index
  };
  for (const Case& k :
       {Case{"transfer", 0, 0, 1, ""}, Case{"admission", 1, 2, 0, ""},
        Case{"next transfer", 2, 1, 1, ""}, Case{"FTP transfer", 0, 0, 1, "ftp://127.0.0.1:1/a"}}) {
    SCOPED_TRACE(k.step);
    TCrawl c(k.start.empty() ? site.Url("/index.html") : k.start);
    TVornWorkerThread::TestOnlyFailStarts(1, k.skip);
    c.dl->StartDownload();
    const bool ended = c.Ended();
    TVornWorkerThread::TestOnlyFailStarts(0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(c.dl->ReadyLinks().Count(), k.ready);
    ASSERT_EQ(c.dl->FailedLinks().Count(), k.failed);
    if (k.failed > 0) {
      EXPECT_EQ(c.dl->FailedLinks().Get(0)->ErrorText.rfind("Cannot start", 0), 0u);
    }
  }
}

// The interface reads a link in progress under its list's lock while the transfer writes its
// size; the thread sanitizer build sees a write made without that lock.
TEST(ReentrancyTest, TheInterfaceReadsALinkInProgressWhileItsTransferWritesIt) {
  HttpTestServer site;
  std::atomic<bool> reading{false};
  site.Route("/file.bin", [&](const TestRequest& q, TestConnection& c) {
    RunUntil([&] { return reading.load(); });  // the write comes while the interface reads
    Page(std::string(3000, 'b'), "application/x-test")(q, c);
  });
  TCrawl c(site.Url("/file.bin"));
  int32_t seen = 0;
  c.dl->OnStatus() = [&](const TVornPagePtr&, TVornConnectionStatus status, const std::string&,
                         const TVornLinkPtr& link) {
    if (status != ecsConnected) return;
    reading = true;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         seen == 0 && std::chrono::steady_clock::now() < end;) {
      TVornReadGuard guard(c.dl->WorkingLinks().Lock());
      seen = link->Size;
    }
  };
  c.dl->StartDownload();
  ASSERT_TRUE(c.Ended());
  EXPECT_EQ(seen, 3000);
}

}  // namespace
}  // namespace tq::test
