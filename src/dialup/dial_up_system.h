// The dial-up layer as the desktop program runs it: NetworkManager's dial-up profiles on the
// system bus, the system clock and logind's power-off, wired into the options for as long as
// this object lives. Create it after the options and destroy it before them; interface thread.
#pragma once

#include <memory>

#include "dialup/clock.h"
#include "dialup/dialer.h"
#include "dialup/scheduled_actions.h"
#include "options/options.h"
#include "platform/dial_up.h"

namespace tq {

class TVornDialUpSystem {
 public:
  explicit TVornDialUpSystem(TVornOptions& options);

  // The phonebook for the options dialog, and the dialer itself.
  TVornDialer& Dialer() { return m_dialer; }

 private:
  TSystemClock m_clock;
  std::unique_ptr<IDialUpService> m_service;
  TVornDialer m_dialer;
  TVornScheduledActions m_actions;
};

}  // namespace tq
