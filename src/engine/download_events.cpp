// Delivery of each event kind to its handler.
#include "engine/download_events.h"

namespace tq {

void TVornEventLink::Fire() {
  const TLinksEvent* handler = nullptr;
  switch (Kind) {
    case ekNewQueue:
      handler = &Handlers->OnNewQueue;
      break;
    case ekDelQueue:
      handler = &Handlers->OnDelQueue;
      break;
    case ekNewReady:
      handler = &Handlers->OnNewReady;
      break;
    case ekDelReady:
      handler = &Handlers->OnDelReady;
      break;
    case ekNewFailed:
      handler = &Handlers->OnNewFailed;
      break;
    case ekDelFailed:
      handler = &Handlers->OnDelFailed;
      break;
    case ekNewWorking:
      handler = &Handlers->OnNewWorking;
      break;
    case ekDelWorking:
      handler = &Handlers->OnDelWorking;
      break;
    case ekNewEmail:
      handler = &Handlers->OnNewEmail;
      break;
    case ekDelEmail:
      handler = &Handlers->OnDelEmail;
      break;
    case ekNewIgnored:
      handler = &Handlers->OnNewIgnored;
      break;
    case ekDelIgnored:
      handler = &Handlers->OnDelIgnored;
      break;
    default:
      return;
  }
  if (*handler) (*handler)(Sender, Link);
}

void TVornEventPage::Fire() {
  const TVornEventHandlers& h = *Handlers;
  switch (Kind) {
    case ekStartThread:
      if (h.OnStartThread) h.OnStartThread(Sender);
      break;
    case ekStatus:
      if (h.OnStatus) h.OnStatus(Sender, Status, Text, Link);
      break;
    case ekWork:
      if (h.OnWork && Info) {
        Info->MakeTexts();
        h.OnWork(Sender, WorkMode, *Info, Link);
      }
      break;
    case ekFetchStart:
      if (h.OnFetchStart) h.OnFetchStart(Sender, Link);
      break;
    case ekFetchEnd:
      if (h.OnFetchEnd) h.OnFetchEnd(Sender, Links, Link);
      break;
    case ekError:
      if (h.OnError) h.OnError(Sender, 0, Text, Link);
      break;
    case ekJobEnd:
      if (h.OnJobReady) h.OnJobReady(Sender, Text, Link);
      break;
    default:
      break;
  }
}

void TVornEventState::Fire() {
  if (Handlers->OnStateChange) Handlers->OnStateChange(Sender, State);
}

}  // namespace tq
