// The in-memory settings store at content-index sizes: writes and reads interleaved as during a
// crawl, whole-file load and save, and erasing sections in the middle of a large store.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "foundation/mem_ini_file.h"

namespace {

std::string Address(int64_t i) {
  return "http://www.example.com/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
         ".html";
}

void WriteDocument(tq::TVornMemIniFile& ini, const std::string& section, int64_t i) {
  ini.WriteInteger(section, "STATUS", static_cast<int>(i % 6));
  ini.WriteString(section, "PAGE", "http://www.example.com/");
  ini.WriteInteger(section, "SIZE", static_cast<int>(i * 13));
  ini.WriteString(section, "Content", "temp" + std::to_string(i) + ".tmp");
}

// Each address gets its section (four keys) and is read back at once, as the index is filled
// and consulted alternately; the time per section should not grow with the store.
void BM_WriteThenReadSections(benchmark::State& state) {
  const int64_t count = state.range(0);
  for (auto _ : state) {
    tq::TVornMemIniFile ini("unused.ini");
    for (int64_t i = 0; i < count; ++i) {
      const std::string section = Address(i);
      WriteDocument(ini, section, i);
      benchmark::DoNotOptimize(ini.ReadInteger(section, "STATUS", -1));
      benchmark::DoNotOptimize(ini.ReadString(section, "PAGE", ""));
      benchmark::DoNotOptimize(ini.ReadInteger(section, "SIZE", -1));
      benchmark::DoNotOptimize(ini.ReadString(section, "Content", ""));
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_section"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WriteThenReadSections)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);

std::string FileOf(int64_t count) {
  return (std::filesystem::temp_directory_path() /
          ("tq-ini-bench-" + std::to_string(count) + ".dat"))
      .string();
}

void BM_SaveFile(benchmark::State& state) {
  const int64_t count = state.range(0);
  tq::TVornMemIniFile ini(FileOf(count));
  ini.Clear();
  for (int64_t i = 0; i < count; ++i) WriteDocument(ini, Address(i), i);
  for (auto _ : state) ini.UpdateFile();
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SaveFile)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state) {
  const int64_t count = state.range(0);
  {
    tq::TVornMemIniFile ini(FileOf(count));
    ini.Clear();
    for (int64_t i = 0; i < count; ++i) WriteDocument(ini, Address(i), i);
    ini.UpdateFile();
  }
  for (auto _ : state) {
    tq::TVornMemIniFile ini(FileOf(count));
    benchmark::DoNotOptimize(ini.ReadString(Address(count / 2), "PAGE", ""));
  }
  state.SetItemsProcessed(state.iterations() * count);
  std::remove(FileOf(count).c_str());
}
BENCHMARK(BM_LoadFile)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// Removing a document erases its section from the middle of the store, then the document is
// written again at its end and another one read: the same cost at every store size.
void BM_EraseMiddleSection(benchmark::State& state) {
  const int64_t count = state.range(0);
  tq::TVornMemIniFile ini("unused.ini");
  for (int64_t i = 0; i < count; ++i) WriteDocument(ini, Address(i), i);
  int64_t next = 0;
  for (auto _ : state) {
    const std::string section = Address(next++ % count);
    ini.EraseSection(section);
    WriteDocument(ini, section, next);
    benchmark::DoNotOptimize(ini.ReadString(Address(count / 3), "PAGE", ""));
  }
}
BENCHMARK(BM_EraseMiddleSection)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace
