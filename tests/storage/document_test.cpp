// The project document: content spooled until a save and archived after it, save and load
// round trips, saves that fail at every step of writing the project file or on a full disk,
// hostile project files, and content names from a hostile project file.
#include "storage/document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "archive_test_util.h"
#include "formats/lha_header.h"
#include "foundation/main_loop.h"
#include "storage/archive_writer.h"
#include "storage/doc_jobs.h"
#include "storage/leftovers.h"
#include "support/fake_dialog_service.h"
#include "support/fault_file_system.h"

namespace tq {
namespace {

using test::Noise;
using test::ReadFile;
using test::TScratchFolder;
using test::WriteFile;
namespace fs = std::filesystem;

const std::string kPage = "http://h.org/";
const std::string kImage = "http://h.org/i.gif";

// The files of a folder, a working folder's lock file aside.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() != kWorkingFolderLock) names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class DocumentTest : public ::testing::Test {
 protected:
  // A document with a page, an image and a queued link, saved to file.
  void FillAndSave(TVornDocument& doc, const std::string& file) {
    doc.OnSaveSettings = [](TVornCustomIniFile& settings, bool templateMode) {
      EXPECT_FALSE(templateMode);
      settings.WriteString("Project", "FName", "Home");
    };
    WriteReadyEntryTo(doc, kPage, 1000);
    doc.SetDocumentValue(kPage, kIndexContentType, "text/html");
    doc.SetDocumentContent(kPage, "<html>page</html>");
    WriteReadyEntryTo(doc, kImage, 4096);
    doc.SetDocumentValue(kImage, kIndexContentType, "image/gif");
    doc.SetDocumentContent(kImage, m_image);
    doc.SetDocumentStatus("http://h.org/q.html", kStatusQueue);
    doc.SetDocumentValue("http://h.org/q.html", kIndexPage, kPage);
    doc.SetDocName(file);
    ASSERT_TRUE(doc.Save(false));
  }
  static void WriteReadyEntryTo(TVornDocument& doc, const std::string& url, int size) {
    doc.SetDocumentStatus(url, kStatusReady);
    doc.SetDocumentValue(url, kIndexSize, std::to_string(size));
  }

