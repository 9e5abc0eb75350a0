// The archive as the project document uses it: membership tests and single-member reads in an
// archive of many members (the offline server asks for every page it serves), and packing many
// loose content files in one add.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/archive.h"

namespace {

// A scratch folder removed when the program ends.
struct TScratch {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tq_archive_bench_" + std::to_string(::getpid()));
  TScratch() { std::filesystem::create_directories(path); }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

std::filesystem::path Folder() {
  static const TScratch scratch;
  return scratch.path;
}

std::string Page(int i) {
  std::string page = "<html><head><title>Page " + std::to_string(i) + "</title></head><body>\n";
  for (int k = 0; k < 40; ++k)
    page += "<p><a href=\"page" + std::to_string(i * 7 + k) + ".html\">link</a></p>\n";
  return page + "</body></html>\n";
}

// An archive of count members named TMPn.~TMP, built once per size.
std::string ArchiveOf(int count) {
  const std::string file = (Folder() / ("a" + std::to_string(count) + ".web")).string();
  if (std::filesystem::exists(file)) return file;
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back((Folder() / ("tmp" + std::to_string(i) + ".~tmp")).string());
    std::ofstream(paths.back(), std::ios::binary) << Page(i);
  }
  tq::TVornArchive(file).AddFiles(paths);
  for (const auto& p : paths) std::filesystem::remove(p);
  return file;
}

void BM_ArchiveContains(benchmark::State& state) {
  const tq::TVornArchive archive(ArchiveOf(static_cast<int>(state.range(0))));
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(archive.Contains("tmp" + std::to_string(i) + ".~tmp"));
    i = (i + 7919) % static_cast<int>(state.range(0));
  }
}

void BM_ArchiveExtract(benchmark::State& state) {
  const tq::TVornArchive archive(ArchiveOf(static_cast<int>(state.range(0))));
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(archive.ExtractToStream("tmp" + std::to_string(i) + ".~tmp"));
    i = (i + 7919) % static_cast<int>(state.range(0));
  }
}

void BM_ArchiveAddFiles(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::vector<std::string> paths;
  int64_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    paths.push_back((Folder() / ("add" + std::to_string(i) + ".~tmp")).string());
    const std::string page = Page(i);
    bytes += static_cast<int64_t>(page.size());
    std::ofstream(paths.back(), std::ios::binary) << page;
  }
  const std::string file = (Folder() / "add.web").string();
  for (auto _ : state) {
    std::filesystem::remove(file);
    tq::TVornArchive(file).AddFiles(paths);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

}  // namespace

BENCHMARK(BM_ArchiveContains)->Arg(100)->Arg(10000);
BENCHMARK(BM_ArchiveExtract)->Arg(100)->Arg(10000);
BENCHMARK(BM_ArchiveAddFiles)->Arg(1000)->Unit(benchmark::kMillisecond);
