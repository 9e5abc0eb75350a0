// Export paths, relative links between exported files, and the paths the file list hands out.
// ctest: timeout=30
#include "export/export_path.h"

#include <gtest/gtest.h>

#include <set>

#include "export/dep_files.h"

namespace tq {
namespace {

struct PathCase {
  std::string url;
  std::string type;
  std::string path;  // with page number 5
};

TEST(ExportPath, FromAddress) {
  const PathCase cases[] = {
      {"http://www.example.com/", "text/html", "http/www.example.com/index.html"},
      {"http://www.example.com:8080/a/b/page.php?id=1", "TEXT/HTML",
       "http/www.example.com_8080/a/b/page.php\xC2\xBFPageID=5.html"},
      // A query variant keeps an extension a browser opens it by.
      {"http://h/p.html?print=1#top", "text/html", "http/h/p.html\xC2\xBFPageID=5.html"},
      {"http://h/s.css?v=2", "text/css", "http/h/s.css\xC2\xBFPageID=5.css"},
      // The last extension counts, as when the crawl admitted the page (it used to read b.html
      // here and append another ".html").
      {"http://h/a.b.html", "text/html", "http/h/a.b.html"},
      {"http://h/v1.2/notes.txt", "text/html", "http/h/v1.2/notes.txt.html"},
      {"http://h/about", "text/html", "http/h/about/index.html"},
      {"http://h/pic", "image/gif", "http/h/pic/index.html"},
      {"https://h/img/logo.gif", "image/gif", "https/h/img/logo.gif"},
      {"ftp://h/pub/f.zip", "Binary FTP", "ftp/h/pub/f.zip"},
      {"http://h/docs.old/page", "text/html", "http/h/docs.old/page.html"},
      // Addresses that climb, also encoded, stay inside their server's folder.
      {"http://h/a/../../../../etc/x.html", "text/html", "http/h/etc/x.html"},
      {"http://h/%2e%2E/%2e/./x.html", "text/html", "http/h/x.html"},
      {"http://h/a//b/c.html", "text/html", "http/h/a/b/c.html"},
      {"http://h/a/..", "text/html", "http/h/index.html"},
      {"http://../x.html", "text/html", "http/%2E%2E/x.html"},
      // Without a host, a folder of their own: never beside or as a server's folder.
      {"http:///x.html", "text/html", "http/_/x.html"},
      {"", "text/html", "http/_/index.html"},
      // Names hold no separators, control bytes or broken UTF-8.
      {"http://h/a\\b.html", "text/html", "http/h/a%5Cb.html"},
      {"http://h/a\x01z.html", "text/html", "http/h/a%01z.html"},
      {"http://h/caf\xE9.html", "text/html", "http/h/caf%E9.html"},
      {"http://h/caf\xC3\xA9.html", "text/html", "http/h/caf\xC3\xA9.html"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(MakeExportPath(c.url, 5, c.type), c.path) << c.url;
  }
}

// Names longer than file systems take keep their start and extension; the hash of the whole name
// keeps two of them apart, in folders as in files, and links follow the same names.
TEST(ExportPath, LongNamesAreShortenedApart) {
  const std::string a(300, 'a');
  const std::string pathA = MakeExportPath("http://h/" + a + "/" + a + ".html", 0, "text/html");
  const std::string pathB = MakeExportPath("http://h/" + a + "/" + a + "b.html", 0, "text/html");
  EXPECT_EQ(pathA, "http/h/" + FitName(a) + "/" + FitName(a + ".html"));
  EXPECT_EQ(FitName(a).size(), kMaxNameBytes);
  EXPECT_TRUE(FitName(a + ".html").ends_with(".html"));
  EXPECT_EQ(MakeRelativeLink(pathA, pathB), FitName(a + "b.html"));
  EXPECT_NE(FitName(a + ".html"), FitName(a + "b.html"));
  EXPECT_EQ(AppendPageId(FitName(a + ".css"), "7", false).size(), kMaxNameBytes);
  // Cut between characters, so the name stays UTF-8 ("é" is two bytes).
  std::string accented = "x";
  for (int i = 0; i < 150; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(FitName(accented)[FitName(accented).find('~') - 1], '\xA9');
}

TEST(ExportPath, RelativeLinks) {
  const std::pair<std::string, std::string> from_to[] = {
      {"http/h/index.html", "http/h/img/a.gif"},
      {"http/h/a/b/c.html", "http/h/a/d.html"},
      {"http/h/a/c.html", "http/h/a/d.html"},
      {"http/h/a/c.html", "https/h2/x.html"},
  };
  const std::string links[] = {"img/a.gif", "../d.html", "d.html", "../../../https/h2/x.html"};
  for (size_t i = 0; i < std::size(links); ++i)
    EXPECT_EQ(MakeRelativeLink(from_to[i].first, from_to[i].second), links[i]);

  EXPECT_EQ(EncodeLinkPath("../a b?c#d%e:f\xC2\xBFPageID=1.html"),
            "../a%20b%3Fc%23d%25e%3Af%C2%BFPageID=1.html");
}

TEST(ExportFiles, EveryFileGetsAPathOfItsOwn) {
  TVornDepFiles files;
  files.Add("http://h/p.php?id=1", "text/html");
  files.Add("http://h/p.php?id=2", "text/html");
  files.Add("http://h/a.b", "image/png");  // a file where another needs a folder
  files.Add("http://h/a.b/c.html", "text/html");
  files.Add("http://h/about/", "text/html");  // two addresses, one path
  files.Add("http://h/about/index.html", "text/html");
  files.Add("http://h/Img.html", "text/html");  // one path where letter case does not count
  files.Add("http://h/img.html", "text/html");
  files.MakePathsUnique();

  EXPECT_EQ(files[0].LocalPath, "http/h/p.php\xC2\xBFPageID=0.html");
  EXPECT_EQ(files[1].LocalPath, "http/h/p.php\xC2\xBFPageID=1.html");
  EXPECT_EQ(files[2].LocalPath, "http/h/a.b\xC2\xBFPageID=2.b");
  EXPECT_EQ(files[3].LocalPath, "http/h/a.b/c.html");
  EXPECT_EQ(files[4].LocalPath, "http/h/about/index.html") << "the first one keeps its name";
  EXPECT_EQ(files[5].LocalPath, "http/h/about/index.html\xC2\xBFPageID=5.html");
  EXPECT_EQ(files[7].LocalPath, "http/h/img.html\xC2\xBFPageID=7.html");

  std::set<std::string> seen;
  for (int i = 0; i < files.Count(); ++i) {
    EXPECT_TRUE(seen.insert(files[i].LocalPath).second) << files[i].LocalPath;
    EXPECT_EQ(files.Find(files[i].Url), &files[i]);
  }
  EXPECT_EQ(files.Find("http://h/P.php?id=1"), nullptr) << "addresses are compared exactly";
}

}  // namespace
}  // namespace tq
