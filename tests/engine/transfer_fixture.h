// Runs pages of a thread manager against the loopback test server and records what their hooks
// report, for the worker and transfer tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/thread_manager.h"
#include "foundation/main_loop.h"
#include "support/http_test_server.h"

namespace tq::test {

struct PageRecord {
  std::vector<std::pair<TVornConnectionStatus, std::string>> Statuses;
  std::vector<TVornConnectionInfo> Works;
  std::vector<std::string> Redirects;
  bool Finished = false;
  bool Errored = false;
  std::string Error;
  std::string Content;
};

class TransferFixture : public ::testing::Test {
 protected:
  TransferFixture() {
    m_manager.TestOnlyRetryPauseMs = 5;
    m_manager.OnPageStatus = [this](const TVornPagePtr& p, TVornConnectionStatus s,
                                    const std::string& text) {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_records[p.get()].Statuses.emplace_back(s, text);
    };
    m_manager.OnPageWork = [this](const TVornPagePtr& p, TWorkMode, const TVornConnectionInfo& i) {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_records[p.get()].Works.push_back(i);
      m_records[p.get()].Works.back().MakeTexts();
    };
    m_manager.OnPageRedirect = [this](const TVornPagePtr& p, const std::string& location) {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_records[p.get()].Redirects.push_back(location);
    };
    m_manager.OnPageError = [this](const TVornPagePtr& p, const std::string& error) {
      std::lock_guard<std::mutex> guard(m_mutex);
      auto& r = m_records[p.get()];
      r.Finished = r.Errored = true;
      r.Error = error;
    };
    m_manager.OnPageDone = [this](const TVornPagePtr& p, std::string content) {
      std::lock_guard<std::mutex> guard(m_mutex);
      auto& r = m_records[p.get()];
      r.Finished = true;
      r.Content = std::move(content);
    };
  }

  static TVornLinkPtr LinkTo(const std::string& url) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage(url);
    link->SetText(url);
    return link;
  }

  // A page for url whose hooks are recorded; nothing started yet.
  TVornPagePtr RecordedPage(const std::string& url) {
    TVornPagePtr page = m_manager.NewPage();
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_records[page.get()] = PageRecord{};
      m_pages.push_back(page);  // no later page may take this one's address
    }
    page->AssignLink(LinkTo(url));
    return page;
  }

  // A page for url, set up by setup (and preparePage) before its transfer starts.
  TVornPagePtr Start(const std::string& url,
                     const std::function<void(TVornHTTPConnection&)>& setup = nullptr,
                     const std::function<void(TVornPage&)>& preparePage = nullptr) {
    TVornPagePtr page = RecordedPage(url);
    if (setup) setup(page->Http());
    if (preparePage) preparePage(*page);
    page->Http().StartTransfer();
    return page;
  }

  PageRecord Record(const TVornPagePtr& page) {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_records[page.get()];
  }

  bool WaitFinished(const TVornPagePtr& page) {
    return RunUntil([&] { return Record(page).Finished; }, Millis(20000));
  }

  PageRecord Fetch(const std::string& url,
                   const std::function<void(TVornHTTPConnection&)>& setup = nullptr) {
    TVornPagePtr page = Start(url, setup);
    EXPECT_TRUE(WaitFinished(page)) << url;
    m_last = page;
    return Record(page);
  }

  HttpTestServer m_server;
  TThreadManager m_manager;
  TVornPagePtr m_last;
  std::vector<TVornPagePtr> m_pages;
  std::mutex m_mutex;
  std::map<const TVornPage*, PageRecord> m_records;
};

}  // namespace tq::test
