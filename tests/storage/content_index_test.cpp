// Content index: the keys written per list and their order, links rebuilt from an index (mail
// entries, empty PAGE, defaults, repeated sections, addresses that differ only in letter case)
// and rendering by address through a reader.
#include "storage/content_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "storage/index_file.h"

namespace tq {
namespace {

std::vector<std::string> Lines(const TVornCustomIniFile& index, std::string_view section) {
  std::vector<std::string> lines;
  index.ReadSectionValues(section, lines);
  return lines;
}

TVornLink MakeLink(std::string page, std::string text) {
  TVornLink link;
  link.SetPage(std::move(page));
  link.SetText(text);
  link.Level = 2;
  link.Size = 1234;
  link.ErrorText = "404 Not Found";
  link.Reason = "Excluded by file type";
  return link;
}

struct TListCase {
  TVornLinkList List;
  std::string Section;
  std::vector<std::string> Lines;
};

// The whole section, so a key in the wrong list or the wrong order shows.
TEST(ContentIndexWrites, EachListWritesItsKeysInOrder) {
  const std::string page = "http://example.com/index.html";
  const std::string url = "http://example.com/a.html";
  const std::vector<TListCase> cases = {
      {ellReady, url, {"STATUS=0", "LEVEL=2", "PAGE=" + page, "SIZE=1234"}},
      {ellQueue, url, {"STATUS=1", "LEVEL=2", "PAGE=" + page}},
      {ellFailed, url, {"STATUS=2", "LEVEL=2", "PAGE=" + page, "ERROR=404 Not Found"}},
      {ellIgnored, url, {"STATUS=3", "LEVEL=2", "PAGE=" + page, "REASON=Excluded by file type"}},
      {ellDeleted, url, {"STATUS=6"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(LinkListRole(c.List).Name);
    TVornIndexFile index;
    EXPECT_TRUE(WriteLinkEntry(index, c.List, MakeLink(page, "a.html")));
    std::vector<std::string> sections;
    index.ReadSections(sections);
    EXPECT_EQ(sections, std::vector<std::string>{c.Section});
    EXPECT_EQ(Lines(index, c.Section), c.Lines);
  }
}

TEST(ContentIndexWrites, UnstoredListsWriteNothing) {
  for (const auto list : {ellWorking, ellPending}) {
    TVornIndexFile index;
    EXPECT_FALSE(WriteLinkEntry(index, list, MakeLink("http://example.com/", "b.html")));
    EXPECT_EQ(index.GetText(), "");
  }
}

// A later list replaces the status but keeps keys the new list does not write, as the same
// section is written again in place.
TEST(ContentIndexWrites, HandOverAfterQueueKeepsTheQueueKeys) {
  TVornIndexFile index;
  const std::string url = "http://example.com/p.html";
  WriteQueueEntry(index, url, 1, "http://example.com/");
  WriteContentTypeEntry(index, url, "text/html; charset=utf-8");
  EXPECT_EQ(Lines(index, url),
            (std::vector<std::string>{"STATUS=0", "LEVEL=1", "PAGE=http://example.com/",
                                      "ContentType=text/html; charset=utf-8"}));
}

struct TLoaded {
  int Status;
  std::string Text;
  std::string Page;
  std::string Url;
  int Level;
  int Size;
  std::string Error;
  std::string Reason;
};

std::vector<TLoaded> LoadAll(std::string_view text) {
  TVornIndexFile index;
  index.SetText(text);
  std::vector<TLoaded> out;
  LoadLinksFromIndex(index, [&](TVornLinkPtr link, int status) {
    out.push_back({status, link->Text(), link->Page(),
                   link->LinkKind() == lkMail ? link->GetMailAddress() : link->GetUrl(),
                   link->Level, link->Size, link->ErrorText, link->Reason});
    return true;
  });
  return out;
}

TEST(ContentIndexLoad, EachStatusTakesItsKeys) {
  const auto links = LoadAll(
      "[http://h.org/r.html]\r\nSTATUS=0\r\nLEVEL=3\r\nPAGE=http://h.org/\r\nSIZE=77\r\n"
      "ERROR=kept out\r\nREASON=kept out\r\n"
      "[http://h.org/q.html]\r\nSTATUS=1\r\nLEVEL=1\r\nPAGE=http://h.org/\r\nSIZE=9\r\n"
      "[http://h.org/f.html]\r\nSTATUS=2\r\nPAGE=http://h.org/\r\nERROR=Timeout\r\nSIZE=9\r\n"
      "[http://h.org/i.zip]\r\nSTATUS=3\r\nPAGE=http://h.org/\r\nREASON=Too big\r\n"
      "[me@h.org]\r\nSTATUS=4\r\nLEVEL=2\r\nPAGE=http://h.org/c.html\r\n"
      "[http://h.org/d.html]\r\nSTATUS=6\r\n");
  ASSERT_EQ(links.size(), 6u);
  EXPECT_EQ(links[0].Status, 0);
  EXPECT_EQ(links[0].Url, "http://h.org/r.html");
  EXPECT_EQ(links[0].Level, 3);
  EXPECT_EQ(links[0].Size, 77);
  EXPECT_EQ(links[0].Error, "");
  EXPECT_EQ(links[0].Reason, "");
  EXPECT_EQ(links[1].Status, 1);
  EXPECT_EQ(links[1].Level, 1);
  EXPECT_EQ(links[1].Size, 0);
  EXPECT_EQ(links[2].Status, 2);
  EXPECT_EQ(links[2].Error, "Timeout");
  EXPECT_EQ(links[2].Size, 0);
  EXPECT_EQ(links[3].Status, 3);
  EXPECT_EQ(links[3].Reason, "Too big");
  EXPECT_EQ(links[3].Url, "http://h.org/i.zip");
  EXPECT_EQ(links[4].Status, 4);
  EXPECT_EQ(links[4].Text, "mailto:me@h.org");
  EXPECT_EQ(links[4].Url, "me@h.org");
  EXPECT_EQ(links[4].Page, "http://h.org/c.html");
  EXPECT_EQ(links[4].Level, 2);
  EXPECT_EQ(links[5].Status, 6);
  EXPECT_EQ(links[5].Url, "http://h.org/d.html");
}

TEST(ContentIndexLoad, EmptyPageIsTheSectionAndMissingKeysDefault) {
  const auto links =
      LoadAll("[http://h.org/a/b.html]\r\nPAGE=\r\n[http://h.org/c.html]\r\nX=1\r\n");
  ASSERT_EQ(links.size(), 2u);
  for (const auto& l : links) {
    EXPECT_EQ(l.Status, 0);
    EXPECT_EQ(l.Level, 0);
    EXPECT_EQ(l.Page, l.Url);
  }
  EXPECT_EQ(links[0].Url, "http://h.org/a/b.html");
}

// Writing a mail link and loading the index again must give back the same mail link.
TEST(ContentIndexLoad, MailEntryRoundTripsAsMailtoLink) {
  TVornIndexFile index;
  WriteLinkEntry(index, ellEmail, MakeLink("http://h.org/contact.html", "mailto:info@h.org"));
  EXPECT_EQ(index.GetText(),
            "[info@h.org]\r\nSTATUS=4\r\nLEVEL=2\r\nPAGE=http://h.org/contact.html\r\n\r\n");
  TVornIndexFile reread;
  reread.SetText(index.GetText());
  std::vector<TVornLinkPtr> links;
  LoadLinksFromIndex(reread, [&](TVornLinkPtr link, int status) {
    EXPECT_EQ(status, kStatusEmail);
    links.push_back(std::move(link));
    return true;
  });
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0]->LinkKind(), lkMail);
  EXPECT_EQ(links[0]->Text(), "mailto:info@h.org");
  EXPECT_EQ(links[0]->GetMailAddress(), "info@h.org");
  EXPECT_EQ(links[0]->Page(), "http://h.org/contact.html");
}

// Paths and mail boxes are case-sensitive: each spelling is its own entry, written and read
// back apart. A name met twice in a file is one entry: the later lines, at the earlier place.
TEST(ContentIndexLoad, SectionsAreExactAndARepeatedOneLoadsOnce) {
  TVornIndexFile index;
  WriteReadyEntry(index, "http://h.org/A.html", 1, "http://h.org/", 11);
  WriteReadyEntry(index, "http://h.org/a.html", 2, "http://h.org/", 22);
  WriteEmailEntry(index, "Me@h.org", 3, "http://h.org/");
  WriteEmailEntry(index, "me@h.org", 4, "http://h.org/");
  index.WriteString("http://h.org/A.html", "content", "tmp1.~tmp");  // key names stay case-blind
  EXPECT_EQ(index.ReadString("http://h.org/A.html", "Content", ""), "tmp1.~tmp");
  EXPECT_EQ(index.ReadString("http://h.org/a.html", "Content", ""), "");
  auto links = LoadAll(index.GetText());
  ASSERT_EQ(links.size(), 4u);
  EXPECT_EQ(links[0].Url, "http://h.org/A.html");
  EXPECT_EQ(links[0].Size, 11);
  EXPECT_EQ(links[1].Url, "http://h.org/a.html");
  EXPECT_EQ(links[1].Size, 22);
  EXPECT_EQ(links[2].Url, "Me@h.org");
  EXPECT_EQ(links[2].Level, 3);
  EXPECT_EQ(links[3].Url, "me@h.org");
  EXPECT_EQ(links[3].Level, 4);

  links = LoadAll(
      "[http://h.org/a.html]\r\nSTATUS=1\r\nLEVEL=5\r\n[http://h.org/b.html]\r\nSTATUS=1\r\n"
      "[ http://h.org/a.html ]\r\nSTATUS=2\r\n");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].Url, "http://h.org/a.html");
  EXPECT_EQ(links[0].Status, 2);
  EXPECT_EQ(links[0].Level, 0);
  EXPECT_EQ(links[1].Url, "http://h.org/b.html");

