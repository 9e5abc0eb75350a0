// Saving and loading a project of 10 000 stored pages (HTML of 8 to 30 KB): how long each takes
// and how much memory each needs at its peak (a load reads only settings and index, so its peak
// must stay far below the content's size). And loading a project of 100 000 links, as
// `tarnquill-cli list` does, with its peak next to the size of the index text: the ratio shows
// what each byte of index costs once loaded.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "engine/download.h"
#include "storage/archive.h"
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

constexpr int kLinks = 100000;

// An index in the shape a crawl leaves: most links fetched with their content named, the rest
// queued, failed, ignored or mail addresses, each found on one of a few hundred pages.
std::string IndexText() {
  std::string text;
  for (int i = 0; i < kLinks; ++i) {
    const std::string page =
        "http://www.example.org/section" + std::to_string(i % 300) + "/index.html";
    const int kind = i % 20;
    if (kind == 19) {
      text += "[user" + std::to_string(i) + "@example.org]\r\nSTATUS=4\r\nLEVEL=2\r\nPAGE=" + page +
              "\r\n\r\n";
      continue;
    }
    text += "[http://www.example.org/section" + std::to_string(i % 300) + "/page" +
            std::to_string(i) + ".html]\r\n";
    if (kind < 12) {
      text += "STATUS=0\r\nLEVEL=2\r\nPAGE=" + page + "\r\nSIZE=" + std::to_string(8000 + i) +
              "\r\nContentType=text/html\r\nContent=tmp" + std::to_string(i) + ".~tmp\r\n\r\n";
    } else if (kind < 16) {
      text += "STATUS=1\r\nLEVEL=3\r\nPAGE=" + page + "\r\n\r\n";
    } else if (kind < 18) {
      text += "STATUS=2\r\nLEVEL=3\r\nPAGE=" + page + "\r\nERROR=404 Not Found\r\n\r\n";
    } else {
      text += "STATUS=3\r\nLEVEL=3\r\nPAGE=" + page + "\r\nREASON=File type\r\n\r\n";
    }
  }
  return text;
}

// The project file of kLinks links (made once) and the size of its index text.
const std::string& LinksProject(size_t& indexBytes) {
  static size_t bytes = 0;
  static const std::string file = [] {
    const std::string name = (Folder() / "links.web").string();
    const std::string index = IndexText();
    bytes = index.size();
    tq::TVornArchive archive(name);
    archive.AddStream("settings.dat", "[General]\r\nFProjectName=Bench\r\n");
    archive.AddStream("index.dat", index);
    return name;
  }();
  indexBytes = bytes;
  return file;
}

// Arg 0: the document alone, each rebuilt link handed over and dropped. Arg 1: with the
// controller, whose lists keep every link, as `list` does.
void BM_LoadLinks100k(benchmark::State& state) {
  size_t indexBytes = 0;
  const std::string& file = LinksProject(indexBytes);
  const bool withLists = state.range(0) != 0;
  for (auto _ : state) {
    ResetPeak();
    const double before = PeakMegabytes();
    tq::TVornDocument doc((Folder() / "cache").string(), Folder().string());
    std::optional<tq::TVornDownload> download;
    if (withLists) {
      download.emplace().SetVornDocument(&doc);
    } else {
      doc.OnLoadLink = [](tq::TVornLinkPtr, int) { return true; };
    }
    if (!doc.Load(file)) state.SkipWithError("load failed");
    const double indexMb = static_cast<double>(indexBytes) / (1024.0 * 1024.0);
    const double growth = PeakMegabytes() - before;
    state.counters["index_MB"] = indexMb;
    state.counters["peak_growth_MB"] = growth;
    state.counters["growth_per_index_byte"] = growth / indexMb;
    if (download) download->SetVornDocument(nullptr);
  }
}
BENCHMARK(BM_LoadLinks100k)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
