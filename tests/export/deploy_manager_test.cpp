// The export manager over a real project document and controller: which files an export holds
// and where their links lead, addresses that try to climb out of the destination, the dialogs
// of failed writes and of the e-book, and a cancel in the middle of an export.
// ctest: timeout=120
#include "export/deploy_manager.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <regex>

#include "engine/content.h"
#include "engine/download.h"
#include "engine/http_connection.h"
#include "export/export_path.h"
#include "foundation/canonical_url.h"
#include "foundation/main_loop.h"
#include "foundation/url.h"
#include "storage/archive_test_util.h"
#include "storage/document.h"
#include "support/fake_dialog_service.h"
#include "support/ready_document.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TScratchFolder;
using test::WriteFile;

// A project document whose read of one address waits until the test opens the gate.
class TGatedDocument : public TVornDocument {
 public:
  using TVornDocument::TVornDocument;
  std::string GetDocumentContent(std::string_view url) override {
    if (url == GateUrl) {
      std::unique_lock lock(m_mutex);
      m_reached = true;
      m_changed.wait(lock, [&] { return m_open; });
    }
    return TVornDocument::GetDocumentContent(url);
  }
  bool Reached() {
    std::lock_guard lock(m_mutex);
    return m_reached;
  }
  void Open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }
  std::string GateUrl;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_reached = false, m_open = false;
};

// The program's exit code (-1 when it could not run) and its standard output. popen starts it
// with posix_spawn, which the thread checker follows (a fork of this threaded process it does not).
std::pair<int, std::string> RunTool(const std::string& program,
                                    const std::vector<std::string>& args) {
  std::string command = program;
  for (const std::string& arg : args) command += " '" + arg + "'";
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  char block[4096];
  for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Every file below root, without following links, relative to it.
std::vector<std::string> FilesBelow(const fs::path& root) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class DeployManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDialogService(m_dialogs);
    ApplyNewProjectSettings(m_download.Settings());
    m_download.SetVornDocument(&m_document);
    m_manager.SetVornDownload(&m_download);
    m_manager.CacheFolder = m_dir / "cache";
    m_manager.OnSaveProgress = [this](TVornDeployManager&, const TVornDepFile& file, int) {
      EXPECT_TRUE(IsInterfaceThread());
      m_saved.push_back(file.LocalPath);
    };
  }
  void TearDown() override { SetDialogService(nullptr); }

  // A fetched document, stored as the crawl stores it.
  void AddReady(const std::string& url, const std::string& type, const std::string& content) {
    test::AddReadyDocument(m_download, m_document, url, type, content);
  }
  // A page that links to each address, and says its own address in its text.
  void AddPage(const std::string& url, const std::vector<std::string>& links) {
    TStoredDocumentWriter writer;
    std::string body = "<html><body><p>" + url + "</p>\n";
    for (const std::string& link : links)
      body += "<a href=\"" + LinkPlaceholder(writer.AddLink(link)) + "#part\">x</a>\n";
    AddReady(url, "text/html", writer.Build(url, body + "</body></html>"));
  }
  void Export(TVornStorageType type, const std::string& destination) {
    m_document.FlushJobs();
    m_manager.StorageType = type;
    m_manager.SetDestination(destination);
    m_manager.Start();
    ASSERT_TRUE(RunUntil([&] { return !m_manager.Running(); }, Millis(60000)));
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> texts;
    for (const auto& q : m_dialogs->Questions()) texts.push_back(q.text);
    return texts;
  }

  TScratchFolder m_dir;
  std::shared_ptr<test::TFakeDialogService> m_dialogs =
      std::make_shared<test::TFakeDialogService>();
  TGatedDocument m_document{m_dir / "cache", m_dir / "docs"};
  TVornDownload m_download;
  TVornDeployManager m_manager;
  std::vector<std::string> m_saved;
};

const std::string kIndex = "http://h/index.html";
const std::string kLogo = "http://h/img/logo.gif";
const std::string kPageB = "http://h/a/b.html";

