// The interface thread as the GUI uses it: handlers and tasks that stop or destroy a crawl while
// pages are in flight, a modal login prompt, crawl steps that fail, and reads of a link while
// its transfer writes it.
// ctest: timeout=180
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QEventLoop>
#include <QTimer>

#include "engine/connection_thread.h"
#include "engine/crawl_fixture.h"
#include "support/fake_dialog_service.h"

namespace tq::test {
namespace {

constexpr int kStalled = 5;

// Five pages that stall (an announced body that never comes) and one that ends at once and leads
// to a failing page, a loading one, a mail address and a foreign server: so events of every kind
// arrive while five pages are in flight.
class BusyCrawl {
 public:
  BusyCrawl() {
    std::string index;
    for (int i = 0; i < kStalled; ++i) {
      index += "<a href=slow" + std::to_string(i) + ".html>s</a>";
      site.Route("/slow" + std::to_string(i) + ".html", [](const TestRequest&, TestConnection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\n<p>");
        c.WaitForPeerClose();
      });
    }
    site.Route("/index.html", Html(index + "<a href=late.html>l</a>"));
    site.Route("/late.html", Html("<a href=missing.html>m</a><a href=ok.html>o</a>"
                                  "<a href=\"mailto:me@example.test\">e</a>"
                                  "<a href=\"http://elsewhere.test/x.html\">x</a>"));
    site.Route("/ok.html", Html("<p>ok</p>"));
    ApplyNewProjectSettings(dl->Settings());
    dl->System().RetriesOnFailed = 0;
    dl->System().ThreadsCount = kStalled + 1;
    dl->SetDispatchInterval(0);
    dl->SetVornOptions(&options);
    dl->General().BaseUrl = site.Url("/index.html");
  }

  bool FiveInFlight() const { return dl && dl->WorkingLinks().Count() >= kStalled; }
  // After a stop: nothing in flight or waiting, the stalled pages back in the Queue.
  void ExpectStoppedCleanly() const {
    ASSERT_TRUE(RunUntil([&] { return dl->State() == edsReady; }, Millis(20000)));
    EXPECT_EQ(dl->ThreadManager().PageCount(), 0);
    EXPECT_EQ(dl->WorkingLinks().Count() + dl->PendingLinks().Count(), 0);
    for (int i = 0; i < kStalled; ++i) {
      EXPECT_GE(dl->QueueLinks().FindUrl(kFindExact, site.Url("/slow" + std::to_string(i) + ".html")),
                0);
    }
  }

