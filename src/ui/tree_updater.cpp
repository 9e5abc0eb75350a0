// The worker waits for its wake-up, hands one batch to the interface thread and waits until that
// has run it; jobs queued meanwhile pile up for the same or the next batch. Its wait for the
// batch also ends when the updater is destroyed, so destroying an updater never depends on the
// interface thread serving its queue (it may be inside a handler at the time).
#include "ui/tree_updater.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>

#include "foundation/errors.h"
#include "foundation/main_loop.h"
#include "foundation/synch_list.h"
#include "ui/link_tree.h"

namespace tq {
namespace {

// Job creation and queueing of every updater of every project window.
std::mutex& TreeJobLock() {
  static std::mutex lock;
  return lock;
}

constexpr int kAddJob = 0;
constexpr int kRemoveJob = 1;

}  // namespace

struct TTreeJob {
  int Kind = kAddJob;
  int ImageIndex = -1;
  TVornLinkPtr Link;  // adds only: the link the new node carries
  std::string Url;    // taken when the job was made
};

struct TVornTreeUpdater::TCore {
  std::mutex lock;  // guards wake, batchDone and terminated's changes
  std::condition_variable signal;
  bool wake = false;
  bool batchDone = false;
  std::atomic<bool> terminated{false};
  std::atomic<bool> idle{true};
  std::atomic<int> batches{0};
  TSynchList<TTreeJob> queue;
  TVornLinkTree* tree = nullptr;  // interface thread only

  void Apply(TTreeJob& job) {
    try {
      if (job.Kind == kAddJob) {
        tree->AddLinkNode(job.Url, job.Link, job.ImageIndex);
      } else {
        tree->RemoveLinkNode(job.Url);
      }
    } catch (const std::exception&) {
      // The tree stays as far as the job got.
    }
  }

  // On the interface thread.
  void RunBatch() {
    for (;;) {
      if (terminated) return;
      std::vector<TTreeJob> jobs = queue.TakeAll();
      if (jobs.empty()) return;
      if (tree == nullptr) continue;
      for (TTreeJob& job : jobs) {
        if (terminated) return;
        Apply(job);
      }
    }
  }

  void Wake() {
    {
      std::lock_guard guard(lock);
      wake = true;
    }
    signal.notify_all();
  }

  // Wakes the worker when it is idle and something waits; one wake-up per batch.
  void WakeIfWaiting() {
    if (queue.Count() > 0 && idle.exchange(false)) Wake();
  }

  void WorkerLoop(const std::shared_ptr<TCore>& self) {
    for (;;) {
      {
        std::unique_lock guard(lock);
        signal.wait(guard, [this] { return wake || terminated; });
        wake = false;
        if (terminated) return;
        batchDone = false;
      }
      ++batches;
      PostToInterface([self] {
        self->RunBatch();
        {
          std::lock_guard guard(self->lock);
          self->batchDone = true;
        }
        self->signal.notify_all();
      });
      {
        std::unique_lock guard(lock);
        signal.wait(guard, [this] { return batchDone || terminated; });
        if (terminated) return;
      }
      idle = true;
      // A job queued after the batch took its last jobs but before idle was set found the worker
      // busy and did not wake it: look again, or it would wait for the next change.
      WakeIfWaiting();
    }
  }
};

TVornTreeUpdater::TVornTreeUpdater() : m_core(std::make_shared<TCore>()) {
  m_worker = std::thread([core = m_core] { core->WorkerLoop(core); });
}

TVornTreeUpdater::~TVornTreeUpdater() {
  {
    std::lock_guard guard(m_core->lock);
    m_core->terminated = true;
  }
  m_core->signal.notify_all();
  m_worker.join();
  m_core->tree = nullptr;
  m_core->queue.TakeAll();
}

TVornLinkTree* TVornTreeUpdater::Tree() const {
  return m_core->tree;
}

void TVornTreeUpdater::SetTree(TVornLinkTree* tree) {
  m_core->tree = tree;
}

bool TVornTreeUpdater::Idle() const {
  return m_core->idle && m_core->queue.Count() == 0;
}

int TVornTreeUpdater::BatchCount() const {
  return m_core->batches;
}

void TVornTreeUpdater::AddLink(const TVornLinkPtr& link, int imageIndex) {
  Queue(kAddJob, link, imageIndex);
}

void TVornTreeUpdater::RemoveLink(const TVornLinkPtr& link) {
  Queue(kRemoveJob, link, -1);
}

void TVornTreeUpdater::Queue(int kind, const TVornLinkPtr& link, int imageIndex) {
  if (!m_enabled) return;
  const bool threaded = m_useThread;
  TTreeJob job;
  {
    std::lock_guard guard(TreeJobLock());
    if (!link) throw EVornError("Invalid link or link deleted");
    job.Kind = kind;
    job.ImageIndex = imageIndex;
    job.Url = link->GetUrl();
    if (kind == kAddJob) job.Link = link;
    if (threaded) m_core->queue.Add(std::move(job));
  }
  if (!threaded) {
    if (m_core->tree != nullptr) m_core->Apply(job);
    return;
  }
  m_core->WakeIfWaiting();
}

}  // namespace tq
