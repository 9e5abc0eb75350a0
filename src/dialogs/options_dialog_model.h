// The logic of the options dialog, without widgets: the pages and their titles, the value of every
// control filled from the options when the dialog opens, and the takeover into the options when
// the user confirms with OK (the caller then saves them). Cancel just drops the model.
//
// Values are kept as stored, also where they lie outside a spin box's range below, so opening the
// dialog and pressing OK stores the same values; a binding widens a range to hold its value.
// Interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/utility_apps_editor.h"
#include "options/options.h"

namespace tq {

enum TOptionsPage : uint8_t {
  opConnection,
  opDialUp,
  opDisconnect,
  opProxyHTTP,
  opProxyFTP,
  opBrowsers,
  opDirectories,
  opIntegration,
  opConfirmation,
  opExport,
};

// The page titles, which also head the dialog's hints while the page is shown.
std::string_view OptionsPageTitle(TOptionsPage page);

// The navigation tree: every node expanded, the first page shown at opening.
struct TOptionsTreeNode {
  std::string_view Caption;
  int ImageIndex;
  TOptionsPage Page;
  int Level;  // 0 for a group, 1 for its pages
};
extern const std::array<TOptionsTreeNode, 14> kOptionsTree;

// Spin box ranges.
inline constexpr int kDialCountMax = 100;     // retries and seconds between them, from 0
inline constexpr int kProxyPortMax = 10000;   // from 0
inline constexpr int kDiskSpaceLimitMin = 5;  // megabytes
inline constexpr int kDiskSpaceLimitMax = 1000;

// A time of day as the time boxes show it ("hh:nn"), and the time a box's text holds: one or
// two hour digits (a blank for a missing first one), ":" and two minute digits; nullopt for
// anything else, an empty box ("  :  ") included.
std::string FormatTimeBox(TDateTime time);
std::optional<TDateTime> ParseTimeBox(std::string_view text);

// "unknown" when the free space of the folder's file system cannot be had, else its size as
// the lists show sizes.
std::string FreeSpaceText(const std::string& folder);

struct TProxyControls {
  int Version = -1;  // the selected choice: "No proxy", "Socks 4", "Socks 4A", "Socks 5"; -1 none
  std::string Address;
  int32_t Port = 0;
  std::string User;
  std::string Password;
};

class TOptionsDialogModel {
 public:
  // The box whose content made OK fail.
  enum TFocus : uint8_t { efNone, efDisconnectAtTime, efExitAtTime };

  // Fills every control from options; phonebook lists the dial-up connections the platform
  // knows, in its order.
  TOptionsDialogModel(TVornOptions& options, std::vector<std::string> phonebook);

  // Internet - Connection
  bool UseMSIECookies = false;
  bool AllowLocalConnectionOnly = false;
  bool IdentifyAsListed = false;  // "Identify as :"; otherwise "Use this Identification :"
  int IdentityIndex = -1;         // the list's selection; -1 or past the list: none
  std::string CustomIdentity;
  // Internet - DialUp ("Enabled" also enables the page's other controls)
  bool DialEnabled = false;
  std::vector<std::string> Phonebook;
  int PhonebookIndex = -1;  // -1 none
  std::string DialUsername, DialPassword;
  int RetryBrokenConnection = 0;
  int32_t IntervalBetweenRetries = 0;
  // Internet - Disconnect and Exit (each check box enables its time box)
  bool DisconnectWhenDownloadsComplete = false;
  bool DisconnectAt = false;
  std::string DisconnectAtTime;
  bool ExitWhenDownloadsComplete = false;
  bool ExitAt = false;
  std::string ExitAtTime;
  bool SaveDownloadsBeforeExit = false;
  bool ShutDownOnExit = false;
  // Proxy server - HTTP, Proxy Server - FTP
  TProxyControls ProxyHTTP, ProxyFTP;
  bool PasvMode = false;
  // Tools - External Browsers; the editors and viewers lists have no page and are carried over.
  TUtilityAppsEditor Browsers;
  // Advanced - Directories
  std::string DownDirectory;
  int64_t DiskSpaceLimit = 0;
  // Advanced - Integration
  bool MonitorClipboard = false;
  bool IntegrateIE = false;
  bool WhenAddSelTemplate = false;
  bool WhenAddStartDownload = false;
  int ClipboardUsage = 0;  // "Do not accept" / "Accept only"
  std::vector<std::string> ClipboardFilterLines;
  // Advanced - Confirmation, in the order of the switches
  std::array<bool, 6> Confirmations{};
  // Advanced - Export
  std::string CompilerFileName;  // set from the compiler finder's choice
  bool FullSearch = false;

  // The folder button: the folder picker titled "Choose destination folder"; a chosen folder
  // replaces DownDirectory.
  void ChooseDownDirectory();

  // OK: writes page after page into the options. When a time box holds no time, shows the
  // "Invalid Entry" message, sets focus to that box and returns false with the pages before it
  // already written (the dialog stays open); true when everything was taken over.
  bool TakeOver(TFocus& focus);

 private:
  TVornOptions& m_options;
  TVornUtilityApps m_editors, m_viewers;
};

}  // namespace tq