  HttpTestServer site;
  TVornOptions options;
  std::unique_ptr<TVornDownload> dl = std::make_unique<TVornDownload>();
};

using TAct = std::function<void()>;
struct THandlerKind {
  const char* name;
  std::function<void(TVornDownload&, TAct)> install;
};

std::function<void(TVornDownload&, TAct)> OnList(TLinksEvent& (TVornDownload::*slot)()) {
  return [slot](TVornDownload& d, TAct act) {
    (d.*slot)() = [act](TVornBaseLinks*, const TVornLinkPtr&) { act(); };
  };
}

const THandlerKind kHandlerKinds[] = {
    {"OnNewQueue", OnList(&TVornDownload::OnNewQueue)},
    {"OnDelQueue", OnList(&TVornDownload::OnDelQueue)},
    {"OnNewWorking", OnList(&TVornDownload::OnNewWorking)},
    {"OnNewReady", OnList(&TVornDownload::OnNewReady)},
    {"OnNewFailed", OnList(&TVornDownload::OnNewFailed)},
    {"OnNewIgnored", OnList(&TVornDownload::OnNewIgnored)},
    {"OnNewEmail", OnList(&TVornDownload::OnNewEmail)},
    {"OnStartThread",
     [](TVornDownload& d, TAct act) { d.OnStartThread() = [act](const TVornPagePtr&) { act(); }; }},
    {"OnStatus",
     [](TVornDownload& d, TAct act) {
       d.OnStatus() = [act](const TVornPagePtr&, TVornConnectionStatus, const std::string&,
                            const TVornLinkPtr&) { act(); };
     }},
    {"OnWork",
     [](TVornDownload& d, TAct act) {
       d.OnWork() = [act](const TVornPagePtr&, TWorkMode, const TVornConnectionInfo&,
                          const TVornLinkPtr&) { act(); };
     }},
    {"OnFetchStart",
     [](TVornDownload& d, TAct act) {
       d.OnFetchStart() = [act](const TVornPagePtr&, const TVornLinkPtr&) { act(); };
     }},
    {"OnFetchEnd",
     [](TVornDownload& d, TAct act) {
       d.OnFetchEnd() = [act](const TVornPagePtr&, TVornLevelLinks*, const TVornLinkPtr&) {
         act();
       };
     }},
    {"OnError",
     [](TVornDownload& d, TAct act) {
       d.OnError() = [act](const TVornPagePtr&, int32_t, const std::string&, const TVornLinkPtr&) {
         act();
       };
     }},
    {"OnJobReady",
     [](TVornDownload& d, TAct act) {
       d.OnJobReady() = [act](const TVornPagePtr&, const std::string&, const TVornLinkPtr&) {
         act();
       };
     }},
};

// The GUI's Stop button, close box and scheduled exit stop crawls from inside event handlers.
TEST(ReentrancyTest, AHandlerOfAnyKindStopsTheCrawlWithFivePagesInFlight) {
  for (const THandlerKind& kind : kHandlerKinds) {
    SCOPED_TRACE(kind.name);
    BusyCrawl c;
    bool stopped = false;
    kind.install(*c.dl, [&] {
      if (stopped || !c.FiveInFlight()) return;
      stopped = true;
      c.dl->StopDownload();
    });
    c.dl->StartDownload();
    ASSERT_TRUE(RunUntil([&] { return stopped; }, Millis(20000)));
    c.ExpectStoppedCleanly();
  }
}

TEST(ReentrancyTest, AHandlerDestroysTheControllerWithFivePagesInFlight) {
  for (const char* kind : {"OnStatus", "OnJobReady"}) {
    SCOPED_TRACE(kind);
    BusyCrawl c;
    bool destroyed = false;
    for (const THandlerKind& k : kHandlerKinds) {
      if (std::string(k.name) != kind) continue;
      k.install(*c.dl, [&] {
        if (destroyed || !c.FiveInFlight()) return;
        destroyed = true;
        c.dl.reset();
      });
    }
    c.dl->StartDownload();
    ASSERT_TRUE(RunUntil([&] { return destroyed; }, Millis(20000)));
  }
}

// A task that stops or destroys a crawl while other tasks wait behind it: the workers' results
// come behind those, and the stop waits for them.
TEST(ReentrancyTest, AStopFromATaskWithOthersQueuedBehindItEnds) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "stop");
    BusyCrawl c;
    c.dl->StartDownload();
    ASSERT_TRUE(RunUntil([&] { return c.FiveInFlight(); }, Millis(20000)));
    bool done = false;
    PostToInterface([&] {
      if (destroy) {
        c.dl.reset();
      } else {
        c.dl->StopDownload();
      }
      done = true;
    });
    PostToInterface([] {});
    ASSERT_TRUE(RunUntil([&] { return done; }, Millis(20000)));
    if (!destroy) c.ExpectStoppedCleanly();
  }
}

// While a modal login prompt is open (its own loop, as a dialog runs one), the other pages'
// results keep arriving; the page that asked goes on with the answer once it closes.
TEST(ReentrancyTest, ResultsKeepArrivingWhileALoginPromptIsOpen) {
  HttpTestServer site;
  std::atomic<bool> promptOpen{false};
  site.Route("/index.html", Html("<a href=secret.html>s</a><a href=other.html>o</a>"));
  site.Route("/secret.html", [](const TestRequest& q, TestConnection& c) {
    if (q.Header("authorization") == "Basic dXNlcjpwYXNz") {  // user:pass
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/plain\r\n", "welcome"));
    } else {
      c.Send(HttpTestServer::Answer("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n",
                                    ""));
    }
  });
  // Answered only once the prompt is open, so its result arrives while it is.
  site.Route("/other.html", [&](const TestRequest&, TestConnection& c) {
    RunUntil([&] { return promptOpen.load(); }, Millis(10000));
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/plain\r\n", "other"));
  });
  TVornOptions options;
  TVornDownload dl;
  ApplyNewProjectSettings(dl.Settings());
  dl.System().ThreadsCount = 2;
  dl.System().RetriesOnFailed = 1;
  dl.ThreadManager().TestOnlyRetryPauseMs = 5;
  dl.Passwords().NewPassAction = eaPrompt;
  dl.SetVornOptions(&options);
  dl.SetDispatchInterval(0);
  const std::string other = site.Url("/other.html");
  bool otherReady = false;
  dl.OnNewReady() = [&](TVornBaseLinks*, const TVornLinkPtr& link) {
    otherReady |= link->GetUrl() == other;
  };
  auto dialogs = std::make_shared<TFakeDialogService>();
  dialogs->loginAnswers.push_back({true, "user", "pass", false, false});
  bool readyWhileOpen = false;
  dialogs->whileLoginOpen = [&] {
    promptOpen = true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (otherReady) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    readyWhileOpen = otherReady;
  };
  SetDialogService(dialogs);
  dl.General().BaseUrl = site.Url("/index.html");
  dl.StartDownload();
  const bool ended = RunUntil([&] { return dl.State() == edsReady; }, Millis(20000));
  SetDialogService(nullptr);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(readyWhileOpen);
  ASSERT_EQ(dialogs->Questions().size(), 1u);
  EXPECT_EQ(dialogs->Questions()[0].text, site.Url(""));
  EXPECT_EQ(Urls(dl.ReadyLinks()),
            (std::vector<std::string>{site.Url("/index.html"), other, site.Url("/secret.html")}));
}