TEST_F(DeployManagerTest, LinksLeadToExportedFilesOrOnline) {
  AddPage(kIndex, {kLogo, kPageB, "http://h/p.php?id=1", "http://h/p.php?id=2",
                   "http://other.invalid/x.html"});
  AddReady(kLogo, "image/gif", "GIF89a");
  AddPage(kPageB, {kLogo, kIndex});
  AddPage("http://h/p.php?id=1", {});
  AddPage("http://h/p.php?id=2", {});

  struct Case {
    TVornDeployFilesKind kinds;
    TLinkTranslation followed;
    bool translate;
    bool relative;  // links to exported files are relative paths
  };
  const Case cases[] = {
      {kAllDeployFileKinds, EltOffline, true, true},
      {kAllDeployFileKinds, eltOnline, true, false},
      {kAllDeployFileKinds, EltOffline, false, false},
      {TVornDeployFilesKind().set(edfkText), EltOffline, true, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path out = m_dir / ("out" + std::to_string(n++));
    m_manager.FilesKind = c.kinds;
    m_download.LinksTranslation().Followed = c.followed;
    m_download.LinksTranslation().Enabled = c.translate;
    Export(estFolder, out.string());
    const bool images = c.kinds[edfkImages];
    SCOPED_TRACE(n);

    EXPECT_EQ(fs::exists(out / "http/h/img/logo.gif"), images);
    const std::string index = ReadFile(out / "http/h/index.html");
    const std::string b = ReadFile(out / "http/h/a/b.html");
    const bool toLogo = c.relative && images;
    EXPECT_NE(index.find(toLogo ? "\"img/logo.gif#part\"" : "\"http://h/img/logo.gif#part\""),
              std::string::npos);
    EXPECT_NE(b.find(toLogo ? "\"../img/logo.gif#part\"" : "\"http://h/img/logo.gif#part\""),
              std::string::npos);
    EXPECT_NE(b.find(c.relative ? "\"../index.html#part\"" : "\"http://h/index.html#part\""),
              std::string::npos);
    EXPECT_NE(index.find("\"http://other.invalid/x.html#part\""), std::string::npos);
    if (c.relative) {
      // Each query variant opens its own file, whose name the link spells encoded.
      const int first = images ? 3 : 2;
      for (int v = 0; v < 2; ++v) {
        const std::string name = "p.php\xC2\xBFPageID=" + std::to_string(first + v) + ".html";
        EXPECT_NE(index.find("\"p.php%C2%BFPageID=" + std::to_string(first + v) + ".html#"),
                  std::string::npos);
        EXPECT_NE(ReadFile(out / "http/h" / name).find("id=" + std::to_string(v + 1)),
                  std::string::npos);
      }
    }
  }
  EXPECT_EQ(m_saved.size(), 5u + 5 + 5 + 4);
  EXPECT_TRUE(m_dialogs->Questions().empty());
}

TEST_F(DeployManagerTest, StyleSheetReferencesLeadToExportedFilesOrOnline) {
  struct Row {
    std::string css, offline, online;
  };
  const Row rows[] = {
      {"@import url('/css/more.css') screen;", "@import url('more.css') screen;",
       "@import url('http://h/css/more.css') screen;"},
      {"a{background:url(/img/logo.gif)}", "a{background:url(../img/logo.gif)}",
       "a{background:url(http://h/img/logo.gif)}"},
      {"b{background:URL( \"http://h/img/logo.gif#top\" )}",
       "b{background:URL( \"../img/logo.gif#top\" )}",
       "b{background:URL( \"http://h/img/logo.gif#top\" )}"},
      {"c{background:u\\72l(\\2F img/logo.gif)}", "c{background:u\\72l(../img/logo.gif)}",
       "c{background:u\\72l(http://h/img/logo.gif)}"},
      {"d{background:url(../img/logo.gif?v=2)}",
       "d{background:url(../img/logo.gif%C2%BFPageID=3.gif)}",
       "d{background:url(http://h/img/logo.gif?v=2)}"},
      {"@import 'gone.css'; e{background:url(../img/gone.png)}",
       "@import 'http://h/css/gone.css'; e{background:url(http://h/img/gone.png)}",
       "@import 'http://h/css/gone.css'; e{background:url(http://h/img/gone.png)}"},
      {"/* url(x.gif) */ f{content:\"url(x.gif)\"; background:url(data:image/gif;base64,R0l)}", "",
       ""},
  };
  std::string sheet, offline, online;
  for (const Row& row : rows) {
    sheet += row.css + "\n";
    offline += (row.offline.empty() ? row.css : row.offline) + "\n";
    online += (row.online.empty() ? row.css : row.online) + "\n";
  }
  AddReady("http://h/css/site.css", "text/css", sheet);
  AddReady("http://h/css/more.css", "text/css; charset=utf-8", "p{color:red}");
  AddReady(kLogo, "image/gif", "GIF89a");
  AddReady("http://h/img/logo.gif?v=2", "image/gif", "GIF89a");
  // A page's style element and attributes, escaped as the stored copy writes them.
  AddReady(kPageB, "text/html",
           TStoredDocumentWriter().Build(
               kPageB,
               "<style>p{background:url(/img/logo.gif)}</style>\n"
               "<p id=x style=\"background:url(&quot;/img/logo.gif&quot;)\">\xE9</p>"));

  m_manager.FilesKind = kAllDeployFileKinds;
  m_download.LinksTranslation().Enabled = true;
  for (const TLinkTranslation followed : {EltOffline, eltOnline}) {
    m_download.LinksTranslation().Followed = followed;
    const fs::path out = m_dir / (followed == EltOffline ? "offline" : "online");
    Export(estFolder, out.string());
    EXPECT_EQ(ReadFile(out / "http/h/css/site.css"), followed == EltOffline ? offline : online);
    const std::string to = followed == EltOffline ? "../img/logo.gif" : "http://h/img/logo.gif";
    EXPECT_EQ(ReadFile(out / "http/h/a/b.html"),
              "<!-- saved from url=\"http://h/a/b.html\" using Tarnquill -->\r\n"
              "<meta charset=\"utf-8\" /><style>p{background:url(" +
                  to + ")}</style>\r\n<p id=\"x\" style=\"background:url(&quot;" + to +
                  "&quot;)\">\xC3\xA9</p>\r\n");
  }
}

// The local references of the exported page at path (below root) that name no file of the export.
// A reference is the file name percent-encoded, as a browser reads it.
std::vector<std::string> BrokenLocalReferences(const fs::path& root, const std::string& path) {
  if (!fs::is_regular_file(root / path)) return {"the page itself"};
  const std::string page = ReadFile(root / path);
  static const std::regex kReference(R"((?:href|src)="([^"#]*)|url=([^"#]*)\")");
  std::vector<std::string> broken;
  for (std::sregex_iterator it(page.begin(), page.end(), kReference), end; it != end; ++it) {
    const std::string ref = (*it)[1].str() + (*it)[2].str();
    // Online and inline (data:) references open without the export.
    if (ref.empty() || !IsFetchableReference(ref) || ref.starts_with("http:")) continue;
    if (!fs::is_regular_file(root / fs::path(path).parent_path() / PercentDecode(ref)))
      broken.push_back(ref);
  }
  return broken;
}

// Pages as the crawl stores them, exported and read back from the files: links open from disk past
// a base element and to a name too long for a file system, a redirect goes on to its target, and
// pages are UTF-8 under their own names.
TEST_F(DeployManagerTest, ExportedPagesOpenFromDisk) {
  const std::string longName(300, 'n');
  const std::string page = "http://h/docs/xml.sax.utils.html";
  const auto analysed = [](const std::string& url, const std::string& html) {
    TVornContent content(url, 0);
    EXPECT_EQ(content.Analyze(html, "text/html"), TVornAnalysisStatus::easDone);
    return content.Output();
  };
  // iso-8859-2: "ż" (0xBF) is not in the stored code page; 0xA4 is the currency sign.
  AddReady(page, "text/html",
           analysed(page,
                    "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" "
                    "content=\"text/html; charset=iso-8859-2\"><base href=\"http://h/docs/\" "
                    "target=\"_top\"></head><body><p>Za\xBF \xA4\xA4"
                    "0\xA4\xA4</p><a href=\"sub/p.html#s\">s</a><img src=\"../img/logo.gif\">"
                    "<img src=\"data:image/png;base64,iVBORw0KGgo=\">"
                    "<a href=\"" +
                        longName + ".html\">long</a><a href=\"/old.html\">old</a></body></html>"));
  AddReady("http://h/docs/sub/p.html", "text/html",
           analysed("http://h/docs/sub/p.html", "<p>caf\xE9</p>"));
  AddReady(kLogo, "image/gif", "GIF89a");
  AddReady("http://h/docs/" + longName + ".html", "text/html",
           analysed("http://h/docs/" + longName + ".html", "<a href=\"xml.sax.utils.html\">"));
  AddReady("http://h/old.html", "text/html",
           MakeRedirectPage("http://h/docs/sub/p.html", "http://h/old.html"));
  m_manager.FilesKind = kAllDeployFileKinds;

  const std::string paths[] = {"docs/xml.sax.utils.html", "docs/sub/p.html", "old.html",
                               "docs/" + FitName(longName + ".html")};
  Export(estFolder, m_dir / "folder");
  Export(estZip, m_dir / "site.zip");
  ASSERT_EQ(RunTool("unzip", {"-q", m_dir / "site.zip", "-d", m_dir / "zip"}).first, 0);
  for (const char* destination : {"folder", "zip"}) {
    SCOPED_TRACE(destination);
    const fs::path root = fs::path(m_dir / destination) / "http/h";
    for (const std::string& path : paths)
      EXPECT_EQ(BrokenLocalReferences(root, path), std::vector<std::string>()) << path;
    const std::string exported = ReadFile(root / "docs/xml.sax.utils.html");
    EXPECT_NE(exported.find("content=\"text/html;charset=utf-8\">"), std::string::npos);
    EXPECT_NE(exported.find("<base target=\"_top\">"), std::string::npos) << "href dropped";
    EXPECT_NE(exported.find("<img src=\"data:image/png;base64,iVBORw0KGgo=\">"), std::string::npos)
        << "an inline image stays inline";
    EXPECT_NE(exported.find("<p>Za\xC5\xBC \xC2\xA4\xC2\xA4"
                            "0\xC2\xA4\xC2\xA4</p><a href=\"sub/p.html#s\">"),
              std::string::npos)
        << "the text's own currency signs stay text";
    EXPECT_EQ(ReadFile(root / "docs/sub/p.html"),
              "<!-- saved from url=\"http://h/docs/sub/p.html\" using Tarnquill -->\r\n"
              "<meta charset=\"utf-8\" /><p>caf\xC3\xA9</p>\r\n");
  }
}

// A project stored before addresses had one spelling: its index, lists and link headers hold
// raw spellings; the export still finds every document and links them.
TEST_F(DeployManagerTest, OldSpellingsStillExportAndLink) {
  const std::string oldPage = "http://H/my page{1}.html";
  TStoredDocumentWriter writer;
  const std::string body = "<a href=\"" + LinkPlaceholder(writer.AddLink(kIndex)) + "\">i</a>";
  test::AddReadyUnderOldSpelling(m_download, m_document, oldPage, "text/html",
                                 writer.Build(oldPage, body));
  AddPage(kIndex, {oldPage});
  m_manager.FilesKind = kAllDeployFileKinds;
  Export(estFolder, m_dir / "folder");
  const fs::path root = m_dir / "folder/http/h";
  // Files are named by the address's path as browsers send it.
  EXPECT_EQ(FilesBelow(root), (std::vector<std::string>{"index.html", "my%20page%7B1%7D.html"}));
  for (const std::string path : {"index.html", "my%20page%7B1%7D.html"})
    EXPECT_EQ(BrokenLocalReferences(root, path), std::vector<std::string>()) << path;
  EXPECT_EQ(ReadFile(root / "index.html").find("\"http://H/"), std::string::npos);
}

TEST_F(DeployManagerTest, NothingIsWrittenOutsideTheDestination) {
  const std::vector<std::string> climbing = {
      "http://h/a/../../../../../x.html", "http://h/%2e%2e/%2E%2E/y.html",
      "http://h/..%2f..%2fz.html", "http://../../w.html", "http://h/b/%2e%2e/%2e%2e/v.html"};
  AddPage(kIndex, climbing);
  for (const std::string& url : climbing) AddPage(url, {kIndex});
  AddPage("http://h/trap/in.html", {});
  // Chosen by hand: which addresses the file filters take is not the point here.
  m_manager.WorkingMode = ewmSelected;
  for (int i = 0; i < m_download.ReadyLinks().Count(); ++i)
    m_manager.Files().Add(m_download.ReadyLinks().Get(i)->GetUrl(), "text/html");
  const fs::path parent = m_dir / "parent";
  const fs::path outside = m_dir / "outside";
  fs::create_directories(parent / "folder/http/h");
  fs::create_directories(outside);
  // A link planted inside the destination is not followed: that one file fails to be written.
  fs::create_directory_symlink(outside, parent / "folder/http/h/trap");
  m_dialogs->messageAnswers = {mrOk};
  ASSERT_NE(std::getenv("TQ_HHC"), nullptr);
  m_manager.HTMLCompiler.FileName = std::getenv("TQ_HHC");

  Export(estFolder, (parent / "folder").string());
  Export(estZip, (parent / "book.zip").string());
  Export(estEbook, (parent / "book.chm").string());

  EXPECT_EQ(Asked(), std::vector<std::string>{ExportWriteErrorText(
                         (parent / "folder/http/h/trap/in.html").string(), ENOTDIR)});
  EXPECT_TRUE(fs::is_empty(outside));
  for (const std::string& file : FilesBelow(parent)) {
    EXPECT_TRUE(file == "book.zip" || file == "book.chm" || file.rfind("folder/http/", 0) == 0)
        << file;
  }
  const std::string zip = parent / "book.zip";
  EXPECT_EQ(RunTool("unzip", {"-tq", zip}).first, 0);
  const std::string members = RunTool("unzip", {"-Z1", zip}).second;
  EXPECT_NE(members.find("http/h/x.html\n"), std::string::npos) << members;
  for (size_t at = members.find(".."); at != std::string::npos; at = members.find("..", at + 2)) {
    const bool whole = (at == 0 || members[at - 1] == '/' || members[at - 1] == '\n') &&
                       (members[at + 2] == '/' || members[at + 2] == '\n');
    EXPECT_FALSE(whole) << members;
  }

  const fs::path extracted = m_dir / "extracted";
  EXPECT_EQ(RunTool("extract_chmLib", {parent / "book.chm", extracted}).first, 0);
  EXPECT_NE(ReadFile(extracted / "http/h/x.html").find("<p>http://h/a/../../../../../x.html</p>"),
            std::string::npos);
  for (const auto& entry : fs::directory_iterator(m_dir / "cache"))
    EXPECT_NE(entry.path().extension(), ".~chm") << "the working folder is gone";
}

TEST_F(DeployManagerTest, AFailedWriteAsksWhetherToGoOn) {
  AddPage(kIndex, {kPageB});
  AddPage(kPageB, {});
  const fs::path out = m_dir / "out";
  fs::create_directories(out);
  WriteFile(out / "http", "a file where a folder belongs");

  Export(estFolder, out.string());  // Cancel ends the export at the first failure
  const std::string first = ExportWriteErrorText((out / "http/h/index.html").string(), ENOTDIR);
  EXPECT_EQ(Asked(), std::vector<std::string>{first});
  m_dialogs->messageAnswers = {mrOk, mrOk};
  Export(estFolder, out.string());  // OK goes on with the next file
  EXPECT_EQ(Asked(),
            (std::vector<std::string>{
                first, first, ExportWriteErrorText((out / "http/h/a/b.html").string(), ENOTDIR)}));
}

TEST_F(DeployManagerTest, EbookDialogsAndTheProjectGivenToTheCompiler) {
  const std::string compiler = m_dir / "compiler.sh";
  WriteFile(compiler, "#!/bin/sh\ncp \"$1\" \"" + (m_dir / "seen.hhp") +
                          "\"\necho book > \"$(dirname \"$1\")/temp.chm\"\n");
  fs::permissions(compiler, fs::perms::owner_all);
  const std::string book = m_dir / "out.chm";
  struct Case {
    std::string compiler;
    std::string question;  // empty: none
  };
  const Case cases[] = {
      {"",
       "There is no HTML Help compiler selected. Please go to Options and follow the "
       "instructions"},
      {"/bin/true",
       "Error compiling the HTML Help. Please go to Options dialog and select other compiler."},
      {compiler, ""},
  };
  for (const Case& c : cases) {
    m_manager.HTMLCompiler.FileName = c.compiler;
    const size_t before = Asked().size();
    Export(estEbook, book);
    const std::vector<std::string> asked = Asked();
    EXPECT_EQ(asked.size() - before, c.question.empty() ? 0u : 1u) << c.compiler;
    if (!c.question.empty()) {
      EXPECT_EQ(asked.back(), c.question);
    }
    EXPECT_EQ(fs::exists(book), c.question.empty());
  }
  // A project with nothing to export holds only its options.
  EXPECT_EQ(ReadFile(m_dir / "seen.hhp"),
            "[OPTIONS]\r\nCompatibility=1.1 or later\r\nTITLE=Untitled\r\n"
            "Language=0x409 English (United States)\r\n");
  EXPECT_EQ(ReadFile(book), "book\n");
}

// A compiler that fails, however it fails, never costs the user the book they had, and the
// project it is given lists every page under a name the file system takes.
TEST_F(DeployManagerTest, AFailedCompileLeavesTheBookAsItWas) {
  const std::string longName = "http://h/" + std::string(300, 'x') + ".html";
  AddPage(kIndex, {});
  AddPage(longName, {});
  const std::string book = m_dir / "keep.chm";
  const std::string compileError =
      "Error compiling the HTML Help. Please go to Options dialog and select other compiler.";
  struct Case {
    std::string script;  // run in the working folder
    bool compiled;
  } const cases[] = {
      {"printf partial > temp.chm; exit 1", false},
      {": > temp.chm", false},
      {"printf partial > temp.chm; kill -9 $$", false},
      {"printf new > temp.chm", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    WriteFile(book, "old book");
    const std::string compiler = m_dir / "compiler.sh";
    WriteFile(compiler, "#!/bin/sh\ncd \"$(dirname \"$1\")\"\ncp \"$1\" \"" + (m_dir / "seen.hhp") +
                            "\"\n" + c.script + "\n");
    fs::permissions(compiler, fs::perms::owner_all);
    m_manager.HTMLCompiler.FileName = compiler;
    const size_t before = Asked().size();
    Export(estEbook, book);
    std::vector<std::string> asked = Asked();
    asked.erase(asked.begin(), asked.begin() + static_cast<long>(before));
    EXPECT_EQ(asked,
              c.compiled ? std::vector<std::string>{} : std::vector<std::string>{compileError});
    EXPECT_EQ(ReadFile(book), c.compiled ? "new" : "old book");
    const std::string project = ReadFile(m_dir / "seen.hhp");
    EXPECT_NE(project.find("Default topic=http/h/index.html\r\n[Files]\r\nhttp/h/index.html\r\n"),
              std::string::npos)
        << project;
    // The long name is listed shortened, as it was written.
    EXPECT_EQ(project.find(std::string(300, 'x')), std::string::npos) << project;
    EXPECT_NE(project.find("\r\nhttp/h/xxxx"), std::string::npos) << project;
  }
}

// The compiler's wrapper takes a partial or empty book for no book, and leaves none behind.
TEST(EbookCompiler, AFailedCompileLeavesNoBook) {
  ASSERT_NE(std::getenv("TQ_HHC"), nullptr);
  TScratchFolder dir;
  fs::create_directories(dir / "bin");
  WriteFile(dir / "temp.hhp", "[OPTIONS]\r\nTITLE=t\r\n");
  const struct {
    std::string script;
    int exitCode;
  } cases[] = {
      {"printf partial > temp.chm; exit 1", 1},
      {": > temp.chm", 1},
      {"printf book > temp.chm", 0},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "bin/chmcmd", "#!/bin/sh\n" + c.script + "\n");
    fs::permissions(dir / "bin/chmcmd", fs::perms::owner_all);
    const auto [code, out] =
        RunTool("PATH='" + (dir / "bin") + "':\"$PATH\" '" + std::getenv("TQ_HHC") + "'",
                {dir / "temp.hhp"});
    EXPECT_EQ(code, c.exitCode) << c.script;
    EXPECT_EQ(fs::exists(dir / "temp.chm"), c.exitCode == 0) << c.script;
  }
}

TEST_F(DeployManagerTest, CancelStopsAfterTheFileBeingWritten) {
  for (int i = 0; i < 6; ++i) AddPage("http://h/p" + std::to_string(i) + ".html", {});
  m_document.GateUrl = "http://h/p2.html";
  std::vector<std::string> events;
  const auto record = [&](const char* name) {
    return [&events, name](TVornDeployManager&) { events.emplace_back(name); };
  };
  m_manager.OnBegin = record("begin");
  m_manager.OnEndSave = record("end save");
  m_manager.OnEnd = record("end");
  const fs::path out = m_dir / "out";
  m_document.FlushJobs();
  m_manager.SetDestination(out.string());
  m_manager.Start();
  ASSERT_TRUE(RunUntil([&] { return m_document.Reached(); }));
  m_dialogs->messageAnswers = {mrYes};
  PostToInterface([&] { m_document.Open(); });  // runs while Cancel waits for the thread
  m_manager.Cancel();
  ASSERT_TRUE(RunUntil([&] { return !m_manager.Running(); }));

  EXPECT_EQ(Asked(), std::vector<std::string>{std::string(kCancelExportQuestion)});
  EXPECT_EQ(FilesBelow(out / "http/h"),
            (std::vector<std::string>{"p0.html", "p1.html", "p2.html"}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "end save", "end"}));
}

}  // namespace
}  // namespace tq
