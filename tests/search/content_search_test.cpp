// The content search over a project's Ready list: its events, rows, cancelling, a restart from
// a handler, and pages that join the list while it runs.
// ctest: timeout=60
#include "search/content_search.h"

#include <gtest/gtest.h>

#include "engine/download.h"
#include "formats/stored_document.h"
#include "storage/document.h"
#include "support/ready_document.h"

namespace tq {
namespace {

class ContentSearch : public ::testing::Test {
 protected:
  ContentSearch() {
    m_download.SetVornDocument(&m_doc);
    m_search.SetVornDownload(&m_download);
    m_search.SetDocument(&m_doc);
    m_search.OnSearchBegin = [this](TVornContentSearch&) { m_events.push_back("begin"); };
    m_search.OnSearchEnd = [this](TVornContentSearch&) { m_events.push_back("end"); };
    m_search.OnSearchProgress = [this](TVornContentSearch&, int percent, const std::string& page,
                                       bool& cancel) {
      m_events.push_back(std::to_string(percent) + " " + page.substr(page.rfind('/') + 1));
      if (m_onProgress) m_onProgress(m_calls++, cancel);
    };
  }

  // A fetched document in the Ready list, stored as the crawl stores it.
  void AddPage(const std::string& name, const std::string& body,
               const std::string& contentType = "text/html") {
    const std::string url = "http://h.test/" + name;
    TStoredDocumentWriter writer;
    test::AddReadyDocument(m_download, m_doc, url, contentType,
                           contentType == "text/html" ? writer.Build(url, body) : body);
  }

  void Search(const std::string& keyword) {
    m_search.StartSearch(keyword);
    ASSERT_TRUE(RunUntil([&] { return !m_search.Searching(); }));
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& item : m_search.Items()) {
      rows.push_back(item.Title + "|" + item.Text + "|" + item.Url);
    }
    return rows;
  }

  using Strings = std::vector<std::string>;
  TVornDocument m_doc;
  TVornDownload m_download;
  Strings m_events;
  std::function<void(int call, bool& cancel)> m_onProgress;  // after each progress event
  int m_calls = 0;
  TVornContentSearch m_search;  // first to go: its handlers use the members above
};

TEST_F(ContentSearch, ListsMatchingPagesInReadyOrderWithProgress) {
  Search("offline");  // no pages: no progress, no rows
  EXPECT_EQ(m_events, (Strings{"begin", "end"}));
  m_events.clear();
  AddPage("a.html", "<title>Home</title><p>Browse offline</p>");
  AddPage("b.html", "<p>No title but OFFLINE too, and offline again</p>");
  AddPage("c.html", "<title>Other</title><p>nothing here</p>");
  AddPage("d.html", "<title>Offline help</title><p>x</p>");
  Search("offline");
  EXPECT_EQ(m_events, (Strings{"begin", "0 a.html", "25 b.html", "50 c.html", "75 d.html", "end"}));
  EXPECT_EQ(Rows(), (Strings{"Home|offline|http://h.test/a.html",
                             "no title|OFFLINE too, and offline again|http://h.test/b.html",
                             "Offline help|Offline help|http://h.test/d.html"}));
}

TEST_F(ContentSearch, CancelStopsAfterTheCurrentPageAndKeepsTheRows) {
  AddPage("i.gif", "GIF89a offline", "image/gif");  // not a page: neither reported nor searched
  for (const char* name : {"a.html", "b.html", "c.html", "d.html"}) AddPage(name, "<p>offline");
  m_onProgress = [](int call, bool& cancel) { cancel = call == 1; };
  Search("offline");
  EXPECT_EQ(m_events, (Strings{"begin", "20 a.html", "40 b.html", "end"}));
  EXPECT_EQ(m_search.Items().size(), 2u);
}

// A new search started while one runs (here from its progress handler) ends the old one first:
// its rows are gone and its end is raised before the new beginning.
TEST_F(ContentSearch, StartingAgainEndsTheRunningSearch) {
  AddPage("a.html", "<p>alpha beta");
  AddPage("b.html", "<p>beta");
  m_onProgress = [this](int call, bool&) {
    if (call == 0) m_search.StartSearch("beta");
  };
  Search("alpha");
  EXPECT_EQ(m_events,
            (Strings{"begin", "0 a.html", "end", "begin", "0 a.html", "50 b.html", "end"}));
  EXPECT_EQ(Rows(),
            (Strings{"no title|beta|http://h.test/a.html", "no title|beta|http://h.test/b.html"}));
}

TEST_F(ContentSearch, SearchesPagesThatJoinTheReadyListMeanwhile) {
  AddPage("a.html", "<p>nothing");
  m_onProgress = [this](int call, bool&) {
    if (call == 0) AddPage("late.html", "<p>offline late");
  };
  Search("offline");
  EXPECT_EQ(m_events, (Strings{"begin", "0 a.html", "50 late.html", "end"}));
  EXPECT_EQ(Rows(), (Strings{"no title|offline late|http://h.test/late.html"}));
}

}  // namespace
}  // namespace tq
