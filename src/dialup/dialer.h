// TVornDialer: bringing a dial-up connection up before a crawl. It takes over the dial-up
// options' entry points (TVornInternetDial::Dial, HangUp, Connected) for as long as it lives.
//
// A dialing run shows a modal progress window through the dialog service while a background
// thread calls the entry, retrying a failed call RetryBrokenConnection times with a countdown of
// IntervalBetweenRetries seconds after each failure; "&Cancel" ends the run within moments.
//
// Thread rules: interface thread only; the run's own thread touches only the dial-up service and
// hands every window change to the interface thread.
#pragma once

#include <string>
#include <vector>

#include "dialup/clock.h"
#include "options/internet_dial.h"
#include "platform/dial_up.h"

namespace tq {

class TVornDialer {
 public:
  // The service and the clock must outlive the dialer.
  TVornDialer(TVornInternetDial& options, IDialUpService& service, const IVornClock& clock);
  ~TVornDialer();
  TVornDialer(const TVornDialer&) = delete;
  TVornDialer& operator=(const TVornDialer&) = delete;

  // True when no dialing is needed: the phonebook is empty (a machine without dial-up entries is
  // online), or some phonebook connection is up.
  bool Connected();

  // Dials the entry named by the options unless Connected, and says whether the line is up
  // afterwards. A call while a run is in progress (another project starting) waits for that run
  // to end. A user name in the options is stored with the entry, with the password, first.
  bool Dial();

  // Hangs up every phonebook connection (all) or the one dialled last; ends a run's Dialing.
  void HangUp(bool all);

  bool Dialing() const { return m_dialing; }

  // The phonebook's entries, for the options dialog.
  std::vector<std::string> Phonebook() { return m_service.GetEntries(); }

 private:
  void RunDialing(const std::string& entry);

  TVornInternetDial& m_options;
  IDialUpService& m_service;
  const IVornClock& m_clock;
  bool m_dialing = false;
};

}  // namespace tq
