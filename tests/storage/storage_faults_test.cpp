// Crawls into a real document whose disk fails: a working folder that fills ends the crawl with
// its cause and loses nothing, and Stop ends a crawl whose workers wait for the disk. And what a
// killed run leaves behind goes at the next start, unless a living run holds it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "archive_test_util.h"
#include "engine/download.h"
#include "foundation/main_loop.h"
#include "storage/document.h"
#include "support/fake_dialog_service.h"
#include "support/fault_file_system.h"
#include "support/http_test_server.h"

namespace tq {
namespace {

using test::HttpTestServer;
using test::TestConnection;
using test::TestRequest;

constexpr int kPages = 40;

class StorageFaultsTest : public ::testing::Test {
 protected:
  StorageFaultsTest() {
    std::string index;
    for (int i = 0; i < kPages; ++i) {
      const std::string target = "/p" + std::to_string(i);
      index += "<a href=" + target + ">x</a>";
      // Noise: a member as large as the page, so the spool's bytes count what was fetched.
      m_server.Route(target, [i](const TestRequest&, TestConnection& c) {
        c.Send(HttpTestServer::Answer("200 OK", "Content-Type: application/octet-stream\r\n",
                                      test::Noise(6000, static_cast<uint32_t>(i))));
      });
    }
    m_server.Route("/", [index](const TestRequest&, TestConnection& c) {
      c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", index));
    });
    SetDialogService(m_dialogs);
  }
  ~StorageFaultsTest() override { SetDialogService(nullptr); }

  // A crawl of the site into doc, whose queue holds up to limit bytes.
  std::unique_ptr<TVornDownload> StartCrawl(TVornDocument& doc, uint64_t limit) {
    doc.TestOnlySetQueueLimit(limit);
    auto dl = std::make_unique<TVornDownload>();
    ApplyNewProjectSettings(dl->Settings());
    dl->System().RetriesOnFailed = 0;
    dl->SetVornOptions(&m_options);
    dl->SetVornDocument(&doc);
    dl->General().BaseUrl = m_server.Url("/");
    dl->StartDownload();
    return dl;
  }

  test::TScratchFolder m_dir;
  test::TFaultFileSystem m_disk;
  HttpTestServer m_server;
  TVornOptions m_options;
  std::shared_ptr<test::TFakeDialogService> m_dialogs =
      std::make_shared<test::TFakeDialogService>();
};

TEST_F(StorageFaultsTest, AWorkingFolderThatFillsEndsTheCrawlWithItsCauseAndLosesNothing) {
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), m_disk);
  m_disk.FreeBytes = 30000;
  auto dl = StartCrawl(doc, 16 << 10);
  ASSERT_TRUE(RunUntil([&] { return dl->State() == edsReady; }, Millis(30000)));
  EXPECT_EQ(dl->StorageFailure(), "No space left on device");
  const auto asked = m_dialogs->Questions();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].text.find("No space left on device"), std::string::npos) << asked[0].text;
  EXPECT_GT(dl->QueueLinks().Count(), 0);

  // Room again (the project saved to another disk): every page fetched is in the save.
  m_disk.FreeBytes = UINT64_MAX;
  doc.SetDocName(m_dir / "saved.web");
  ASSERT_TRUE(doc.Save(false));
  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  ASSERT_TRUE(loaded.Load(m_dir / "saved.web"));
  ASSERT_GT(dl->ReadyLinks().Count(), 1);
  for (int i = 0; i < dl->ReadyLinks().Count(); ++i) {
    const std::string url = dl->ReadyLinks().Get(i)->GetUrl();
    if (url == m_server.Url("/")) continue;
    const int page = std::stoi(url.substr(url.rfind("/p") + 2));
    EXPECT_TRUE(loaded.GetDocumentContent(url) == test::Noise(6000, static_cast<uint32_t>(page)))
        << url;
  }

  // A crawl started again after the disk has room runs on.
  dl->StartDownload();
  ASSERT_TRUE(RunUntil([&] { return dl->State() == edsReady; }, Millis(30000)));
  EXPECT_EQ(dl->StorageFailure(), "");
  EXPECT_EQ(dl->ReadyLinks().Count(), kPages + 1);
}