  // Erased sections leave their slots until compacted; the rest keeps its order and lookups.
  for (int i = 0; i < 3000; ++i) WriteQueueEntry(index, std::to_string(i), 1, "p");
  for (int i = 0; i < 3000; i += 3) index.EraseSection(std::to_string(i));
  const std::string before = index.GetText();
  // Read in pieces, as a save writes it out, the text is the same; a read from the start again
  // starts over.
  TVornIndexFile::TTextReader reader(index);
  ASSERT_EQ(reader.Size(), before.size());
  std::string pieces(before.size(), '\0');
  const size_t steps[] = {1, 7, 300, 16 << 10, 40000, 3};
  for (size_t at = 0, i = 0; at < pieces.size(); ++i) {
    const size_t n = std::min(steps[i % std::size(steps)], pieces.size() - at);
    EXPECT_EQ(reader.ReadAt(at, pieces.data() + at, n), n);
    at += n;
  }
  EXPECT_TRUE(pieces == before);
  char first[10] = {};
  EXPECT_EQ(reader.ReadAt(before.size(), first, sizeof first), 0u);
  EXPECT_EQ(reader.ReadAt(0, first, sizeof first), sizeof first);
  EXPECT_EQ(std::string(first, sizeof first), before.substr(0, sizeof first));
  index.Compact();
  EXPECT_EQ(index.SlotCount(), 2000u + 4u);
  EXPECT_TRUE(index.GetText() == before);
  EXPECT_EQ(index.ReadString("2999", kIndexPage, ""), "p");
  EXPECT_EQ(index.ReadString("2998", kIndexPage, ""), "p");
  // A key rewritten longer or shorter keeps its place and the lines after it.
  std::vector<std::string> lines = Lines(index, "2999");
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& level : {std::string(300, '7'), std::string("8")}) {
    index.WriteString("2999", kIndexLevel, level);
    lines[1] = "LEVEL=" + level;
    EXPECT_EQ(Lines(index, "2999"), lines);
  }

  index.SetText("[http://h.org/a.html]\r\nSTATUS=1\r\n[http://h.org/b.html]\r\nSTATUS=1\r\n");
  int calls = 0;
  EXPECT_EQ(LoadLinksFromIndex(index, [&](TVornLinkPtr, int) { return ++calls < 1; }), 1u);
  EXPECT_EQ(calls, 1);
}

