// TVornContentSearch: the search of a project's stored pages for a keyword, the headless part of
// a project window's search list. It walks the Ready list in order on a thread of its own, reads
// each HTML page through the project document, and keeps one result row per page whose text or
// title holds the keyword.
//
// Thread rules: create, configure, start and destroy it on the interface thread; its events are
// raised there. The search thread reads the Ready list under its lock one link at a time, so a
// crawl may run meanwhile. The controller and the reader are not owned and must outlive every
// search (destroying the search stops it).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/content_index.h"

namespace tq {

class TVornBackgroundThread;
class TVornDownload;

inline constexpr std::string_view kNoTitle = "no title";

// How a row's address is drawn: blue until the row was clicked, then the button-shadow grey.
enum TSearchLinkColor : uint8_t { slcBlue, slcBtnShadow };

// One result row.
struct TSearchListBoxItem {
  std::string Title;           // the page title, or "no title"
  std::string Url;             // the page's address as its link holds it
  std::string Text;            // the run holding the keyword, from its first occurrence to the end
  std::size_t MarkLength = 0;  // bytes at the start of Text that the keyword matched
  TSearchLinkColor LinkColor = slcBlue;
};

class TVornContentSearch {
 public:
  using TNotifyEvent = std::function<void(TVornContentSearch& sender)>;
  // Percent 0..100 of the Ready list passed, the page about to be searched; set cancel to stop
  // after that page.
  using TSearchEvent = std::function<void(TVornContentSearch& sender, int percent,
                                          const std::string& page, bool& cancel)>;
  using TOnNavigateLink = std::function<void(TVornContentSearch& sender, const std::string& link)>;
  using TItemsAdded = std::function<void(TVornContentSearch& sender, int first, int count)>;

  TVornContentSearch();
  // Stops a running search without raising OnSearchEnd.
  ~TVornContentSearch();
  TVornContentSearch(const TVornContentSearch&) = delete;
  TVornContentSearch& operator=(const TVornContentSearch&) = delete;

  // The project searched: its controller's Ready list, read through its document. Set both
  // before StartSearch.
  TVornDownload* VornDownload() const { return m_download; }
  void SetVornDownload(TVornDownload* download) { m_download = download; }
  TStoredDocumentReader* Document() const { return m_document; }
  void SetDocument(TStoredDocumentReader* document) { m_document = document; }

  // Which runs are searched: every text run, and the title's (which also names the row).
  bool ProcessText = true;
  bool ProcessTitle = true;

  // Starts a search for keyword as typed (UTF-8, not trimmed): clears the rows, stops a running
  // search (raising its OnSearchEnd), starts the search thread and raises OnSearchBegin, after
  // whose handler it returns. Without a controller or a document the search ends at once.
  void StartSearch(const std::string& keyword);
  bool Searching() const { return m_searching; }

  // The result rows, in Ready-list order; a page yields one row at most.
  const std::vector<TSearchListBoxItem>& Items() const { return m_items; }
  // A click on a row's title or address: the address turns grey and OnNavigateLink is raised
  // with it. Does nothing for an index out of range.
  void NavigateLink(int index);

  TNotifyEvent OnSearchBegin;
  TSearchEvent OnSearchProgress;  // before each HTML page, while the search thread waits
  TNotifyEvent OnSearchEnd;       // the search thread has ended
  TItemsAdded OnItemsAdded;       // rows appended to Items
  TOnNavigateLink OnNavigateLink;

 private:
  struct TRun;
  void SearchLoop(TVornBackgroundThread& thread, const std::shared_ptr<TRun>& run);
  void StopSearch();

  TVornDownload* m_download = nullptr;
  TStoredDocumentReader* m_document = nullptr;
  std::vector<TSearchListBoxItem> m_items;
  std::unique_ptr<TVornBackgroundThread> m_thread;
  bool m_searching = false;
};

}  // namespace tq
