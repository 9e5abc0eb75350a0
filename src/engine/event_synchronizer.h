// TVornEventSynchronizer: carries engine events from any thread to the interface thread, in the
// order they were queued, in batches: a delivery thread wakes once per batch, lets events gather
// for a few milliseconds and has the interface thread run everything queued. Work (progress)
// events never wake it by themselves.
//
// Producers may run on any thread and hold the process-wide producer lock only while queueing
// one event. Handlers run on the interface thread, hold no engine lock, and may queue events or
// destroy the synchroniser (the running batch then stops). Create and destroy the synchroniser
// on the interface thread; destruction releases queued events without delivering them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/download_events.h"

namespace tq {

// Shared by the synchronisers of every open project.
std::mutex& EventProducerLock();

class TVornEventSynchronizer {
 public:
  explicit TVornEventSynchronizer(void* controller = nullptr);
  ~TVornEventSynchronizer();
  TVornEventSynchronizer(const TVornEventSynchronizer&) = delete;
  TVornEventSynchronizer& operator=(const TVornEventSynchronizer&) = delete;

  // Read and written on the interface thread only.
  TVornEventHandlers& Handlers();

  // kind is one of the list kinds, ekNewQueue to ekDelIgnored.
  void LinkEvent(TVornEventKind kind, TVornBaseLinks* list, TVornLinkPtr link);
  void StartThread(TVornPagePtr page);
  void Status(TVornPagePtr page, TVornConnectionStatus status, std::string text, TVornLinkPtr link);
  void Work(TVornPagePtr page, TWorkMode mode, const TVornConnectionInfo& info, TVornLinkPtr link);
  void FetchStart(TVornPagePtr page, TVornLinkPtr link);
  void FetchEnd(TVornPagePtr page, TVornLevelLinks* links, TVornLinkPtr link);
  void Error(TVornPagePtr page, std::string comment, TVornLinkPtr link);
  void JobEnd(TVornPagePtr page, std::string content, TVornLinkPtr link);
  void State(TVornState state);

  int QueuedCount() const;

  struct Core;

 private:
  void Queue(TVornEventPtr event, bool wake);

  std::shared_ptr<Core> m_core;
  std::thread m_thread;
};

}  // namespace tq