// Projects saved before addresses had one spelling hold raw ones: the canonical spelling finds
// them, writes go into them, and their names stay as the file has them. A mail address holding
// "%" comes back as it was stored.
TEST(ContentIndexLoad, OldSpellingsAreFoundUnderTheCanonicalOne) {
  TVornIndexFile index;
  index.SetText(
      "[http://H.org:80/my file{1}.html]\r\nSTATUS=0\r\nSIZE=5\r\n"
      "[http://h.org/b.html]\r\nSTATUS=1\r\n[http://h.org/B.html]\r\nSTATUS=2\r\n"
      "[a%25b@h.org]\r\nSTATUS=4\r\n");
  const std::string canonical = "http://h.org/my%20file%7B1%7D.html";
  EXPECT_EQ(index.ReadString(canonical, kIndexSize, ""), "5");
  EXPECT_EQ(index.ReadString("HTTP://h.org/my file{1}.html", kIndexSize, ""), "5");
  index.WriteString(canonical, kIndexContent, "tmp1.~tmp");
  EXPECT_EQ(index.ReadString("http://H.org:80/my file{1}.html", kIndexContent, ""), "tmp1.~tmp");
  EXPECT_EQ(index.ReadString("http://h.org/B.html", kIndexStatus, ""), "2");  // paths keep case
  EXPECT_EQ(index.SlotCount(), 4u);
  EXPECT_EQ(index.GetText().find("[http://H.org:80/my file{1}.html]\r\n"), 0u);

  auto links = LoadAll(index.GetText());
  ASSERT_EQ(links.size(), 4u);
  EXPECT_EQ(links[0].Url, canonical);
  EXPECT_EQ(links[3].Url, "a%25b@h.org");

  index.EraseSection(canonical);
  EXPECT_EQ(index.ReadString(canonical, kIndexSize, "gone"), "gone");
  index.Compact();
  EXPECT_EQ(index.ReadString("http://h.org/b.html", kIndexStatus, ""), "1");
}

