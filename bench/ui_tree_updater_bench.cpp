// The link tree's updater under a stream of list changes from a background thread: how many
// hand-overs to the interface thread 10 000 AddLink calls cost (one per batch, not per call),
// and how long until the tree shows them all; and the list model's cost per arriving row.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "foundation/main_loop.h"
#include "ui/link_list_model.h"
#include "ui/link_tree.h"
#include "ui/tree_updater.h"

namespace tq {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "ui_tree_updater_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

std::vector<TVornLinkPtr> Links(int count) {
  std::vector<TVornLinkPtr> links;
  for (int i = 0; i < count; ++i) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage("http://h.org/");
    link->SetText("http://h.org/d" + std::to_string(i % 100) + "/p" + std::to_string(i) + ".html");
    link->GetUrl();
    links.push_back(std::move(link));
  }
  return links;
}

// range(0) links, added in bursts of range(1) with a millisecond between bursts (0: no pause),
// the way a crawl's threads add them.
void BM_BackgroundAddLink(benchmark::State& state) {
  App();
  const auto links = Links(static_cast<int>(state.range(0)));
  const size_t burst = static_cast<size_t>(state.range(1));
  double handOvers = 0;
  for (auto _ : state) {
    TVornLinkTree tree;
    TVornTreeUpdater updater;
    updater.SetTree(&tree);
    // The interface thread keeps serving while the producer adds, as during a crawl.
    std::atomic<bool> produced{false};
    std::thread producer([&] {
      for (size_t i = 0; i < links.size(); ++i) {
        updater.AddLink(links[i], 2);
        if (burst != 0 && i % burst == burst - 1)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      produced = true;
    });
    ProcessEventsUntil([&] { return produced && updater.Idle(); });
    producer.join();
    handOvers += updater.BatchCount();
  }
  state.counters["hand_overs"] = benchmark::Counter(handOvers / double(state.iterations()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BackgroundAddLink)
    ->Args({10000, 0})
    ->Args({10000, 10})
    ->Args({10000, 100})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_ListRowsArriveAndLeave(benchmark::State& state) {
  App();
  const auto links = Links(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TVornLinkListModel model(llQueue);
    for (const auto& link : links) model.NewLink(nullptr, link);
    // Every second link leaves from the middle, as dispatch and moves do.
    for (size_t i = 0; i < links.size(); i += 2) model.DelLink(links[i]);
    benchmark::DoNotOptimize(model.rowCount());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListRowsArriveAndLeave)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tq
