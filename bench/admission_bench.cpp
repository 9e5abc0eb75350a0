// Admission cost per link against lists of growing size: 100 000 pending links (new, refused and
// duplicate ones) admitted while Ready and Queue already hold N links each. Per-link time should
// not grow with N.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/admission.h"

namespace tq {
namespace {

constexpr int kPending = 100000;

TVornLinkPtr MakeLink(const std::string& url) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://h/");
  link->SetText(url);
  link->Level = 1;
  return link;
}

void BM_AdmitPending(benchmark::State& state) {
  const int held = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    {
      TVornCrawlSettings settings;
      ApplyNewProjectSettings(settings);
      settings.General.BaseUrl = "http://h/";
      TVornBaseLinks ready, working, queue, failed, ignored, email, deleted, pending;
      for (int i = 0; i < held; ++i) {
        ready.Add(MakeLink("http://h/r/" + std::to_string(i) + ".gif"));
        queue.Add(MakeLink("http://h/q/" + std::to_string(i) + ".gif"));
      }
      // Mostly new links, one in four refused, one in eight already held.
      for (int i = 0; i < kPending; ++i) {
        std::string url = "http://h/p/" + std::to_string(i) + (i % 4 == 0 ? ".exe" : ".gif");
        if (i % 8 == 1) url = "http://h/r/" + std::to_string(i % held) + ".gif";
        pending.Add(MakeLink(url));
      }
      TVornAdmission admission(
          settings, {&ready, &working, &queue, &failed, &ignored, &email, &deleted, &pending});
      state.ResumeTiming();
      admission.AdmitPending();
      state.PauseTiming();
      benchmark::DoNotOptimize(queue.Count());
    }  // tearing the lists down is not admission's cost
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPending);
}

BENCHMARK(BM_AdmitPending)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tq
