// The event queue, its delivery thread and the batch run on the interface thread.
#include "engine/event_synchronizer.h"

#include <chrono>
#include <condition_variable>
#include <vector>

#include "foundation/errors.h"
#include "foundation/main_loop.h"
#include "foundation/synch_list.h"

namespace tq {

namespace {
constexpr auto kGatherTime = std::chrono::milliseconds(3);
}  // namespace

std::mutex& EventProducerLock() {
  static std::mutex lock;
  return lock;
}

// Lives as long as anyone may still run a batch: the synchroniser and any batch posted to the
// interface thread share it, so a synchroniser destroyed from inside a handler leaves the running
// batch something valid to find "terminated" in.
struct TVornEventSynchronizer::Core {
  void* Controller = nullptr;
  TVornEventHandlers Handlers;
  TSynchList<TVornEventPtr> Queue;  // owns what it holds: undelivered events go with it

  std::mutex Mutex;  // guards everything below
  std::condition_variable Cv;
  bool WakeAllowed = true;
  bool WakeSignalled = false;  // the manual-reset wake-up event
  bool BatchDone = false;
  bool Terminated = false;
  int PendingWaking = 0;  // queued events that asked for a wake-up and are not delivered yet

  // Called with Mutex held after a waking event was queued or a batch ended; true when the
  // caller is to notify Cv, after releasing Mutex, so the woken thread does not find it held.
  bool WakeIfAllowed() {
    if (!WakeAllowed || PendingWaking == 0) return false;
    WakeAllowed = false;
    WakeSignalled = true;
    return true;
  }

  bool IsTerminated() {
    std::lock_guard<std::mutex> guard(Mutex);
    return Terminated;
  }

  // Takes everything queued in one go rather than event by event: producers on the transfer
  // threads share the list lock, and each take of the first event also moved all the others.
  void RunBatch() {
    for (;;) {
      if (IsTerminated()) return;
      std::vector<TVornEventPtr> taken = Queue.TakeAll();
      if (taken.empty()) return;
      int waking = 0;
      for (const TVornEventPtr& event : taken) {
        if (event->Kind != ekWork) ++waking;
      }
      {
        std::lock_guard<std::mutex> guard(Mutex);
        PendingWaking -= waking;
      }
      for (auto& owned : taken) {
        // A handler may have destroyed the synchroniser: what is left goes undelivered.
        if (IsTerminated()) return;
        RunReporting("event handler", [&owned] { owned->Fire(); });
        owned.reset();  // released right after delivery, before the next one fires
      }
    }
  }

  static void DeliveryLoop(const std::shared_ptr<Core>& core) {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(core->Mutex);
        core->Cv.wait(lock, [&] { return core->WakeSignalled; });
        core->WakeSignalled = false;
        if (core->Terminated) return;
        // A busy crawl queues an event per kilobyte received; letting them gather briefly
        // turns thousands of round trips through the interface thread into a few large batches.
        core->Cv.wait_for(lock, kGatherTime, [&] { return core->Terminated; });
        if (core->Terminated) return;
        core->BatchDone = false;
      }
      // Posted rather than called blocking, so that an interface thread busy destroying us is
      // never waited for while it waits for this thread.
      PostToInterface([core] {
        core->RunBatch();
        {
          std::lock_guard<std::mutex> guard(core->Mutex);
          core->BatchDone = true;
        }
        core->Cv.notify_all();
      });
      std::unique_lock<std::mutex> lock(core->Mutex);
      core->Cv.wait(lock, [&] { return core->BatchDone || core->Terminated; });
      if (core->Terminated) return;
      core->WakeAllowed = true;
      // An event queued while the batch was emptying the queue found waking forbidden: this
      // thread is the one to take it, so it goes round again without waiting to be notified.
      core->WakeIfAllowed();
    }
  }
};

TVornEventSynchronizer::TVornEventSynchronizer(void* controller)
    : m_core(std::make_shared<Core>()) {
  m_core->Controller = controller;
  m_thread = std::thread([core = m_core] { Core::DeliveryLoop(core); });
}

