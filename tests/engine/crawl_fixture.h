// A controller crawling a loopback site, with a project document that records what it is told,
// for the tests of whole crawls.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/download.h"
#include "foundation/errors.h"
#include "support/http_test_server.h"

namespace tq::test {

using TEntries = std::map<std::string, std::map<std::string, std::string>>;

// The document as a map of entries, the way the content index keeps them.
class RecordingDocument : public IDownloadDocument {
 public:
  bool Loading = false;
  TLoadLinkHook LoadLink;
  TSettingsHook SaveSettings;

  bool IsLoadingFile() const override { return Loading; }
  void RemoveDocument(std::string_view url) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.erase(std::string(url));
  }
  void SetDocumentStatus(std::string_view url, int status) override {
    SetDocumentValue(url, "STATUS", std::to_string(status));
  }
  void SetDocumentValue(std::string_view url, std::string_view key,
                        std::string_view value) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries[std::string(url)][std::string(key)] = value;
  }
  void SetDocumentContent(std::string_view url, std::string_view content) override {
    if (FailContent) throw EVornError("disk full");
    SetDocumentValue(url, "CONTENT", content);
  }
  bool FailContent = false;
  void SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook,
                        TSettingsHook onSaveSettings) override {
    LoadLink = std::move(onLoadLink);
    SaveSettings = std::move(onSaveSettings);
  }
  TEntries Entries() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_entries;
  }

 private:
  std::mutex m_mutex;
  TEntries m_entries;
};

inline std::vector<std::string> Urls(TVornBaseLinks& list) {
  std::vector<std::string> urls;
  for (int i = 0; i < list.Count(); ++i) {
    const TVornLinkPtr link = list.Get(i);
    urls.push_back(link->LinkKind() == lkMail ? link->GetMailAddress() : link->GetUrl());
  }
  return urls;
}

inline TVornLinkPtr MakeLink(const std::string& page, const std::string& text) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(page);
  link->SetText(text);
  return link;
}

inline TestRoute Html(const std::string& body) {
  return [body](const TestRequest&, TestConnection& c) {
    c.Send(HttpTestServer::Answer("200 OK", "Content-Type: text/html\r\n", body));
  };
}

class CrawlFixture : public ::testing::Test {
 protected:
  CrawlFixture() {
    ApplyNewProjectSettings(m_dl.Settings());
    m_dl.System().RetriesOnFailed = 0;
    m_dl.SetVornOptions(&m_options);
    m_dl.SetVornDocument(&m_doc);
    m_options.InternetDisconnect.OnDisconnect = [this](bool after) { m_ends.push_back(after); };
    m_options.InternetDisconnect.OnExitProgram = [this](bool after) { m_ends.push_back(!after); };
    m_dl.OnStateChange() = [this](void*, TVornState state) { m_states.push_back(state); };
    m_dl.OnStartThread() = [this](const TVornPagePtr&) { m_most = std::max(m_most, ++m_live); };
    m_dl.OnJobReady() = [this](const TVornPagePtr&, const std::string&, const TVornLinkPtr&) {
      --m_live;
    };
    m_dl.OnError() = [this](const TVornPagePtr&, int32_t, const std::string&, const TVornLinkPtr&) {
      --m_live;
    };
  }

  // Runs a crawl from start to its return to edsReady.
  void Crawl(const std::string& start) {
    m_dl.General().BaseUrl = start;
    m_dl.StartDownload();
    ASSERT_EQ(m_dl.State(), edsDownload);
    ASSERT_TRUE(RunUntil([&] { return m_dl.State() == edsReady; }, Millis(20000)));
  }
  int RequestsFor(const std::string& target) {
    const auto requests = m_server.Requests();
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(),
                      [&](const TestRequest& r) { return r.Target == target; }));
  }

  HttpTestServer m_server;
  TVornOptions m_options;
  RecordingDocument m_doc;
  std::vector<bool> m_ends;  // Disconnect(true) appends true, ExitProgram(true) false
  std::vector<TVornState> m_states;
  int m_live = 0, m_most = 0;
  TVornDownload m_dl;  // after everything its hooks reach: destroyed first
};

}  // namespace tq::test
