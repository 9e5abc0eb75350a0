// The web browsers installed on this machine, for a first list of external browsers. Any thread;
// it runs xdg-settings and waits for it (at most a few seconds), so call it once, not per use.
#pragma once

#include <string>
#include <vector>

namespace tq {

struct TInstalledBrowser {
  std::string Name;  // as the desktop entry names it, or the program's file name
  std::string File;  // full path of the program
};

// The desktop's default browser (xdg-settings get default-web-browser, resolved through its
// desktop entry), then /usr/bin/chromium and /usr/bin/firefox; only programs that exist and may
// be run, each program once.
std::vector<TInstalledBrowser> FindInstalledBrowsers();

}  // namespace tq
