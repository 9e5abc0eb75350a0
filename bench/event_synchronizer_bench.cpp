// Event delivery throughput: producers on worker threads queue list and progress events, the
// interface thread receives them in batches; and the cost of one progress record.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/event_synchronizer.h"
#include "foundation/main_loop.h"

namespace tq {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "event_synchronizer_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

void BM_DeliverEventsFromWorkers(benchmark::State& state) {
  App();
  const int producers = static_cast<int>(state.range(0));
  constexpr int kEach = 20000;
  for (auto _ : state) {
    TVornEventSynchronizer sync;
    std::atomic<int> delivered{0};
    sync.Handlers().OnStatus = [&](const TVornPagePtr&, TVornConnectionStatus, const std::string&,
                                   const TVornLinkPtr&) { ++delivered; };
    sync.Handlers().OnWork = [&](const TVornPagePtr&, TWorkMode, const TVornConnectionInfo&,
                                 const TVornLinkPtr&) { ++delivered; };
    std::vector<std::thread> threads;
    for (int t = 0; t < producers; ++t) {
      threads.emplace_back([&] {
        const auto info = TVornConnectionInfo::Make(1 << 20, 4096, 250);
        for (int i = 0; i < kEach; ++i) {
          if (i % 4 == 0) {
            sync.Status(nullptr, ecsTransferring, "Transferring from h", nullptr);
          } else {
            sync.Work(nullptr, wmRead, info, nullptr);
          }
        }
      });
    }
    for (auto& t : threads) t.join();
    ProcessEventsUntil([&] { return delivered.load() == producers * kEach; });
  }
  state.SetItemsProcessed(state.iterations() * producers * kEach);
}
BENCHMARK(BM_DeliverEventsFromWorkers)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_ProgressRecord(benchmark::State& state) {
  double done = 0;
  for (auto _ : state) {
    done += 1024;
    benchmark::DoNotOptimize(TVornConnectionInfo::Make(1e9, done, 1500));
  }
}
BENCHMARK(BM_ProgressRecord);

}  // namespace
}  // namespace tq
