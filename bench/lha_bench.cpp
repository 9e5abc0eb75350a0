// Throughput of the "-lh1-" coder on generated HTML (whole and in page-sized pieces) and on
// incompressible bytes, and the compressed size of HTML as a share of the original ("ratio").
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "formats/lha_codec.h"

namespace {

std::string Html(size_t size) {
  static const char* kTags[] = {"div", "p", "a", "span", "li", "td"};
  static const char* kWords[] = {"offline", "copy",     "of",      "the",   "site",
                                 "page",    "download", "project", "links", "index",
                                 "archive", "settings", "content"};
  std::mt19937 rng(42);
  std::string out =
      "<html><head><title>Sample page</title>\n<link rel=\"stylesheet\" href=\"/s.css\">"
      "</head>\n<body>\n";
  while (out.size() < size) {
    const char* tag = kTags[rng() % std::size(kTags)];
    out += std::string("<") + tag;
    if (rng() % 3 == 0) out += " class=\"c" + std::to_string(rng() % 20) + "\"";
    if (tag[0] == 'a' && tag[1] == 0)
      out += " href=\"/dir" + std::to_string(rng() % 50) + "/page" + std::to_string(rng() % 500) +
             ".html\"";
    out += ">";
    for (int w = 1 + static_cast<int>(rng() % 12); w > 0; --w) {
      out += kWords[rng() % std::size(kWords)];
      out += ' ';
    }
    out += std::string("</") + tag + ">\n";
  }
  out.resize(size);
  return out;
}

std::string Noise(size_t size) {
  std::mt19937 rng(7);
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(rng());
  return out;
}

constexpr size_t kSize = 1 << 20;

void BM_Lh1EncodeHtml(benchmark::State& state) {
  const std::string input = Html(kSize);
  std::string packed;
  for (auto _ : state) benchmark::DoNotOptimize(tq::Lh1Encode(input, packed, UINT64_MAX));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
  state.counters["ratio"] = static_cast<double>(packed.size()) / static_cast<double>(input.size());
}

// A crawled page is a few kilobytes, so the coder's set-up weighs as much as its loop.
void BM_Lh1EncodeSmallPages(benchmark::State& state) {
  const std::string input = Html(kSize);
  constexpr size_t kPage = 6 * 1024;
  std::string packed;
  for (auto _ : state) {
    for (size_t at = 0; at + kPage <= input.size(); at += kPage)
      benchmark::DoNotOptimize(tq::Lh1Encode(input.substr(at, kPage), packed, UINT64_MAX));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Lh1DecodeHtml(benchmark::State& state) {
  const std::string input = Html(kSize);
  std::string packed;
  tq::Lh1Encode(input, packed, UINT64_MAX);
  for (auto _ : state) benchmark::DoNotOptimize(tq::Lh1Decode(packed, input.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

// The archive stops compressing as soon as the output is no smaller than the input; this is the
// cost of finding that out on data that does not compress.
void BM_Lh1EncodeNoiseGivingUp(benchmark::State& state) {
  const std::string input = Noise(kSize);
  std::string packed;
  for (auto _ : state) benchmark::DoNotOptimize(tq::Lh1Encode(input, packed, input.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Lh1EncodeNoise(benchmark::State& state) {
  const std::string input = Noise(kSize);
  std::string packed;
  for (auto _ : state) benchmark::DoNotOptimize(tq::Lh1Encode(input, packed, UINT64_MAX));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
  state.counters["ratio"] = static_cast<double>(packed.size()) / static_cast<double>(input.size());
}

void BM_Lh1DecodeNoise(benchmark::State& state) {
  const std::string input = Noise(kSize);
  std::string packed;
  tq::Lh1Encode(input, packed, UINT64_MAX);
  for (auto _ : state) benchmark::DoNotOptimize(tq::Lh1Decode(packed, input.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

}  // namespace

BENCHMARK(BM_Lh1EncodeHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh1EncodeSmallPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh1DecodeHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh1EncodeNoiseGivingUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh1EncodeNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh1DecodeNoise)->Unit(benchmark::kMillisecond);