class TMapReader : public TStoredDocumentReader {
 public:
  std::map<std::string, std::pair<std::string, std::string>> Docs;  // type, content
  std::string GetDocumentValue(std::string_view url, std::string_view key) override {
    EXPECT_EQ(key, kIndexContentType);
    const auto it = Docs.find(std::string(url));
    return it == Docs.end() ? std::string() : it->second.first;
  }
  std::string GetDocumentContent(std::string_view url) override {
    const auto it = Docs.find(std::string(url));
    return it == Docs.end() ? std::string() : it->second.second;
  }
};

TEST(ContentIndexRender, ByAddress) {
  TMapReader reader;
  TStoredDocumentWriter writer;
  writer.AddLink("http://h.org/x.html");
  reader.Docs["http://h.org/"] = {
      "text/html", writer.Build("http://h.org/", "<a href=\"" + LinkPlaceholder(0) + "\">x</a>")};
  reader.Docs["http://h.org/i.gif"] = {"image/gif", std::string("GIF\r\n\0\n", 7)};

  EXPECT_EQ(RenderStoredDocument(reader, "http://h.org/"),
            "<!-- saved from url=\"http://h.org/\" using Tarnquill -->\r\n"
            "<a href=\"http://h.org/x.html\">x</a>\r\n");
  EXPECT_EQ(RenderStoredDocument(reader, "http://h.org/",
                                 [](int, const std::string&) { return std::string("x.htm"); }),
            "<!-- saved from url=\"http://h.org/\" using Tarnquill -->\r\n"
            "<a href=\"x.htm\">x</a>\r\n");
  EXPECT_EQ(RenderStoredDocument(reader, "http://h.org/i.gif"), std::string("GIF\r\n\0\n", 7));
  EXPECT_EQ(RenderStoredDocument(reader, "http://h.org/missing.html"), "");
}

}  // namespace
}  // namespace tq