// A worker that cannot be had (no thread left) costs the step that needed it, never the crawl.
TEST(ReentrancyTest, AStepWithoutAThreadFailsAloneAndTheCrawlGoesOn) {
  struct Case {
    const char* step;
    int skip;  // thread starts that succeed first: transfer 0, analysis 1, admission 2
    std::vector<std::string> ready, failed;
  };
  HttpTestServer site;
  site.Route("/index.html", Html("<a href=a.html>a</a>"));
  site.Route("/a.html", Html("<p>a</p>"));
  const std::string index = site.Url("/index.html"), a = site.Url("/a.html");
  const Case cases[] = {
      {"transfer", 0, {}, {index}},
      {"analysis", 1, {index}, {}},  // kept as fetched, without links
      {"admission", 2, {index, a}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    TVornOptions options;
    TVornDownload dl;
    ApplyNewProjectSettings(dl.Settings());
    dl.System().RetriesOnFailed = 0;
    dl.SetVornOptions(&options);
    dl.General().BaseUrl = index;
    TVornWorkerThread::TestOnlyFailStarts(1, c.skip);
    dl.StartDownload();
    const bool ended = RunUntil([&] { return dl.State() == edsReady; }, Millis(20000));
    TVornWorkerThread::TestOnlyFailStarts(0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(Urls(dl.ReadyLinks()), c.ready);
    EXPECT_EQ(Urls(dl.FailedLinks()), c.failed);
    if (!c.failed.empty()) {
      EXPECT_NE(dl.FailedLinks().Get(0)->ErrorText.find("Cannot start a thread"),
                std::string::npos);
    }
    EXPECT_EQ(dl.ThreadManager().PageCount(), 0);
  }
}

// The interface reads a link in progress under its list's lock while the transfer learns its
// size and type; the thread sanitizer build sees any write made without that lock.
TEST(ReentrancyTest, TheInterfaceReadsALinkInProgressWhileItsTransferWritesIt) {
  HttpTestServer site;
  std::atomic<bool> reading{false};
  // Answered once the interface reads, so the write comes while it does.
  site.Route("/file.bin", [&](const TestRequest&, TestConnection& c) {
    RunUntil([&] { return reading.load(); }, Millis(10000));
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: application/x-test\r\n",
                                  std::string(3000, 'b')));
  });
  TVornOptions options;
  TVornDownload dl;
  ApplyNewProjectSettings(dl.Settings());
  dl.SetVornOptions(&options);
  int32_t seen = 0;
  dl.OnStatus() = [&](const TVornPagePtr&, TVornConnectionStatus status, const std::string&,
                      const TVornLinkPtr& link) {
    if (status != ecsConnected || seen != 0 || !link) return;
    // Until the transfer has written the announced size, as a link view refreshing would.
    reading = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen == 0 && std::chrono::steady_clock::now() < deadline) {
      TVornReadGuard guard(dl.WorkingLinks().Lock());
      seen = link->Size;
    }
  };
  dl.General().BaseUrl = site.Url("/file.bin");
  dl.StartDownload();
  ASSERT_TRUE(RunUntil([&] { return dl.State() == edsReady; }, Millis(20000)));
  EXPECT_EQ(seen, 3000);
}

}  // namespace
}  // namespace tq::test