  TScratchFolder m_dir;
  std::string m_image = Noise(70000, 7);
  test::TFaultFileSystem m_fs;
};

TEST_F(DocumentTest, ContentIsSpooledUntilSavedThenArchived) {
  // A new user's cache folder and its parent do not exist yet.
  TVornDocument doc(m_dir / "new-home/.cache", m_dir.Path().string());
  ASSERT_FALSE(doc.Folder().empty());
  EXPECT_EQ(doc.Folder().back(), '/');

  doc.SetDocumentContent(kPage, "no section yet");  // stores nothing
  EXPECT_EQ(doc.GetDocumentValue(kPage, kIndexContent), "");
  doc.FlushJobs();
  EXPECT_TRUE(FilesIn(doc.Folder()).empty());

  FillAndSave(doc, m_dir / "site.web");
  EXPECT_FALSE(doc.Changed());
  // Packed files leave the folder; only the working archive stays.
  EXPECT_EQ(FilesIn(doc.Folder()), std::vector<std::string>{"project.~web"});
  EXPECT_EQ(doc.GetDocumentContent(kImage), m_image);
  const std::string name = doc.GetDocumentValue(kImage, "CONTENT");
  EXPECT_TRUE(name.starts_with("tmp") && name.ends_with(".~tmp")) << name;

  // Replacing archived content keeps its name and waits in the spool, and a removed document's
  // member stays: the working archive is left as it is until the save rewrites it once.
  const auto archived = [&] { return ReadFile(doc.Folder() + "project.~web"); };
  const std::string before = archived();
  doc.SetDocumentContent(kImage, "GIF89a");
  doc.SetDocumentContent(kPage, "<html>new page</html>");
  EXPECT_EQ(doc.GetDocumentValue(kImage, kIndexContent), name);
  EXPECT_EQ(doc.GetDocumentContent(kImage), "GIF89a");
  EXPECT_TRUE(archived() == before);
  EXPECT_TRUE(doc.Changed());
  doc.RemoveDocument(kImage);
  EXPECT_EQ(doc.GetDocumentValue(kImage, kIndexContentType), "");
  EXPECT_EQ(doc.GetDocumentContent(kImage), "");
  EXPECT_TRUE(archived() == before);

  EXPECT_TRUE(doc.Save(false));
  EXPECT_FALSE(TVornArchive(doc.Folder() + "project.~web").Contains(name));
  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  ASSERT_TRUE(loaded.Load(m_dir / "site.web"));
  EXPECT_EQ(loaded.GetDocumentContent(kPage), "<html>new page</html>");
  const std::vector<std::string> members = TVornArchive(m_dir / "site.web").List();
  EXPECT_EQ(members.size(), 3u);  // settings, index and the page once
}

// A content read in pieces is the content wherever it lives (in the spool before a save, in the
// archive after it, compressed or stored), and one that cannot be read whole raises instead of
// ending short.
TEST_F(DocumentTest, ContentsReadInPiecesWhereverTheyLive) {
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  std::string page;
  while (page.size() < 3'000'000)
    page += "<p>An offline copy, line " + std::to_string(page.size()) + "</p>\n";
  const auto readInPieces = [&](const std::string& url) {
    std::unique_ptr<TContentStream> stream = doc.OpenDocumentContent(url);
    if (!stream) return std::string("<none>");
    std::string out;
    char piece[1000];
    while (const size_t n = stream->Read(piece, sizeof piece)) out.append(piece, n);
    EXPECT_EQ(out.size(), stream->Size());
    return out;
  };
  for (const auto& [url, content] : {std::pair{kPage, page}, std::pair{kImage, m_image}}) {
    WriteReadyEntryTo(doc, url, 1);
    doc.SetDocumentContent(url, content);
    EXPECT_TRUE(readInPieces(url) == content) << url;
  }
  doc.SetDocName(m_dir / "site.web");
  ASSERT_TRUE(doc.Save(false));
  EXPECT_TRUE(readInPieces(kPage) == page);
  EXPECT_TRUE(readInPieces(kImage) == m_image);
  EXPECT_EQ(readInPieces("http://h.org/none"), "<none>");

  fs::resize_file(doc.Folder() + "project.~web", fs::file_size(doc.Folder() + "project.~web") / 2);
  EXPECT_THROW(readInPieces(kPage) + readInPieces(kImage), EArchiveError);
  EXPECT_THROW(doc.GetDocumentContent(kPage), EArchiveError);  // unreadable is not empty
}

// Contents are packed into members as they are stored and a save copies them: the project file
// must be byte for byte what packing the same contents as files at the save gives. Some are
// packed before the save, the rest wait because the disk refused them, and both are readable.
TEST_F(DocumentTest, PrePackedSaveEqualsPackingAtSave) {
  constexpr std::time_t kTime = 1700000000;
  const std::string folder = m_dir / "jobs/";
  fs::create_directories(folder);
  std::atomic<bool> refuse{false};
  std::atomic<int> refused{0};
  m_fs.Allow = [&](std::string_view operation, const std::string& path) {
    const bool spool = operation == "append" && path.find("/members") != std::string::npos;
    return !(spool && refuse && ++refused > 0);
  };
  TVornDocJobs jobs(folder, m_fs);
  jobs.TestOnlySetClock([] { return kTime; });
  struct TPage {
    std::string url, content;
  };
  const std::vector<TPage> pages = {
      {"http://h.org/a", test::Html(30000, 1)},    // compressed
      {"http://h.org/b", Noise(5000, 2)},          // stored
      {"http://h.org/c", test::Html(2000, 3)},     // replaced after packing
      {"http://h.org/gone", test::Html(4000, 4)},  // removed after packing
      {"http://h.org/c", Noise(300, 5)},           // waits for the disk
      {"http://h.org/big", Noise(archive_detail::kStreamedMemberSize + 70000, 6)},  // streamed
      {"http://h.org/e", test::Html(900, 7)},
  };
  const auto store = [&](const TPage& page) {
    jobs.Queue({djWriteString, page.url, std::string(kIndexStatus), "1"});
    jobs.Queue({djStoreContent, page.url, {}, page.content});
  };
  for (size_t i = 0; i < 4; ++i) store(pages[i]);
  jobs.Flush();
  // A crawl thread held by the bound packs everything itself.
  jobs.TestOnlySetQueueLimit(0);
  std::thread([&] { jobs.WaitForRoom(); }).join();
  jobs.TestOnlySetQueueLimit(kMaxQueuedJobBytes);
  jobs.Queue({djRemove, "http://h.org/gone", {}, {}});
  refuse = true;
  for (size_t i = 4; i < pages.size(); ++i) store(pages[i]);
  ASSERT_TRUE(RunUntil([&] { return refused.load() > 0; }));
  for (size_t i : {0, 1, 4, 5, 6}) EXPECT_TRUE(jobs.ReadContent(pages[i].url) == pages[i].content);
  EXPECT_EQ(jobs.ReadContent("http://h.org/gone"), "");

  const auto writeSettings = [](TVornCustomIniFile& settings) {
    settings.WriteString("Project", "FName", "Home");
  };
  std::string saved;
  {
    TFd packed(jobs.Pack(writeSettings, {}));
    ASSERT_TRUE(packed.Valid());
    ASSERT_TRUE(ReadFully(packed.Get(), saved));
  }
  refuse = false;

  // The same save from files written at the time stamp the contents were stored at.
  const std::string loose = m_dir / "loose/";
  fs::create_directories(loose);
  TVornArchive savedArchive(folder + "project.~web");
  const std::string settingsText = savedArchive.ExtractToStream(kSettingsMember);
  const std::string indexText = savedArchive.ExtractToStream(kIndexMember);
  std::vector<TVornArchive::TSource> sources(2);
  sources[0].name = kSettingsMember;
  sources[0].data = settingsText;
  sources[1].name = kIndexMember;
  sources[1].data = indexText;
  for (auto& source : sources) source.timeStamp = ToDosDateTime(kTime);
  for (const char* url : {"http://h.org/a", "http://h.org/b", "http://h.org/c", "http://h.org/big",
                          "http://h.org/e"}) {
    const std::string path = loose + jobs.ReadString(url, kIndexContent);
    const auto last = std::find_if(pages.rbegin(), pages.rend(),
                                   [&](const TPage& page) { return page.url == url; });
    WriteFile(path, last->content);
    const timespec times[2] = {{kTime, 0}, {kTime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    sources.emplace_back().path = path;
  }
  TVornArchive plain(m_dir / "plain.web");
  plain.Add(sources);
  EXPECT_TRUE(saved == ReadFile(m_dir / "plain.web"));
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"project.~web"});
}

// A file saved over the working file of packed contents (a page copied out under its name)
// changes no content: they are read and saved from the file the document wrote.
TEST_F(DocumentTest, AFileSavedOverTheSpoolChangesNoContent) {
  const std::string file = m_dir / "site.web";
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  const auto packAll = [&] {
    doc.FlushJobs();
    doc.TestOnlySetQueueLimit(0);
    std::thread([&] { doc.WaitForRoom(); }).join();
  };
  WriteReadyEntryTo(doc, kPage, 1);
  doc.SetDocumentContent(kPage, "<html>page</html>");
  packAll();
  for (const char* name : {"members0.~web", "members1.~web"}) {
    WriteFile(m_dir / "other", Noise(5000, 3));
    fs::rename(m_dir / "other", doc.Folder() + name);
  }
  EXPECT_EQ(doc.GetDocumentContent(kPage), "<html>page</html>");
  WriteReadyEntryTo(doc, kImage, 1);
  doc.SetDocumentContent(kImage, m_image);
  packAll();
  doc.SetDocName(file);
  ASSERT_TRUE(doc.Save(false));
  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(loaded.GetDocumentContent(kPage), "<html>page</html>");
  EXPECT_TRUE(loaded.GetDocumentContent(kImage) == m_image);
}

TEST_F(DocumentTest, SaveAndLoadRoundTrip) {
  const std::string file = m_dir / "site.web";
  std::string folder;
  {
    TVornDocument doc(m_dir / "cache", m_dir.Path().string());
    folder = doc.Folder();
    FillAndSave(doc, file);
  }
  EXPECT_FALSE(fs::exists(folder));  // the working folder goes with the document

  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  std::string projectName;
  loaded.OnLoadSettings = [&](TVornCustomIniFile& settings, bool) {
    projectName = settings.ReadString("Project", "FName", "");
  };
  std::vector<std::pair<std::string, int>> links;
  loaded.OnLoadLink = [&](TVornLinkPtr link, int status) {
    links.emplace_back(link->GetUrl(), status);
    return true;
  };
  std::vector<int> percents;
  loaded.OnLoadProgress = [&](const std::string& info, int percent) {
    EXPECT_EQ(info, "Loading...");
    percents.push_back(percent);
  };
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(projectName, "Home");
  EXPECT_EQ(links, (std::vector<std::pair<std::string, int>>{
                       {kPage, 0}, {kImage, 0}, {"http://h.org/q.html", 1}}));
  EXPECT_EQ(percents, (std::vector<int>{0, 33, 67}));
  EXPECT_FALSE(loaded.Changed());
  EXPECT_EQ(loaded.DocName(), file);
  // Content stays in the archive until read.
  EXPECT_EQ(FilesIn(loaded.Folder()), std::vector<std::string>{"project.~web"});
  EXPECT_EQ(loaded.GetDocumentContent(kImage), m_image);
  EXPECT_EQ(RenderStoredDocument(loaded, kPage), "<html>page</html>\r\n");
}

// The largest resident size since the last reset, in bytes. Sanitizer builds keep freed memory
// in quarantine, so there nothing is measured.
int64_t PeakResidentBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return 0;
#else
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  }
  return 0;