TVornEventSynchronizer::~TVornEventSynchronizer() {
  {
    std::lock_guard<std::mutex> guard(m_core->Mutex);
    m_core->Terminated = true;
    m_core->WakeSignalled = true;
    m_core->Cv.notify_all();
  }
  m_thread.join();
  // Queued events go with the core, undelivered, once no batch holds it any more.
}

TVornEventHandlers& TVornEventSynchronizer::Handlers() {
  return m_core->Handlers;
}

int TVornEventSynchronizer::QueuedCount() const {
  return m_core->Queue.Count();
}

void TVornEventSynchronizer::Queue(TVornEventPtr event, bool wake) {
  std::lock_guard<std::mutex> producer(EventProducerLock());
  m_core->Queue.Add(std::move(event));
  if (!wake) return;
  bool notify = false;
  {
    std::lock_guard<std::mutex> guard(m_core->Mutex);
    ++m_core->PendingWaking;
    notify = m_core->WakeIfAllowed();
  }
  if (notify) m_core->Cv.notify_all();
}

void TVornEventSynchronizer::LinkEvent(TVornEventKind kind, TVornBaseLinks* list,
                                       TVornLinkPtr link) {
  // An In Progress link is still the worker's: its delete event must not be its last owner.
  Queue(std::make_unique<TVornEventLink>(kind, &m_core->Handlers, list, std::move(link)), true);
}

void TVornEventSynchronizer::StartThread(TVornPagePtr page) {
  Queue(
      std::make_unique<TVornEventPage>(ekStartThread, &m_core->Handlers, std::move(page), nullptr),
      true);
}

void TVornEventSynchronizer::Status(TVornPagePtr page, TVornConnectionStatus status,
                                    std::string text, TVornLinkPtr link) {
  auto event = std::make_unique<TVornEventPage>(ekStatus, &m_core->Handlers, std::move(page),
                                                std::move(link));
  event->Status = status;
  event->Text = std::move(text);
  Queue(std::move(event), true);
}

void TVornEventSynchronizer::Work(TVornPagePtr page, TWorkMode mode,
                                  const TVornConnectionInfo& info, TVornLinkPtr link) {
  auto event =
      std::make_unique<TVornEventPage>(ekWork, &m_core->Handlers, std::move(page), std::move(link));
  event->WorkMode = mode;
  event->Info = std::make_unique<TVornConnectionInfo>(info);
  Queue(std::move(event), false);
}

void TVornEventSynchronizer::FetchStart(TVornPagePtr page, TVornLinkPtr link) {
  Queue(std::make_unique<TVornEventPage>(ekFetchStart, &m_core->Handlers, std::move(page),
                                         std::move(link)),
        true);
}

void TVornEventSynchronizer::FetchEnd(TVornPagePtr page, TVornLevelLinks* links,
                                      TVornLinkPtr link) {
  auto event = std::make_unique<TVornEventPage>(ekFetchEnd, &m_core->Handlers, std::move(page),
                                                std::move(link));
  event->Links = links;
  Queue(std::move(event), true);
}

void TVornEventSynchronizer::Error(TVornPagePtr page, std::string comment, TVornLinkPtr link) {
  auto event = std::make_unique<TVornEventPage>(ekError, &m_core->Handlers, std::move(page),
                                                std::move(link));
  event->Text = std::move(comment);
  Queue(std::move(event), true);
}

void TVornEventSynchronizer::JobEnd(TVornPagePtr page, std::string content, TVornLinkPtr link) {
  auto event = std::make_unique<TVornEventPage>(ekJobEnd, &m_core->Handlers, std::move(page),
                                                std::move(link));
  event->Text = std::move(content);
  Queue(std::move(event), true);
}

void TVornEventSynchronizer::State(TVornState state) {
  Queue(std::make_unique<TVornEventState>(&m_core->Handlers, m_core->Controller, state), true);
}

}  // namespace tq
