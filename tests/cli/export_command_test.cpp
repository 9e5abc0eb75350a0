// The export, links and emails commands end to end: a small site crawled into a project file,
// then exported and opened by independent readers (a headless browser, unzip, extract_chmLib).
// ctest: timeout=240
#include <algorithm>
#include <regex>

#include <QUrl>

#include "cli/cli_run.h"
#include "formats/css_tokenizer.h"

namespace tq {
namespace {

const char kIndexPage[] = R"(<!DOCTYPE html>
<html><head><link rel="stylesheet" href="css/site.css"></head><body>
<img src="images/logo.png" alt="logo">
<a id="next" href="pages/next.html?part=2#end">next</a>
<a href="missing.html">gone</a> <a href="mailto:me@example.org">mail</a>
<script>
window.addEventListener('load', function () {
  var image = document.images[0];
  document.body.setAttribute('data-image', image.naturalWidth > 0 ? 'loaded' : 'broken');
  document.body.setAttribute('data-link', document.getElementById('next').href);
});
</script>
</body></html>
)";

class ExportCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("tq_export_cli_" + std::to_string(::getpid()));
    fs::remove_all(s_dir);
    fs::create_directories(s_dir);
    HttpTestServer server;
    const auto serve = [&](const std::string& target, const std::string& type,
                           const std::string& body) {
      const std::string answer =
          HttpTestServer::Answer("200 OK", "Content-Type: " + type + "\r\n", body);
      server.Route(target, [answer](const TestRequest&, TestConnection& c) { c.Send(answer); });
    };
    serve("/index.html", "text/html", kIndexPage);
    serve("/images/logo.png", "image/png", ReadFile(SampleSite() / "images/logo.png"));
    serve("/pages/next.html?part=2", "text/html", "<html><body>part two</body></html>");
    // The copy's name for the query variant differs from the online one: only a rewritten
    // reference finds it.
    serve("/css/site.css", "text/css",
          "body { background: url(\"../images/logo.png?bg=1\") }\np { background: "
          "url(/images/logo.png) }");
    serve("/images/logo.png?bg=1", "image/png", ReadFile(SampleSite() / "images/logo.png"));
    s_host = "127.0.0.1_" + std::to_string(server.Port());
    const CliRun crawl = RunCli(
        {"crawl", server.Url("/index.html"), "-o", s_dir / "site.web", "--dispatch-interval", "0"});
    ASSERT_EQ(crawl.ExitCode, 8) << "missing.html fails: " << crawl.Err;
    s_missing = server.Url("/missing.html");
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  static CliRun Export(const std::string& how, const fs::path& where) {
    return RunCli({"export", s_dir / "site.web", how, where});
  }

  static inline fs::path s_dir;
  static inline std::string s_host, s_missing;
};

TEST_F(ExportCommand, ABrowserOpensTheFolderExportFromDisk) {
  const fs::path out = s_dir / "folder";
  const CliRun run = Export("--folder", out);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const fs::path start = out / "http" / s_host / "index.html";
  ASSERT_TRUE(fs::exists(start));

  QProcess chromium;
  chromium.start(QStringLiteral("chromium"),
                 Args({"--headless", "--no-sandbox", "--disable-gpu",
                       "--user-data-dir=" + (s_dir / "profile").string(), "--dump-dom",
                       "file://" + start.string()}));
  ASSERT_TRUE(chromium.waitForFinished(120000));
  const std::string dom = chromium.readAllStandardOutput().toStdString();
  EXPECT_NE(dom.find("data-image=\"loaded\""), std::string::npos) << dom;
  std::smatch link;
  ASSERT_TRUE(std::regex_search(dom, link, std::regex("data-link=\"file://([^\"#]*)#end\"")))
      << dom;
  const std::string target =
      QUrl::fromPercentEncoding(QByteArray::fromStdString(link[1])).toStdString();
  EXPECT_EQ(fs::path(target).parent_path(), out / "http" / s_host / "pages");
  EXPECT_NE(ReadFile(target).find("part two"), std::string::npos) << target;
}

TEST_F(ExportCommand, TheExportedStyleSheetLeadsToTheExportedImages) {
  const fs::path out = s_dir / "styled";
  ASSERT_EQ(Export("--folder", out).ExitCode, 0);
  const fs::path sheet = out / "http" / s_host / "css/site.css";
  const std::string css = ReadFile(sheet);
  const std::vector<TCssReference> references = FindCssReferences(css);
  ASSERT_EQ(references.size(), 2u) << css;
  for (const TCssReference& reference : references) {
    const std::string path =
        QUrl::fromPercentEncoding(QByteArray::fromStdString(reference.Url)).toStdString();
    EXPECT_TRUE(fs::is_regular_file(sheet.parent_path() / path)) << css;
  }
}

TEST_F(ExportCommand, ZipAndEbookHoldTheFolderExportsFiles) {
  const fs::path out = s_dir / "same";
  ASSERT_EQ(Export("--folder", out).ExitCode, 0);
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), out).string());
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files.size(), 5u);

  ASSERT_EQ(Export("--zip", s_dir / "site.zip").ExitCode, 0);
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), Args({"-Z1", s_dir / "site.zip"}));
  ASSERT_TRUE(unzip.waitForFinished());
  std::vector<std::string> members;
  std::istringstream listed(unzip.readAllStandardOutput().toStdString());
  for (std::string line; std::getline(listed, line);) members.push_back(line);
  std::sort(members.begin(), members.end());
  EXPECT_EQ(members, files);
  unzip.start(QStringLiteral("unzip"), Args({"-tq", s_dir / "site.zip"}));
  ASSERT_TRUE(unzip.waitForFinished());
  EXPECT_EQ(unzip.exitCode(), 0);

  const CliRun ebook = Export("--chm", s_dir / "site.chm");
  ASSERT_EQ(ebook.ExitCode, 0) << ebook.Err;
  QProcess extract;
  extract.start(QStringLiteral("extract_chmLib"), Args({s_dir / "site.chm", s_dir / "chm"}));
  ASSERT_TRUE(extract.waitForFinished());
  for (const std::string& file : files) EXPECT_TRUE(fs::exists(s_dir / "chm" / file)) << file;
  const std::string index = ReadFile(s_dir / "chm/http" / s_host / "index.html");
  EXPECT_NE(index.find("src=\"images/logo.png\""), std::string::npos) << index;
  EXPECT_NE(index.find("href=\"pages/next.html%C2%BFPageID="), std::string::npos) << index;
}

TEST_F(ExportCommand, LinkListsAndAddresses) {
  ASSERT_EQ(
      RunCli({"links", s_dir / "site.web", s_dir / "failed.txt", "--lists", "failed"}).ExitCode, 0);
  EXPECT_EQ(ReadFile(s_dir / "failed.txt"), "[Failed Links]\r\n" + s_missing + "\r\n");
  ASSERT_EQ(RunCli({"emails", s_dir / "site.web", s_dir / "emails.txt"}).ExitCode, 0);
  EXPECT_EQ(ReadFile(s_dir / "emails.txt"), "me@example.org\r\n");

  const CliRun cannot = RunCli({"links", s_dir / "site.web", s_dir / "no/such/links.txt"});
  EXPECT_EQ(cannot.ExitCode, 1);
  EXPECT_EQ(RunCli({"export", s_dir / "site.web"}).ExitCode, 2) << "a destination is needed";
}

}  // namespace
}  // namespace tq