#endif
}

void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::string ArchiveBytes(const TScratchFolder& dir, const std::string& index) {
  const std::string file = dir / "made.web";
  fs::remove(file);
  TVornArchive(file).AddStream("index.dat", index);
  return ReadFile(file);
}

// An index.dat member announcing far more than any project's index, over noise it cannot decode.
std::string HugeIndexMember() {
  TLhaHeader header;
  header.method = std::string(kLhaLh1);
  header.name = "INDEX.DAT";
  header.packedSize = 6 << 20;
  header.originalSize = 280 << 20;
  return EncodeLhaHeader(header) + Noise(header.packedSize, 4) + std::string(1, '\0');
}

// Crafted files: each is refused as no project and left as it was, or loads, and neither costs
// memory out of proportion to the file.
TEST_F(DocumentTest, HostileFiles) {
  std::string duplicates;
  for (int i = 0; i < 400000; ++i) duplicates += "[a]\r\nSTATUS=1\r\n";
  struct TCase {
    const char* Name;
    std::optional<std::string> Bytes;  // none: no file at all
    std::optional<TFileError> Error;   // none: loads
    int Links = 0;
  };
  const std::vector<TCase> cases = {
      {"missing", std::nullopt, feCantRead},
      {"text", "this is not an archive at all\r\n", feInvalidDoc},
      {"noise", Noise(3000, 3), feInvalidDoc},
      {"empty", "", feInvalidDoc},
      {"leading NUL byte", std::string(1, '\0') + Noise(10000, 5), feInvalidDoc},
      {"bytes after the end marker", ArchiveBytes(m_dir, "[http://h.org/]\r\n") + "junk",
       feInvalidDoc},
      {"huge control member", HugeIndexMember(), feInvalidDoc},
      {"400 000 duplicate sections", ArchiveBytes(m_dir, duplicates), std::nullopt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = m_dir / (std::string(c.Name) + ".web");
    if (c.Bytes) WriteFile(file, *c.Bytes);
    TVornDocument doc(m_dir / "cache", m_dir.Path().string());
    std::vector<TFileError> errors;
    doc.OnLoadError = [&](TFileError e) { errors.push_back(e); };
    int links = 0;
    doc.OnLoadLink = [&](TVornLinkPtr, int) { return ++links > 0; };
    ResetPeakResident();
    const int64_t before = PeakResidentBytes();
    EXPECT_EQ(doc.Load(file), !c.Error);
    EXPECT_LT(PeakResidentBytes() - before, 64 << 20);
    EXPECT_EQ(errors, c.Error ? std::vector<TFileError>{*c.Error} : std::vector<TFileError>{});
    EXPECT_EQ(links, c.Links);
    EXPECT_EQ(doc.Status(), dsReady);
    if (c.Error) {
      EXPECT_TRUE(FilesIn(doc.Folder()).empty());
    }
    if (c.Bytes) {
      EXPECT_TRUE(ReadFile(file) == *c.Bytes);  // never touched
    }
  }
}

TEST_F(DocumentTest, LoadWithoutSettingsStillRebuildsLinks) {
  const std::string file = m_dir / "bare.web";
  TVornArchive(file).AddStream("index.dat", "[http://h.org/]\r\nSTATUS=1\r\n");
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  bool settingsCalled = false;
  doc.OnLoadSettings = [&](TVornCustomIniFile&, bool) { settingsCalled = true; };
  int links = 0;
  doc.OnLoadLink = [&](TVornLinkPtr, int status) {
    EXPECT_EQ(status, kStatusQueue);
    return ++links > 0;
  };
  EXPECT_TRUE(doc.Load(file));
  EXPECT_FALSE(settingsCalled);
  EXPECT_EQ(links, 1);
}

// Each failing step of writing the project file must leave the old file as it was, leave no
// temporary file beside it, report failure and keep the document marked as changed; so must a
// disk that fills up while the working archive is packed, and the content then waits for the
// next save.
TEST_F(DocumentTest, FailedSaveLeavesPreviousFileIntact) {
  const std::string file = m_dir / "site.web";
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), m_fs);
  FillAndSave(doc, file);
  std::string before = ReadFile(file);
  const auto filesBefore = FilesIn(m_dir.Path().string());

  std::atomic<int> steps{0};
  int failAt = 0;
  m_fs.Allow = [&](std::string_view, const std::string& path) {
    return !path.starts_with(file) || ++steps != failAt;
  };
  for (failAt = 1; failAt < 100; ++failAt) {
    SCOPED_TRACE(failAt);
    doc.SetDocumentContent(kImage, Noise(150000, static_cast<uint32_t>(failAt)));
    steps = 0;
    if (doc.Save(false)) break;
    EXPECT_TRUE(ReadFile(file) == before);
    EXPECT_EQ(FilesIn(m_dir.Path().string()), filesBefore);
    EXPECT_TRUE(doc.Changed());
  }
  EXPECT_GE(failAt, 7);  // create, four blocks, sync, close, rename: the folder sync is not fatal
  m_fs.Allow = {};
  before = ReadFile(file);

  doc.SetDocumentStatus("http://h.org/new.gif", kStatusReady);
  doc.SetDocumentContent("http://h.org/new.gif", Noise(50000, 9));
  doc.FlushJobs();
  m_fs.FreeBytes = 20000;
  EXPECT_FALSE(doc.Save(false));
  m_fs.FreeBytes = UINT64_MAX;
  EXPECT_TRUE(ReadFile(file) == before);
  ASSERT_TRUE(doc.Save(false));
  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(loaded.GetDocumentContent(kImage), Noise(150000, static_cast<uint32_t>(failAt)));
  EXPECT_EQ(loaded.GetDocumentContent("http://h.org/new.gif"), Noise(50000, 9));
}

