// TVornIntegration: the desktop integration options (section "FIntegration" of the settings file)
// and what the desktop program does with them: the ".web" file type, the hand-over from a second
// start or from a web page, the clipboard watch, and the entries that offer the program to web
// browsers.
//
// Until StartDesktop runs, it is values and their storage only: the headless program and tests
// share the options without touching the user's desktop.
//
// Thread rules: interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/ini_file.h"
#include "foundation/main_loop.h"
#include "options/file_type.h"
#include "platform/hand_over.h"
#include "platform/key_store.h"

namespace tq {

enum TVornClipBoardFilter : uint8_t { ecbfDoNotAccept, ecbfAcceptOnly };

// The registry keys of the web browser entries: a context-menu entry for the user and a toolbar
// button for the machine. The button's identifier is the program's own and never changes.
inline constexpr std::string_view kBrowserMenuKey =
    "\\Software\\Microsoft\\Internet Explorer\\MenuExt\\Download &All using Tarnquill";
inline constexpr std::string_view kBrowserButtonKey =
    "\\Software\\Microsoft\\Internet Explorer\\Extensions\\"
    "{7C4D2B91-5E36-4F0A-9B8E-2D61A3F05C17}";

class TVornIntegration {
 public:
  TVornIntegration();
  ~TVornIntegration();
  TVornIntegration(const TVornIntegration&) = delete;
  TVornIntegration& operator=(const TVornIntegration&) = delete;

  bool MonitorClipboard = false;
  TVornClipBoardFilter ClipboardUsage = ecbfDoNotAccept;  // other ordinals accept nothing
  std::string ClipboardFilter;                            // extensions, matched as plain text
  bool IntegrateIE = false;                               // keep the web browser entries registered
  bool WhenAddSelTemplate = false;    // an arriving address lets the user pick a template
  bool WhenAddStartDownload = false;  // an arriving address starts downloading at once

  // An accepted address was copied; a hand-over brought lines (line 1 an address, line 2 a
  // project name); a hand-over asked to open a project file.
  std::function<void(const std::string& link, bool addSelTemplate, bool addStartDownload)>
      OnClipboardLink;
  std::function<void(const std::vector<std::string>& links, bool addSelTemplate,
                     bool addStartDownload)>
      OnIELinks;
  std::function<void(const std::string& fileName)> OnOpenFile;

  // The desktop program's start, by the instance that holds the program's claim (TOneInstance):
  // rewrites the ".web" file type for program (removed, then registered, on a thread of its own;
  // an installation with its own desktop entry registers nothing), receives hand-overs sent to
  // handOverName, starts the clipboard watch (a tick a second) and from then on keeps the browser
  // entries at every options save. Errors are swallowed: the program runs without what failed.
  void StartDesktop(const std::string& handOverName, const std::string& program);

  // A hand-over's lines: a first line starting "OpenFile=" asks to open the file named by the
  // rest of it (OnOpenFile); anything else goes to OnIELinks with the two When... switches. An
  // error a handler raises is swallowed.
  void ExecuteMacro(const std::vector<std::string>& lines);

  // One tick of the clipboard watch: a newly copied text holding an internet address raises
  // OnClipboardLink when ClipboardUsage lets the address's file extension through. The extension
  // is looked for in ClipboardFilter as plain text, letter case counting.
  void PollClipboard();

  // Writes (IntegrateIE) or deletes the browser entries in keys; programFolder is the folder of
  // the shipped files and of program. Each of the two entries fails alone, silently.
  void UpdateBrowserEntries(TKeyStore& keys, const std::string& programFolder,
                            const std::string& program) const;
  // The same in the user's key store once StartDesktop ran; nothing before. Never raises.
  void UpdateBrowserEntries() const;

  // FMonitorClipboard, FClipboardUsage (low 8 bits), FClipboardFilter (default
  // "zip;arj;rar;mp3;mpeg;mpg"), FWhenAddSelTemplate, FWhenAddStartDownload (default true),
  // FIntegrateIE (default true).
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;

 private:
  std::string m_lastAddress;  // the clipboard text last taken for an address
  std::string m_program;      // set by StartDesktop
  std::unique_ptr<THandOverServer> m_server;
  std::unique_ptr<TVornTimer> m_clipboardTimer;
  std::jthread m_registration;
};

// The internet address in a copied text: from its first "http://", "https://" or "ftp://" (any
// letter case) to the first blank or line break; empty when the text holds none.
std::string_view AddressIn(std::string_view text);

// The ".web" association of program, under the desktop program's id, with the shipped icon.
TFileType ProjectFileType(const std::string& program);

}  // namespace tq
