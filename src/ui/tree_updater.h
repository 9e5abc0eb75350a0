// TVornTreeUpdater: keeps one link tree in step with the engine's lists. The engine calls AddLink
// and RemoveLink from whichever thread changes a list; each call becomes a job in a queue, and a
// worker thread of the updater hands everything queued to the interface thread in one batch,
// waking once per batch however many jobs arrive meanwhile.
//
// Threads: AddLink and RemoveLink on any thread (they never wait for another thread); everything
// else on the interface thread. The tree is not owned: unset it or destroy the updater first.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "engine/tree_updater.h"

namespace tq {

class TVornLinkTree;

class TVornTreeUpdater : public ITreeUpdater {
 public:
  TVornTreeUpdater();
  // Ends the worker; queued jobs are dropped.
  ~TVornTreeUpdater() override;
  TVornTreeUpdater(const TVornTreeUpdater&) = delete;
  TVornTreeUpdater& operator=(const TVornTreeUpdater&) = delete;

  // Raise EVornError "Invalid link or link deleted" when the link has no address to show; no
  // job is made then. Nothing happens while the updater is disabled.
  void AddLink(const TVornLinkPtr& link, int imageIndex) override;
  void RemoveLink(const TVornLinkPtr& link) override;

  // The tree filled; while unset, queued jobs are dropped.
  TVornLinkTree* Tree() const;
  void SetTree(TVornLinkTree* tree);
  // True: jobs go through the worker (the normal case). False: each job is applied at once,
  // which only a caller on the interface thread may ask for.
  bool UseThread() const { return m_useThread; }
  void SetUseThread(bool value) { m_useThread = value; }
  // False: add and remove requests are ignored; links missed meanwhile never reach the tree.
  bool Enabled() const { return m_enabled; }
  void SetEnabled(bool value) { m_enabled = value; }

  // No job waits and no batch is under way.
  bool Idle() const;
  // Batches handed to the interface thread so far.
  int BatchCount() const;

  struct TCore;

 private:
  void Queue(int kind, const TVornLinkPtr& link, int imageIndex);

  std::shared_ptr<TCore> m_core;
  std::atomic<bool> m_useThread{true};
  std::atomic<bool> m_enabled{true};
  std::thread m_worker;
};

}  // namespace tq