// Writing the project file fails: the user is asked on the interface thread; OK retries, Cancel
// ends the save as failed and keeps the document changed.
TEST_F(DocumentTest, WriteErrorAsksAndRetries) {
  const std::string file = m_dir / "site.web";
  TVornDocument doc(m_dir / "cache", m_dir.Path().string(), m_fs);
  FillAndSave(doc, file);
  const std::string message =
      "Unable to save to save file \"" + file + "\".Please press OK to Retry.";
  for (const bool retry : {true, false}) {
    SCOPED_TRACE(retry);
    auto dialogs = std::make_shared<test::TFakeDialogService>();
    dialogs->messageAnswers = {retry ? int(mrOk) : int(mrCancel)};
    SetDialogService(dialogs);
    doc.SetDocumentValue(kPage, "X", retry ? "1" : "2");
    bool failed = false;
    m_fs.Allow = [&](std::string_view operation, const std::string& path) {
      if (failed || operation != "create" || !path.starts_with(file)) return true;
      failed = true;
      return false;
    };
    EXPECT_EQ(doc.Save(false), retry);  // a retry runs past the one failing step
    m_fs.Allow = {};
    SetDialogService(nullptr);
    const auto asked = dialogs->Questions();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, message);
    EXPECT_EQ(asked[0].thread, std::this_thread::get_id());
    EXPECT_EQ(doc.Changed(), !retry);
  }
}

