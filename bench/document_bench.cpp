// Saving and loading a project of 10 000 stored pages (HTML of 8 to 30 KB): how long each takes
// and how much memory each needs at its peak (a load reads only settings and index, so its peak
// must stay far below the content's size).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "storage/document.h"

namespace {

constexpr int kPages = 10000;

struct TScratch {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tq_document_bench_" + std::to_string(::getpid()));
  TScratch() { std::filesystem::create_directories(path); }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::filesystem::path& Folder() {
  static const TScratch scratch;
  return scratch.path;
}

std::string ProjectFile() {
  return (Folder() / "big.web").string();
}

// A page of size bytes in the shape of a real site's: head, navigation, paragraphs of prose
// from a small vocabulary, links and images with varying names.
std::string Page(int index, size_t size, std::mt19937& random) {
  static const char* kWords[] = {
      "the",     "offline", "copy",    "of",      "a",        "site",     "keeps",  "every",
      "page",    "and",     "image",   "that",    "was",      "fetched",  "during", "crawl",
      "archive", "server",  "browser", "address", "document", "settings", "link",   "queue",
      "project", "folder",  "file",    "with",    "from",     "into",     "where",  "when"};
  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"><title>Page " +
                     std::to_string(index) +
                     "</title><link rel=\"stylesheet\" href=\"/css/site.css\"></head>\n<body>"
                     "<div class=\"nav\"><a href=\"/\">Home</a> | <a href=\"/news/\">News</a> | "
                     "<a href=\"/about.html\">About</a></div>\n";
  std::uniform_int_distribution<int> word(0, static_cast<int>(std::size(kWords)) - 1);
  std::uniform_int_distribution<int> target(0, kPages - 1);
  while (page.size() < size) {
    page += "<p>";
    for (int w = 0; w < 60; ++w) {
      page += kWords[word(random)];
      page += ' ';
      if (w % 17 == 16) {
        page += "<a href=\"/section/page" + std::to_string(target(random)) + ".html\">more</a> ";
      }
    }
    page += "</p>\n<img src=\"/img/photo" + std::to_string(target(random)) + ".jpg\" alt=\"\">\n";
  }
  page.resize(size);
  return page + "</body></html>\n";
}

// The largest resident size since the last reset, in MB (VmHWM).
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_SaveProject(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    tq::TVornDocument doc((Folder() / "cache").string(), Folder().string());
    std::mt19937 random(42);
    std::uniform_int_distribution<size_t> size(8 * 1024, 30 * 1024);
    uint64_t bytes = 0;
    for (int i = 0; i < kPages; ++i) {
      const std::string url = "http://www.example.org/section/page" + std::to_string(i) + ".html";
      const std::string page = Page(i, size(random), random);
      bytes += page.size();
      doc.SetDocumentStatus(url, tq::kStatusReady);
      doc.SetDocumentValue(url, tq::kIndexContentType, "text/html");
      doc.SetDocumentContent(url, page);
      if (i % 256 == 255) doc.FlushJobs();
    }
    doc.FlushJobs();
    doc.SetDocName(ProjectFile());
    ResetPeak();
    state.ResumeTiming();
    if (!doc.Save(false)) state.SkipWithError("save failed");
    state.PauseTiming();
    state.counters["content_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(ProjectFile())) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = PeakMegabytes();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SaveProject)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_LoadProject(benchmark::State& state) {
  if (!std::filesystem::exists(ProjectFile())) {
    state.SkipWithError("run BM_SaveProject first");
    return;
  }
  for (auto _ : state) {
    ResetPeak();
    const double before = PeakMegabytes();
    tq::TVornDocument doc((Folder() / "cache").string(), Folder().string());
    int links = 0;
    doc.OnLoadLink = [&](tq::TVornLinkPtr, int) { return ++links > 0; };
    if (!doc.Load(ProjectFile()) || links != kPages) state.SkipWithError("load failed");
    state.counters["peak_MB"] = PeakMegabytes();
    state.counters["peak_growth_MB"] = PeakMegabytes() - before;
  }
}
BENCHMARK(BM_LoadProject)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