// A save that hangs on a slow disk holds the document: the crawl's workers wait for room, and a
// Stop still ends the crawl at once.
TEST_F(StorageFaultsTest, StopEndsACrawlWhoseWorkersWaitForTheDisk) {
  std::mutex mutex;
  std::condition_variable cv;
  bool slow = true, saving = false;
  m_disk.Allow = [&](std::string_view operation, const std::string& path) {
    if (operation != "create" || !path.ends_with(".$$$")) return true;
    std::unique_lock lock(mutex);
    saving = true;
    cv.notify_all();
    cv.wait(lock, [&] { return !slow; });
    return true;
  };
  const auto release = [&] {
    std::lock_guard lock(mutex);
    slow = false;
    cv.notify_all();
  };
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), m_disk);
  doc.SetDocumentStatus("http://h.org/", kStatusReady);
  doc.SetDocName(m_dir / "saved.web");
  std::thread save([&] { doc.Save(false); });
  {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return saving; });
  }
  struct TEnd {
    std::function<void()> release;
    std::thread& save;
    ~TEnd() {
      release();
      save.join();
    }
  } end{release, save};

  // The first page's worker waits as soon as its transfer is complete: the queue is over its
  // bound from the first write.
  auto dl = StartCrawl(doc, 1);
  bool fetched = false;
  dl->OnStatus() = [&](const TVornPagePtr&, TVornConnectionStatus status, const std::string&,
                       const TVornLinkPtr&) { fetched = fetched || status == ecsTransferComplete; };
  ASSERT_TRUE(RunUntil([&] { return fetched; }, Millis(30000)));
  dl->StopDownload();
  EXPECT_TRUE(RunUntil([&] { return dl->State() == edsReady; }, Millis(30000)));
  EXPECT_EQ(dl->StorageFailure(), "");
  EXPECT_TRUE(m_dialogs->Questions().empty());
}

TEST_F(StorageFaultsTest, LeftoversOfDeadRunsGoAndThoseOfLivingOnesStay) {
  namespace fs = std::filesystem;
  const std::string cache = m_dir / "cache";
  fs::create_directories(cache + "/temp111.~tmp");
  test::WriteFile(cache + "/temp111.~tmp/.lock", "");  // its run was killed: nobody holds it
  test::WriteFile(cache + "/temp111.~tmp/members0.~web", "x");
  fs::create_directories(cache + "/temp222.~tmp");  // no lock file: not one of ours
  TVornDocument living(cache, m_dir.Path().string());
  EXPECT_FALSE(fs::exists(cache + "/temp111.~tmp"));
  EXPECT_TRUE(fs::exists(cache + "/temp222.~tmp"));
  TVornDocument second(cache, m_dir.Path().string());
  EXPECT_TRUE(fs::exists(living.Folder()));

  // Temporary files of saves beside the project: a dead run's goes with the next save, one a
  // save under way holds stays.
  const std::string file = m_dir / "site.web";
  test::WriteFile(file + ".~123456.tmp", "dead");
  test::WriteFile(file + ".~654321.tmp", "being written");
  test::WriteFile(m_dir / "other.web.~1.tmp", "another project's");
  const int held = ::open((file + ".~654321.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  second.SetDocumentStatus("http://h.org/", kStatusReady);
  second.SetDocName(file);
  EXPECT_TRUE(second.Save(false));
  EXPECT_FALSE(fs::exists(file + ".~123456.tmp"));
  EXPECT_TRUE(fs::exists(file + ".~654321.tmp"));
  EXPECT_TRUE(fs::exists(m_dir / "other.web.~1.tmp"));
  ::close(held);
}

}  // namespace
}  // namespace tq