TEST_F(DocumentTest, UntitledSavesAsAutosaveOrNotAtAll) {
  TVornDocument doc(m_dir / "cache", m_dir / "docs");
  fs::create_directories(m_dir / "docs");
  doc.SetDocumentStatus(kPage, 0);
  EXPECT_FALSE(doc.Save(false));
  EXPECT_EQ(doc.DocName(), "Untitled.web");
  ASSERT_TRUE(doc.Save(true));
  const std::string name = doc.DocName();
  EXPECT_EQ(fs::path(name).parent_path(), fs::path(m_dir / "docs"));
  EXPECT_TRUE(fs::path(name).filename().string().starts_with("autosave"));
  EXPECT_TRUE(fs::exists(name));
  ASSERT_TRUE(doc.Save(true));
  EXPECT_EQ(doc.DocName(), name);
}

// The index of a project file names the content files; a name that is not a plain file name,
// or names a file the document did not make, must read as no content and never be deleted.
TEST_F(DocumentTest, HostileContentNamesAreNoContent) {
  const std::string victim = m_dir / "victim.txt";
  const std::vector<std::string> names = {
      "../../victim.txt", m_dir / "victim.txt", "..\\..\\victim.txt", ".",           "..",
      "index.dat",        "SETTINGS.DAT",       "project.~web",       "loading.~web"};
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    WriteFile(victim, "keep me");
    const std::string file = m_dir / "hostile.web";
    fs::remove(file);
    TVornArchive archive(file);
    archive.AddStream("settings.dat", "[Project]\r\nFName=x\r\n");
    archive.AddStream("index.dat", "[http://h.org/]\r\nSTATUS=0\r\nContent=" + name + "\r\n");
    TVornDocument doc(m_dir / "cache", m_dir.Path().string());
    ASSERT_TRUE(doc.Load(file));
    // A plain name the file holds no member of is a lost content; any other is none at all.
    if (IsContentFileName(name)) {
      EXPECT_THROW(doc.GetDocumentContent("http://h.org/"), EArchiveError);
    } else {
      EXPECT_EQ(doc.GetDocumentContent("http://h.org/"), "");
    }
    doc.RemoveDocument("http://h.org/");
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_TRUE(fs::exists(doc.Folder() + "project.~web"));
    EXPECT_TRUE(TVornArchive(doc.Folder() + "project.~web").Contains("settings.dat"));
  }
  EXPECT_FALSE(IsContentFileName(""));
  EXPECT_TRUE(IsContentFileName("tmp48213.~tmp"));
}

