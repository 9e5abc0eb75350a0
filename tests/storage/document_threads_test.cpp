// The project document across threads: loads and saves run off the interface thread while it
// keeps serving and receives their progress, writes never wait for a running save, jobs keep the
// order in which threads queued them, a full queue holds worker threads only, and saving a new
// project asks for its name.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "archive_test_util.h"
#include "foundation/main_loop.h"
#include "storage/doc_thread.h"
#include "storage/document.h"
#include "support/fake_dialog_service.h"
#include "support/fault_file_system.h"
#include "support/unhandled_errors.h"

namespace tq {
namespace {

using test::Html;
using test::TScratchFolder;
namespace fs = std::filesystem;

class DocumentThreadsTest : public ::testing::Test {
 protected:
  // A saved project of count pages.
  std::string MakeProject(int count) {
    const std::string file = m_dir / "site.web";
    TVornDocument doc(m_dir / "cache", m_dir.Path().string());
    for (int i = 0; i < count; ++i) {
      const std::string url = "http://h.org/" + std::to_string(i);
      doc.SetDocumentStatus(url, kStatusReady);
      doc.SetDocumentContent(url, Html(2000, static_cast<uint32_t>(i)));
    }
    doc.SetDocName(file);
    EXPECT_TRUE(doc.Save(false));
    return file;
  }

  TScratchFolder m_dir;
};

TEST_F(DocumentThreadsTest, LoadAndSaveWorkOffTheInterfaceThread) {
  const std::string file = MakeProject(8);
  const auto ui = std::this_thread::get_id();
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  std::vector<std::string> events;
  std::vector<int> percents;
  std::atomic<bool> linkOnUi{false};
  std::atomic<bool> servedWhileLoading{false};
  doc.OnLoadBegin = [&] { events.push_back("begin"); };
  doc.OnLoadEnd = [&] { events.push_back(servedWhileLoading ? "end, served" : "end"); };
  doc.OnLoadLink = [&](TVornLinkPtr, int) {
    if (std::this_thread::get_id() == ui) linkOnUi = true;
    // The interface thread must keep serving its events while the load runs.
    EXPECT_TRUE(RunUntil([&] { return servedWhileLoading.load(); }));
    EXPECT_TRUE(doc.IsLoadingFile());
    return true;
  };
  doc.OnLoadProgress = [&](const std::string&, int percent) {
    EXPECT_EQ(std::this_thread::get_id(), ui);
    percents.push_back(percent);
  };
  PostToInterface([&] { servedWhileLoading = true; });
  ASSERT_TRUE(doc.Load(file));
  EXPECT_FALSE(linkOnUi.load());
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "end, served"}));
  EXPECT_EQ(percents, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88}));

  // Save progress: in order, on this thread, once for each percentage reached.
  for (int i = 0; i < 4; ++i) doc.SetDocumentContent("http://h.org/" + std::to_string(i), "new");
  percents.clear();
  std::vector<bool> ends;
  doc.OnSaveProgress = [&](const std::string& info, int percent) {
    EXPECT_EQ(info, "Saving ...");
    EXPECT_EQ(std::this_thread::get_id(), ui);
    percents.push_back(percent);
  };
  doc.OnSaveEnd = [&](bool ok) { ends.push_back(ok); };
  ASSERT_TRUE(doc.Save(false));
  EXPECT_EQ(ends, std::vector<bool>{true});
  // Replaced archived content is packed at the save like new content.
  EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));
  percents.clear();
  for (int i = 0; i < 4; ++i) doc.SetDocumentStatus("http://n.org/" + std::to_string(i), 0);
  for (int i = 0; i < 4; ++i) doc.SetDocumentContent("http://n.org/" + std::to_string(i), "n");
  ASSERT_TRUE(doc.Save(false));
  EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));

  // Away from the interface thread everything runs inline, on the caller's thread.
  TVornDocument other(m_dir / "cache", m_dir.Path().string());
  std::thread::id progressThread;
  other.OnLoadProgress = [&](const std::string&, int) {
    progressThread = std::this_thread::get_id();
  };
  std::thread::id caller;
  bool loaded = false;
  std::thread([&] {
    caller = std::this_thread::get_id();
    loaded = other.Load(file);
  }).join();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(progressThread, caller);
  EXPECT_EQ(other.GetDocumentContent("http://n.org/3"), "n");
}

