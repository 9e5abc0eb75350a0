// TVornOptions: the application options one program run shares between its projects. For now it
// holds what a crawl reads (identity and proxies) and the dial, disconnect and exit entry points
// a crawl calls at its start and end; what those entry points do is filled in by the layers that
// own dial-up and the scheduled exit, through their hooks.
//
// Thread rules: owned by the main window (or the CLI) and used on the interface thread only.
#pragma once

#include <functional>

#include "options/internet_connection.h"

namespace tq {

// Dialling before a crawl. Without a hook there is nothing to dial and the line counts as up.
class TVornInternetDial {
 public:
  // Dials when dial-up is enabled; true when the connection is up afterwards.
  bool Dial() { return OnDial ? OnDial() : true; }

  std::function<bool()> OnDial;
};

// Disconnecting and exiting once downloads are complete (or at a set time). afterDownloads tells
// the hooks why they are called: true when the last crawl has just finished.
class TVornInternetDisconnect {
 public:
  void Disconnect(bool afterDownloads) {
    if (OnDisconnect) OnDisconnect(afterDownloads);
  }
  void ExitProgram(bool afterDownloads) {
    if (OnExitProgram) OnExitProgram(afterDownloads);
  }

  std::function<void(bool afterDownloads)> OnDisconnect;
  std::function<void(bool afterDownloads)> OnExitProgram;
};

class TVornOptions {
 public:
  TVornOptions() = default;
  TVornOptions(const TVornOptions&) = delete;
  TVornOptions& operator=(const TVornOptions&) = delete;

  TVornInternetConnection InternetConnection;
  TVornProxyHTTP ProxyHTTP;
  TVornProxyFTP ProxyFTP;
  TVornInternetDial InternetDialUp;
  TVornInternetDisconnect InternetDisconnect;
};

}  // namespace tq
