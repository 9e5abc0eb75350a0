// Content search and find in the link lists. The content search runs over a project file given
// in TQ_SEARCH_PROJECT (say one crawled from the generated bench site) or over a generated
// project of 2 000 pages; its rates are per core, since one thread searches (process CPU time).
// PageSearcher times the page search alone over pages already in memory. FindFiles walks
// 100 000 links.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "engine/download.h"
#include "formats/charset.h"
#include "formats/html_tokenizer.h"
#include "formats/stored_document.h"
#include "search/content_search.h"
#include "search/find_files.h"
#include "search/page_search.h"
#include "storage/document.h"

namespace tq {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "search_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A stored copy in the shape of the bench site's: UTF-8 prose with accented and CJK words,
// written as the engine stores it (windows-1258, references for what it cannot hold).
std::string GeneratedPage(int index, std::mt19937& random) {
  static const char* kWords[] = {"offline", "copy",    "Größe",  "naïve",   "crawler", "文字",
                                 "Москва",  "server",  "socket", "granite", "archive", "한국어",
                                 "header",  "lantern", "index",  "link",    "Łódź",    "fiancée"};
  std::uniform_int_distribution<int> word(0, static_cast<int>(std::size(kWords)) - 1);
  std::uniform_int_distribution<int> size(8000, 30000);
  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Page " +
                     std::to_string(index) + " – Offline</title></head>\n<body><h1>Page</h1>\n";
  const auto wanted = static_cast<std::size_t>(size(random));
  while (page.size() < wanted) {
    page += "<p>";
    for (int w = 0; w < 40; ++w) {
      page += kWords[word(random)];
      page +=
          w % 13 == 12 ? " <a href=\"\xA4\xA4" + std::to_string(w) + "\xA4\xA4\">more</a> " : " ";
    }
    page += "</p>\n";
  }
  page += "</body></html>\n";
  TStoredDocumentWriter writer;
  for (int w = 0; w < 40; ++w)
    writer.AddLink("http://bench.test/page" + std::to_string(w) + ".html");
  return writer.Build("http://bench.test/page" + std::to_string(index) + ".html",
                      StoredCharsetEncoder().Encode(Utf8ToUtf16(page)));
}

// The project searched: loaded from TQ_SEARCH_PROJECT, or generated.
struct TBenchProject {
  std::unique_ptr<TVornDocument> Document = std::make_unique<TVornDocument>();
  std::unique_ptr<TVornDownload> Download = std::make_unique<TVornDownload>();
  int HtmlPages = 0;
  double HtmlBytes = 0;

  TBenchProject() {
    App();
    Download->SetVornDocument(Document.get());
    if (const char* file = std::getenv("TQ_SEARCH_PROJECT")) {
      if (!Document->Load(file)) std::abort();
    } else {
      std::mt19937 random(7);
      for (int i = 0; i < 2000; ++i) {
        const std::string url = "http://bench.test/page" + std::to_string(i) + ".html";
        auto link = std::make_shared<TVornLink>();
        link->SetPage(url);
        link->SetText(url);
        Download->ReadyLinks().Add(link);
        Document->SetDocumentValue(url, kIndexContentType, "text/html");
        Document->SetDocumentContent(url, GeneratedPage(i, random));
      }
      Document->FlushJobs();
    }
    TVornBaseLinks& ready = Download->ReadyLinks();
    for (int i = 0; i < ready.Count(); ++i) {
      const std::string url = ready.Get(i)->GetUrl();
      if (!IsHtmlContentType(Document->GetDocumentValue(url, kIndexContentType))) continue;
      ++HtmlPages;
      HtmlBytes += static_cast<double>(Document->GetDocumentContent(url).size());
    }
  }
  ~TBenchProject() { Download.reset(); }
};

TBenchProject& Project() {
  static TBenchProject project;
  return project;
}

void ContentSearch(benchmark::State& state, const char* keyword) {
  TBenchProject& p = Project();
  const double rssBefore = PeakRssMb();
  TVornContentSearch search;
  search.SetVornDownload(p.Download.get());
  search.SetDocument(p.Document.get());
  std::size_t found = 0;
  for (auto _ : state) {
    search.StartSearch(keyword);
    ProcessEventsUntil([&] { return !search.Searching(); });
    found = search.Items().size();
  }
  state.counters["pages"] = p.HtmlPages;
  state.counters["found"] = static_cast<double>(found);
  state.counters["pages/s"] =
      benchmark::Counter(p.HtmlPages, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB/s"] =
      benchmark::Counter(p.HtmlBytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_rss_growth_MB"] = PeakRssMb() - rssBefore;
}

// A word on nearly every page (one row each), and one on none (every page read to its end).
void BM_ContentSearch_Common(benchmark::State& state) {
  ContentSearch(state, "GRANITE");
}
void BM_ContentSearch_Missing(benchmark::State& state) {
  ContentSearch(state, "zebra-quartz");
}
BENCHMARK(BM_ContentSearch_Common)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(2);
BENCHMARK(BM_ContentSearch_Missing)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(2);

void BM_PageSearcher(benchmark::State& state) {
  TBenchProject& p = Project();
  std::vector<std::string> pages;
  double bytes = 0;
  TVornBaseLinks& ready = p.Download->ReadyLinks();
  for (int i = 0; i < ready.Count() && pages.size() < 2000; ++i) {
    const std::string url = ready.Get(i)->GetUrl();
    if (!IsHtmlContentType(p.Document->GetDocumentValue(url, kIndexContentType))) continue;
    pages.push_back(p.Document->GetDocumentContent(url));
    bytes += static_cast<double>(pages.back().size());
  }
  TPageSearcher searcher("zebra-quartz");
  for (auto _ : state) {
    for (const std::string& page : pages) benchmark::DoNotOptimize(searcher.Search(page));
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB/s"] =
      benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PageSearcher)->Unit(benchmark::kMillisecond);

// 100 000 links over the four lists searched; about one address in a hundred holds the keyword.
void BM_FindFiles(benchmark::State& state) {
  App();
  TVornDownload download;
  const TVornLinkList lists[] = {ellReady, ellQueue, ellFailed, ellIgnored};
  for (int i = 0; i < 100000; ++i) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage("http://bench.test/section-" + std::to_string(i % 40) + "/index.html");
    link->SetText("/section-" + std::to_string(i % 40) + "/topic-" + std::to_string(i % 7) +
                  "/page-" + std::to_string(i) + (i % 100 == 0 ? ".PDF" : ".html"));
    download.Links(lists[i % 4]).Add(link);
  }
  TVornFindFiles find(download);
  for (auto _ : state) {
    find.Search(state.range(0) ? "PDF" : "pdf", state.range(0) != 0);
    ProcessEventsUntil([&] { return find.Idle(); });
  }
  state.counters["found"] = static_cast<double>(find.Items().size());
}
BENCHMARK(BM_FindFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tq