// The controller writes from list hooks, sometimes inside a list's lock: a write must return at
// once even while a save holds the document, and what it wrote must reach the next save.
TEST_F(DocumentThreadsTest, WritesDuringASaveDoNotWaitAndAreKept) {
  const std::string file = m_dir / "busy.web";
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  doc.SetDocName(file);
  doc.SetDocumentStatus("http://h.org/a", kStatusReady);
  bool writesReturned = false;
  doc.OnSaveSettings = [&](TVornCustomIniFile&, bool) {
    if (writesReturned) return;
    auto writer = std::async(std::launch::async, [&] {
      doc.SetDocumentStatus("http://h.org/late", kStatusReady);
      doc.SetDocumentContent("http://h.org/late", "late content");
      doc.RemoveDocument("http://h.org/a");
    });
    writesReturned = writer.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  };
  ASSERT_TRUE(doc.Save(false));
  EXPECT_TRUE(writesReturned);
  EXPECT_TRUE(doc.Changed());  // the late writes are not in that file yet
  ASSERT_TRUE(doc.Save(false));
  EXPECT_FALSE(doc.Changed());

  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  std::vector<std::string> urls;
  loaded.OnLoadLink = [&](TVornLinkPtr link, int) {
    urls.push_back(link->GetUrl());
    return true;
  };
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(urls, std::vector<std::string>{"http://h.org/late"});
  EXPECT_EQ(loaded.GetDocumentContent("http://h.org/late"), "late content");
}

// Two threads take turns writing one entry; whatever ran last in real time must be what stays,
// and a store that follows a status written by another thread must find its section.
TEST_F(DocumentThreadsTest, JobsKeepTheirOrderAcrossThreads) {
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  constexpr int kTurns = 400;
  std::atomic<int> turn{0};
  auto player = [&](int me) {
    for (int i = me; i < kTurns; i += 2) {
      while (turn.load() != i) std::this_thread::yield();
      const std::string url = "http://h.org/" + std::to_string(i / 2);
      if (me == 0) {
        doc.SetDocumentStatus(url, kStatusReady);
        doc.RemoveDocument("http://h.org/" + std::to_string(i / 2 - 1));
      } else {
        doc.SetDocumentContent(url, "page " + std::to_string(i));
      }
      doc.SetDocumentValue("http://h.org/shared", "LAST", std::to_string(i));
      turn = i + 1;
    }
  };
  std::thread a(player, 0), b(player, 1);
  a.join();
  b.join();
  EXPECT_EQ(doc.GetDocumentValue("http://h.org/shared", "LAST"), std::to_string(kTurns - 1));
  const std::string last = "http://h.org/" + std::to_string(kTurns / 2 - 1);
  EXPECT_EQ(doc.GetDocumentContent(last), "page " + std::to_string(kTurns - 1));
  EXPECT_EQ(doc.GetDocumentValue("http://h.org/0", kIndexStatus), "");
  // Every earlier page was removed together with its content.
  EXPECT_EQ(doc.GetDocumentContent("http://h.org/" + std::to_string(kTurns / 2 - 2)), "");
}

// A read runs the writes queued for its own address and no others: the offline server reading a
// page must not carry out the rest of a crawl's queue (archive rewrites among it) on its thread.
TEST_F(DocumentThreadsTest, ReadsRunOnlyTheJobsOfTheirAddress) {
  test::TFaultFileSystem files;
  const auto reader = std::this_thread::get_id();
  std::atomic<bool> reading{true};
  std::atomic<int> foreignStores{0};
  files.Allow = [&](std::string_view operation, const std::string&) {
    if (reading && operation == "create" && std::this_thread::get_id() == reader) ++foreignStores;
    return true;
  };
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), files);
  const std::string mine = "http://h.org/mine";
  doc.SetDocumentStatus(mine, kStatusReady);
  for (int i = 0; i < 60; ++i) {
    const std::string url = "http://h.org/" + std::to_string(i);
    doc.SetDocumentStatus(url, kStatusReady);
    doc.SetDocumentContent(url, Html(3000, static_cast<uint32_t>(i)));
    doc.SetDocumentValue(mine, "N", std::to_string(i));
    EXPECT_EQ(doc.GetDocumentValue(mine, "N"), std::to_string(i));
  }
  reading = false;
  doc.FlushJobs();
  EXPECT_EQ(foreignStores.load(), 0);
  EXPECT_EQ(doc.GetDocumentContent("http://h.org/59"), Html(3000, 59));
}

