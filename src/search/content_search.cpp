// The content search loop over the Ready list and its result rows.
#include "search/content_search.h"

#include <exception>
#include <optional>
#include <utility>

#include "engine/download.h"
#include "foundation/background_thread.h"
#include "foundation/errors.h"
#include "search/page_search.h"
#include "storage/document.h"

namespace tq {

// What one search works with, copied when it starts: the thread never reads the object's
// settings, which the interface thread may change meanwhile.
struct TVornContentSearch::TRun {
  std::string Keyword;
  bool ProcessText = true;
  bool ProcessTitle = true;
  bool Progress = false;  // OnSearchProgress was set at the start
  TVornDownload* Download = nullptr;
  TStoredDocumentReader* Document = nullptr;
};

TVornContentSearch::TVornContentSearch() = default;

TVornContentSearch::~TVornContentSearch() {
  m_thread.reset();
}

void TVornContentSearch::StartSearch(const std::string& keyword) {
  m_items.clear();
  StopSearch();
  auto run =
      std::make_shared<TRun>(TRun{keyword, ProcessText, ProcessTitle,
                                  static_cast<bool>(OnSearchProgress), m_download, m_document});
  m_searching = true;
  m_thread = std::make_unique<TVornBackgroundThread>("content search thread");
  m_thread->Start([this, run](TVornBackgroundThread& thread) { SearchLoop(thread, run); },
                  [this] {
                    m_searching = false;
                    if (OnSearchEnd) OnSearchEnd(*this);
                  });
  if (OnSearchBegin) OnSearchBegin(*this);
}

void TVornContentSearch::StopSearch() {
  if (!m_thread) return;
  const bool endPending = m_thread->Stop();
  m_thread.reset();
  if (endPending && m_searching) {
    m_searching = false;
    if (OnSearchEnd) OnSearchEnd(*this);
  }
}

void TVornContentSearch::NavigateLink(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_items.size()) return;
  m_items[static_cast<std::size_t>(index)].LinkColor = slcBtnShadow;
  if (OnNavigateLink) OnNavigateLink(*this, m_items[static_cast<std::size_t>(index)].Url);
}

void TVornContentSearch::SearchLoop(TVornBackgroundThread& thread,
                                    const std::shared_ptr<TRun>& run) {
  if (run->Download == nullptr || run->Document == nullptr) return;
  TVornBaseLinks& ready = run->Download->ReadyLinks();
  TPageSearcher searcher(run->Keyword);
  searcher.Reader.ProcessText = run->ProcessText;
  searcher.Reader.ProcessTitle = run->ProcessTitle;

  bool cancel = false;
  // The count is read again at every step: pages the crawl appends meanwhile are searched too.
  for (int i = 0; !cancel && !thread.Terminated(); ++i) {
    std::string url;
    int count = 0;
    {
      TVornReadGuard guard(ready.Lock());
      count = ready.Count();
      if (i >= count) break;
      try {
        url = ready.Get(i)->GetUrl();
      } catch (const EVornError&) {
        continue;  // a link without an address has no page to read
      }
    }
    if (!IsHtmlContentType(run->Document->GetDocumentValue(url, kIndexContentType))) continue;

    if (run->Progress) {
      auto answer = std::make_shared<bool>(false);
      const bool answered =
          thread.Synchronize([this, answer, url, percent = RoundPercent(i, count)] {
            if (!OnSearchProgress) return;
            bool stop = false;
            try {
              OnSearchProgress(*this, percent, url, stop);
            } catch (...) {
              return;  // a failing progress handler does not stop the search
            }
            *answer = stop;
          });
      if (!answered) break;  // terminated while waiting
      cancel = *answer;
    }

    // A page that cannot be read or parsed counts as not found.
    std::optional<TPageMatch> match;
    try {
      const std::string content = run->Document->GetDocumentContent(url);
      if (!content.empty()) match = searcher.Search(content);
    } catch (const std::exception&) {
      continue;
    }
    if (!match) continue;
    TSearchListBoxItem item{match->Title.empty() ? std::string(kNoTitle) : std::move(match->Title),
                            std::move(url), std::move(match->Text), match->MarkLength};
    thread.Queue([this, item = std::move(item)]() mutable {
      m_items.push_back(std::move(item));
      if (OnItemsAdded) OnItemsAdded(*this, static_cast<int>(m_items.size()) - 1, 1);
    });
  }
}

}  // namespace tq