// Crawl threads write and read while the interface thread saves: every save must produce a
// project file that loads, and nothing stored may be lost or mixed up.
TEST_F(DocumentTest, WritesAndReadsDuringSaves) {
  const std::string file = m_dir / "busy.web";
  TVornDocument doc(m_dir / "cache", m_dir.Path().string());
  doc.SetDocName(file);
  constexpr int kThreads = 3;
  constexpr int kPerThread = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::string url = "http://h.org/" + std::to_string(t) + "/" + std::to_string(i);
        const std::string body = "body " + url;
        doc.SetDocumentStatus(url, kStatusReady);
        doc.SetDocumentContent(url, body);
        if (doc.GetDocumentContent(url) != body) ++failures;
        if (i % 3 == 0) doc.RemoveDocument(url);
      }
    });
  }
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(doc.Save(false));
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_TRUE(doc.Save(false));

  TVornDocument loaded(m_dir / "cache", m_dir.Path().string());
  int links = 0;
  loaded.OnLoadLink = [&](TVornLinkPtr link, int) {
    const std::string url = link->GetUrl();
    EXPECT_EQ(loaded.GetDocumentContent(url), "body " + url);
    ++links;
    return true;
  };
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(links, kThreads * (kPerThread - (kPerThread + 2) / 3));
}

TEST(RoundPercentTest, HalvesGoToTheEvenNeighbour) {
  struct TCase {
    uint64_t Num, Den;
    int Percent;
  };
  for (const auto& c : std::vector<TCase>{{0, 3, 0},
                                          {1, 3, 33},
                                          {2, 3, 67},
                                          {1, 8, 12},   // 12.5
                                          {3, 8, 38},   // 37.5
                                          {1, 200, 0},  // 0.5
                                          {3, 200, 2},  // 1.5
                                          {5, 5, 100},
                                          {1, 0, 0}}) {
    EXPECT_EQ(RoundPercent(c.Num, c.Den), c.Percent) << c.Num << "/" << c.Den;
  }
}

}  // namespace
}  // namespace tq
