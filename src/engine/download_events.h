// The events the engine queues for the interface thread, and the handler types they call. An
// event keeps alive what its handler receives and releases it after delivery; which of them it
// releases follows the kind code (a deleted link, a finished page).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/connection_status.h"
#include "engine/link.h"

namespace tq {

class TVornBaseLinks;
class TVornLevelLinks;
class TVornPage;
using TVornPagePtr = std::shared_ptr<TVornPage>;
using TVornState = uint8_t;  // the controller's state ordinal

using TLinksEvent = std::function<void(TVornBaseLinks* sender, const TVornLinkPtr& link)>;
using TOnStartThreadEvent = std::function<void(const TVornPagePtr& page)>;
using TVornHTTPStatus = std::function<void(const TVornPagePtr& page, TVornConnectionStatus status,
                                           const std::string& text, const TVornLinkPtr& link)>;
using TVornHTTPWork =
    std::function<void(const TVornPagePtr& page, TWorkMode mode, const TVornConnectionInfo& info,
                       const TVornLinkPtr& link)>;
using TVornFetchBegin = std::function<void(const TVornPagePtr& page, const TVornLinkPtr& link)>;
using TVornFetchEnd =
    std::function<void(const TVornPagePtr& page, TVornLevelLinks* links, const TVornLinkPtr& link)>;
using TVornHTTPError = std::function<void(const TVornPagePtr& page, int32_t code,
                                          const std::string& comment, const TVornLinkPtr& link)>;
using TVornJobEnd = std::function<void(const TVornPagePtr& page, const std::string& content,
                                       const TVornLinkPtr& link)>;
using TVornOnStateEvent = std::function<void(void* controller, TVornState state)>;

// Kind codes; fixed.
enum TVornEventKind : uint8_t {
  ekNewQueue = 1,
  ekDelQueue,
  ekNewReady,
  ekDelReady,
  ekNewFailed,
  ekDelFailed,
  ekNewWorking,
  ekDelWorking,
  ekNewEmail,
  ekDelEmail,
  ekNewIgnored,
  ekDelIgnored,
  ekStartThread,
  ekStatus,
  ekWork,
  ekFetchStart,
  ekFetchEnd,
  ekError,
  ekJobEnd,
  ekState,
};

// The handler slots; an empty slot swallows its events.
struct TVornEventHandlers {
  TLinksEvent OnNewQueue, OnDelQueue, OnNewReady, OnDelReady, OnNewFailed, OnDelFailed;
  TLinksEvent OnNewWorking, OnDelWorking, OnNewIgnored, OnDelIgnored, OnNewEmail, OnDelEmail;
  TOnStartThreadEvent OnStartThread;
  TVornHTTPWork OnWork;
  TVornHTTPError OnError;
  TVornFetchEnd OnFetchEnd;
  TVornFetchBegin OnFetchStart;
  TVornHTTPStatus OnStatus;
  TVornJobEnd OnJobReady;
  TVornOnStateEvent OnStateChange;
};

class TVornBaseEvent {
 public:
  TVornBaseEvent(uint8_t kind, const TVornEventHandlers* handlers, TVornLinkPtr link)
      : Kind(kind), Handlers(handlers), Link(std::move(link)) {}
  virtual ~TVornBaseEvent() = default;
  virtual void Fire() = 0;

  uint8_t Kind;
  const TVornEventHandlers* Handlers;
  TVornLinkPtr Link;
};
using TVornEventPtr = std::unique_ptr<TVornBaseEvent>;

// Events of the link lists (kinds 1 to 12). Delete events other than In Progress hold the last
// reference the engine keeps, so the link dies after its handler has run.
class TVornEventLink : public TVornBaseEvent {
 public:
  TVornEventLink(uint8_t kind, const TVornEventHandlers* handlers, TVornBaseLinks* sender,
                 TVornLinkPtr link)
      : TVornBaseEvent(kind, handlers, std::move(link)), Sender(sender) {}
  void Fire() override;
  TVornBaseLinks* Sender;
};

// Events of a page (kinds 13 to 19); error and job-end events hold the finished page.
class TVornEventPage : public TVornBaseEvent {
 public:
  TVornEventPage(uint8_t kind, const TVornEventHandlers* handlers, TVornPagePtr page,
                 TVornLinkPtr link)
      : TVornBaseEvent(kind, handlers, std::move(link)), Sender(std::move(page)) {}
  void Fire() override;

  TVornPagePtr Sender;
  TVornConnectionStatus Status = ecsStatusText;
  TWorkMode WorkMode = wmRead;
  std::unique_ptr<TVornConnectionInfo> Info;  // work events
  std::string Text;                           // status text, error comment or job content
  TVornLevelLinks* Links = nullptr;           // fetch end
};

class TVornEventState : public TVornBaseEvent {
 public:
  TVornEventState(const TVornEventHandlers* handlers, void* controller, TVornState state)
      : TVornBaseEvent(ekState, handlers, nullptr), Sender(controller), State(state) {}
  void Fire() override;
  void* Sender;
  TVornState State;
};

}  // namespace tq
