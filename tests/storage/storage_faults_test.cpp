// Crawls into a real document whose disk fails: a working folder that fills ends the crawl with
// its cause and loses nothing, and Stop ends a crawl whose workers wait for the disk. And what a
// killed run leaves behind goes at the next start, unless a living run holds it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <future>

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
namespace fs = std::filesystem;

constexpr int kPages = 40;
// Noise: each page is a member as large as itself, so the spool's bytes count what was fetched.
std::string PageBytes(int page) {
  return test::Noise(6000, static_cast<uint32_t>(page));
}

class StorageFaultsTest : public ::testing::Test {
 protected:
  StorageFaultsTest() {
    std::string index;
    for (int i = 0; i < kPages; ++i) {
      index += "<a href=/p" + std::to_string(i) + ">x</a>";
      Route("/p" + std::to_string(i), "image/gif", PageBytes(i));
    }
    Route("/", "text/html", index);
    SetDialogService(m_dialogs);
  }
  ~StorageFaultsTest() override { SetDialogService(nullptr); }
  void Route(const std::string& target, const std::string& type, const std::string& body) {
    const std::string answer =
        HttpTestServer::Answer("200 OK", "Content-Type: " + type + "\r\n", body);
    m_server.Route(target,
                   [answer](const test::TestRequest&, test::TestConnection& c) { c.Send(answer); });
  }
  // A crawl of the site into doc, whose queue holds up to limit bytes.
  std::unique_ptr<TVornDownload> StartCrawl(TVornDocument& doc, uint64_t limit) {
    doc.TestOnlySetQueueLimit(limit);
    auto dl = std::make_unique<TVornDownload>();
    ApplyNewProjectSettings(dl->Settings());
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
  ASSERT_EQ(m_dialogs->Questions().size(), 1u);
  EXPECT_NE(m_dialogs->Questions()[0].text.find("No space left on device"), std::string::npos);
  EXPECT_GT(dl->QueueLinks().Count(), 0);

  // Room again (saved to another disk): every page fetched is in the save.
  m_disk.FreeBytes = UINT64_MAX;
  doc.SetDocName(m_dir / "saved.web");
  ASSERT_TRUE(doc.Save(false));
  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  ASSERT_TRUE(loaded.Load(m_dir / "saved.web"));
  for (int i = 1; i < dl->ReadyLinks().Count(); ++i) {
    const std::string url = dl->ReadyLinks().Get(i)->GetUrl();
    EXPECT_TRUE(loaded.GetDocumentContent(url) ==
                PageBytes(std::stoi(url.substr(url.rfind('p') + 1))));
  }
}

// A save hanging on a slow disk holds the document, so the crawl's workers wait for room; Stop
// still ends the crawl.
TEST_F(StorageFaultsTest, StopEndsACrawlWhoseWorkersWaitForTheDisk) {
  std::promise<void> saving, slowDisk;
  std::shared_future<void> diskFree = slowDisk.get_future().share();
  m_disk.Allow = [&](std::string_view operation, const std::string& path) {
    if (operation == "create" && path.ends_with(".$$$")) {
      saving.set_value();
      diskFree.wait();
    }
    return true;
  };
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), m_disk);
  doc.SetDocumentStatus("http://h.org/", kStatusReady);
  doc.SetDocName(m_dir / "saved.web");
  auto save = std::async(std::launch::async, [&] { return doc.Save(false); });
  saving.get_future().wait();
  // The first worker waits once its transfer is complete: the queue is past its bound at once.
  auto dl = StartCrawl(doc, 1);
  bool fetched = false;
  dl->OnStatus() = [&](const TVornPagePtr&, TVornConnectionStatus status, const std::string&,
                       const TVornLinkPtr&) { fetched = fetched || status == ecsTransferComplete; };
  EXPECT_TRUE(RunUntil([&] { return fetched; }, Millis(30000)));
  dl->StopDownload();
  EXPECT_TRUE(RunUntil([&] { return dl->State() == edsReady; }, Millis(30000)));
  slowDisk.set_value();
  EXPECT_TRUE(save.get());
}

TEST_F(StorageFaultsTest, LeftoversOfDeadRunsGoAndThoseOfLivingOnesStay) {
  const std::string cache = m_dir / "cache", dead = cache + "/temp111.~tmp";
  fs::create_directories(dead);
  test::WriteFile(dead + "/.lock", "");             // its run was killed: nobody holds the lock
  fs::create_directories(cache + "/temp222.~tmp");  // no lock file: not one of ours
  TVornDocument living(cache, m_dir.Path().string());
  TVornDocument second(cache, m_dir.Path().string());
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(cache + "/temp222.~tmp"));
  EXPECT_TRUE(fs::exists(living.Folder()));

  // A save's temporary file beside the project: a dead run's goes, one being written stays.
  const std::string file = m_dir / "site.web", deadTemp = file + ".~1.tmp",
                    heldTemp = file + ".~2.tmp";
  test::WriteFile(deadTemp, "dead");
  test::WriteFile(heldTemp, "being written");
  const int held = ::open(heldTemp.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  second.SetDocName(file);
  EXPECT_TRUE(second.Save(false));
  EXPECT_FALSE(fs::exists(deadTemp));
  EXPECT_TRUE(fs::exists(heldTemp));
  ::close(held);
}

}  // namespace
}  // namespace tq
