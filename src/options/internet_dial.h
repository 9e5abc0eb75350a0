// TVornInternetDial: the dial-up options (section "FInternetDialUP" of the settings file) and the
// entry points the rest of the program calls: dial before a crawl starts, hang up, and whether
// the line is up. What they do is filled in by the dial-up layer (TVornDialer) through the On...
// hooks; without it there is nothing to dial and the line counts as up.
//
// Thread rules: interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/ini_file.h"

namespace tq {

class TVornInternetDial {
 public:
  bool Enabled = false;                // dial before downloads
  std::string Connection;              // the phonebook entry to dial
  std::string Username;                // empty: the entry's stored credentials
  std::string Password;                // plain text, as typed
  uint8_t RetryBrokenConnection = 0;   // retries after a failed call (99 once loaded)
  int32_t IntervalBetweenRetries = 0;  // seconds between calls (10 once loaded)

  // True at once when dialling is off; otherwise dials and says whether the line is up.
  bool Dial() {
    if (!Enabled) return true;
    return OnDial ? OnDial() : true;
  }
  // Hangs up every dial-up connection when one is up.
  void HangUp() {
    if (OnHangUp) OnHangUp();
  }
  // True when no dialling is needed: a dial-up connection is up, or there is nothing to dial.
  bool Connected() const { return OnConnected ? OnConnected() : true; }

  std::function<bool()> OnDial;
  std::function<void()> OnHangUp;
  std::function<bool()> OnConnected;

  // Keys FEnabled, FConnection, FUsername, FPassword, FRetryBroken (low 8 bits), FInterval.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

}  // namespace tq
