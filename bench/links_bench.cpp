// Link list cost per operation as lists grow: appending, looking up every link by its address in
// both modes, and draining from the front. The time per link should not grow with the list.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/links.h"

namespace tq {
namespace {

std::vector<TVornLinkPtr> MakeLinks(int n) {
  std::vector<TVornLinkPtr> links;
  links.reserve(n);
  for (int i = 0; i < n; ++i) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage("http://www.example.com/dir/index.html");
    // Every tenth address shares its query-less form with others, as p.php?id=N pages do.
    link->SetText(i % 10 == 0
                      ? "p.php?id=" + std::to_string(i)
                      : "dir" + std::to_string(i % 97) + "/page" + std::to_string(i) + ".html");
    link->GetUrl();
    links.push_back(std::move(link));
  }
  return links;
}

void BM_AddFindDrain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto links = MakeLinks(n);
  std::vector<std::string> urls;
  for (const auto& link : links) urls.push_back(link->GetUrl());
  // One list for every round, as a project's lists live for the whole crawl: its index keeps
  // the size it grew to. An untimed first round grows it, so that every timed round does the same
  // work; otherwise the growth would weigh on the few rounds of a long list only.
  TVornBaseLinks list;
  for (const auto& link : links) list.Add(std::make_shared<TVornLink>(*link));
  while (list.Count() > 0) list.Delete(0);
  for (auto _ : state) {
    // Making and freeing the link objects is not the list's cost: done outside the timing.
    state.PauseTiming();
    std::vector<TVornLinkPtr> copies;
    copies.reserve(links.size());
    for (const auto& link : links) copies.push_back(std::make_shared<TVornLink>(*link));
    state.ResumeTiming();
    for (const auto& copy : copies) list.Add(copy);
    int64_t sum = 0;
    for (const auto& url : urls) {
      sum += list.FindUrl(kFindExact, url);
      sum += list.FindUrl(kFindQueryLess, url);
      sum += list.IndexOfUrl(lkAbsolute, url);
    }
    while (list.Count() > 0) {
      benchmark::DoNotOptimize(list.Get(0));
      list.Delete(0);
    }
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    copies.clear();
    state.ResumeTiming();
  }
  // One item = one link through add, three look-ups, get and delete.
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddFindDrain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FindOnly(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TVornBaseLinks list;
  for (const auto& link : MakeLinks(n)) list.Add(link);
  std::vector<std::string> urls;
  for (int i = 0; i < n; ++i) urls.push_back(list.Get(i)->GetUrl());
  size_t i = 0;
  for (auto _ : state) {
    const std::string& url = urls[i++ % urls.size()];
    benchmark::DoNotOptimize(list.FindUrl(kFindExact, url));
    benchmark::DoNotOptimize(list.FindUrl(kFindQueryLess, url));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindOnly)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace tq
