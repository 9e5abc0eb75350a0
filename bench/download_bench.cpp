// The bookkeeping one fetched link costs the controller, whatever the project's size: admitted
// into the Queue, moved to In Progress at dispatch and to Ready when its page is done, each move
// raising its events and index writes through the list hooks.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <string>

#include "engine/download.h"

namespace tq {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "download_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

TVornLinkPtr LinkTo(const std::string& url) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://bench.test/");
  link->SetText(url);
  return link;
}

void BM_LinkThroughQueueInProgressAndReady(benchmark::State& state) {
  App();
  TVornDownload dl;
  const int projectSize = static_cast<int>(state.range(0));
  for (int i = 0; i < projectSize; ++i)
    dl.ReadyLinks().Add(LinkTo("http://bench.test/old/" + std::to_string(i) + ".html"));
  QCoreApplication::processEvents();
  int n = 0;
  for (auto _ : state) {
    dl.QueueLinks().Add(LinkTo("http://bench.test/new/" + std::to_string(n) + ".html"));
    auto working = std::make_shared<TVornLink>();
    working->Assign(*dl.QueueLinks().Get(0));
    dl.QueueLinks().Delete(0);
    dl.WorkingLinks().Add(working);
    auto done = std::make_shared<TVornLink>();
    done->Assign(*working);
    dl.WorkingLinks().Delete(dl.WorkingLinks().FindUrl(kFindExact, working->GetUrl()));
    dl.ReadyLinks().Add(done);
    if (++n % 4096 == 0) QCoreApplication::processEvents();  // let queued events be delivered
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinkThroughQueueInProgressAndReady)->Arg(100)->Arg(100000);

}  // namespace
}  // namespace tq