// A crawl faster than the disk: past the queue's bound the crawl's worker threads wait for the
// queue to drain, while the interface thread's writes (and its own wait) return at once.
TEST_F(DocumentThreadsTest, AFullQueueHoldsWorkerThreadsButNeverTheInterfaceThread) {
  test::TFaultFileSystem files;
  std::mutex mutex;
  std::condition_variable cv;
  bool diskFree = false;
  files.Allow = [&](std::string_view operation, const std::string&) {
    std::unique_lock lock(mutex);
    if (operation == "create") cv.wait(lock, [&] { return diskFree; });
    return true;
  };
  auto freeDisk = [&] {
    std::lock_guard lock(mutex);
    diskFree = true;
    cv.notify_all();
  };
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), files);
  struct TFreeAtEnd {
    std::function<void()> Free;
    ~TFreeAtEnd() { Free(); }
  } freeAtEnd{freeDisk};  // before the document's worker is joined, also when a check fails
  doc.TestOnlySetQueueLimit(16 << 10);
  for (int i = 0; i < 20; ++i) {
    const std::string url = "http://h.org/" + std::to_string(i);
    doc.SetDocumentStatus(url, kStatusReady);
    doc.SetDocumentContent(url, Html(3000, static_cast<uint32_t>(i)));
  }
  doc.WaitForRoom();
  std::atomic<bool> through{false};
  std::thread transfer([&] {
    doc.WaitForRoom();
    through = true;
  });
  EXPECT_FALSE(RunUntil([&] { return through.load(); }, Millis(200)));
  freeDisk();
  EXPECT_TRUE(RunUntil([&] { return through.load(); }));
  transfer.join();
  EXPECT_EQ(doc.GetDocumentContent("http://h.org/19"), Html(3000, 19));
}

TEST_F(DocumentThreadsTest, NewProjectAsksForItsName) {
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  doc.SetDownloadFolder(m_dir / "downloads");
  doc.SetDocumentStatus("http://h.org/", kStatusReady);
  auto dialogs = std::make_shared<test::TFakeDialogService>();
  dialogs->saveAnswers = {"", m_dir / "chosen", m_dir / "again.web"};
  SetDialogService(dialogs);
  EXPECT_FALSE(doc.Save(false));  // cancelled
  EXPECT_EQ(doc.DocName(), "Untitled.web");
  EXPECT_TRUE(doc.Changed());
  EXPECT_TRUE(doc.Save(false));  // the default extension is added
  EXPECT_EQ(doc.DocName(), m_dir / "chosen.web");
  EXPECT_TRUE(fs::exists(m_dir / "chosen.web"));
  EXPECT_TRUE(doc.SaveAs(true));
  EXPECT_TRUE(fs::exists(m_dir / "again.web"));
  EXPECT_FALSE(doc.SaveAs(false));  // nothing scripted: cancel keeps the name
  EXPECT_EQ(doc.DocName(), m_dir / "again.web");
  SetDialogService(nullptr);
  EXPECT_EQ(dialogs->Questions().size(), 4u);
}

// An error of any kind, not only a std::exception, in what the procedure asks or in the procedure
// itself releases the procedure and fails the run instead of leaving both threads waiting.
TEST(DocThread, AnErrorOfAnyKindReleasesTheAskerAndFailsTheRun) {
  test::TUnhandledErrors errors;
  std::vector<std::string> relayed;
  bool askerReleased = false;
  TVornDocThread asks([&](TVornDocThread& self) {
    self.Relay([] { throw 7; });
    const bool answered = self.Ask([] { throw 42; });
    askerReleased = true;
    self.Relay([&] { relayed.push_back("after"); });
    return answered;
  });
  EXPECT_FALSE(asks.Run());
  EXPECT_TRUE(askerReleased);
  EXPECT_EQ(relayed, std::vector<std::string>{"after"});
  TVornDocThread throws([](TVornDocThread&) -> bool { throw 42; });
  EXPECT_FALSE(throws.Run());
  EXPECT_EQ(errors.Reports().size(), 3u);
}

}  // namespace
}  // namespace tq
