// Filling the options dialog and taking its values over.
#include "dialogs/options_dialog_model.h"

#include <cstdio>
#include <filesystem>

#include "foundation/ansi.h"
#include "foundation/format.h"
#include "platform/dialog_service.h"
#include "platform/shell_folders.h"

namespace tq {

const std::array<TOptionsTreeNode, 14> kOptionsTree = {{
    {"Internet", 10, opConnection, 0},
    {"Connection", 0, opConnection, 1},
    {"Dial-UP", 1, opDialUp, 1},
    {"Disconnect/Exit", 2, opDisconnect, 1},
    {"Proxy Server", 11, opProxyHTTP, 0},
    {"HTTP", 3, opProxyHTTP, 1},
    {"FTP", 4, opProxyFTP, 1},
    {"Tools", 12, opBrowsers, 0},
    {"External Browsers", 5, opBrowsers, 1},
    {"Advanced", 13, opDirectories, 0},
    {"Directories", 6, opDirectories, 1},
    {"Integration", 7, opIntegration, 1},
    {"Confirmation", 8, opConfirmation, 1},
    {"Export", 9, opExport, 1},
}};

std::string_view OptionsPageTitle(TOptionsPage page) {
  static constexpr std::array<std::string_view, 10> kTitles = {
      "Internet - Connection",  "Internet - DialUp",      "Internet - Disconnect and Exit",
      "Proxy server - HTTP",    "Proxy Server - FTP",     "Tools - External Browsers",
      "Advanced - Directories", "Advanced - Integration", "Advanced - Confirmation",
      "Advanced - Export",
  };
  return page < kTitles.size() ? kTitles[page] : std::string_view();
}

std::string FormatTimeBox(TDateTime time) {
  const auto parts = DecodeDateTime(time);
  if (!parts) return "  :  ";
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", parts->hour, parts->minute);
  return text;
}

std::optional<TDateTime> ParseTimeBox(std::string_view text) {
  auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  size_t pos = 0;
  int hour = 0;
  if (digit(0) && digit(1)) {
    hour = (text[0] - '0') * 10 + (text[1] - '0');
    pos = 2;
  } else if ((text.size() > 1 && text[0] == ' ' && digit(1)) || digit(0)) {
    pos = text[0] == ' ' ? 1 : 0;
    hour = text[pos] - '0';
    ++pos;
  } else {
    return std::nullopt;
  }
  if (text.size() != pos + 3 || text[pos] != ':' || !digit(pos + 1) || !digit(pos + 2)) {
    return std::nullopt;
  }
  const int minute = (text[pos + 1] - '0') * 10 + (text[pos + 2] - '0');
  return EncodeTime(hour, minute, 0, 0);
}

std::string FreeSpaceText(const std::string& folder) {
  // A download folder is made when it is first needed; until then the space it will have is
  // that of the nearest folder above it that exists.
  std::error_code ec;
  std::filesystem::path existing = std::filesystem::absolute(folder, ec);
  if (ec) return "unknown";
  while (!std::filesystem::exists(existing, ec) && existing.has_relative_path())
    existing = existing.parent_path();
  const auto space = std::filesystem::space(existing, ec);
  if (ec || space.available == 0 || space.available == static_cast<std::uintmax_t>(-1)) {
    return "unknown";
  }
  return FormatFileSize(static_cast<double>(space.available));
}

namespace {

TProxyControls ProxyControlsOf(const TVornProxy& proxy) {
  return {proxy.Version <= svSocks5 ? static_cast<int>(proxy.Version) : -1, proxy.Address,
          proxy.Port, proxy.User, proxy.Password};
}

void TakeProxy(const TProxyControls& controls, TVornProxy& proxy) {
  if (controls.Version >= 0) proxy.Version = static_cast<TSocksVersion>(controls.Version);
  proxy.Address = controls.Address;
  proxy.Port = controls.Port;
  proxy.User = controls.User;
  proxy.Password = controls.Password;
}

// The text box's lines: a line break (CR LF, LF or CR) starts a new line.
std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(text[i]);
    }
  }
  return lines;
}

// A time box's check; false (after the message) when it holds no time. A box left as it was
// filled keeps the stored value whole, date and seconds included.
bool TakeTime(const std::string& box, TDateTime& target, const char* message) {
  const auto time = ParseTimeBox(box);
  if (time && box == FormatTimeBox(target)) return true;
  if (!time) {
    DialogService().ShowMessageDlg(message, mdiError, mbOk, "Invalid Entry", 0);
    return false;
  }
  target = *time;
  return true;
}

}  // namespace

TOptionsDialogModel::TOptionsDialogModel(TVornOptions& options, std::vector<std::string> phonebook)
    : Phonebook(std::move(phonebook)), Browsers(options.ExtBrowsers), m_options(options) {
  m_editors.Assign(options.ExtEditors);
  m_viewers.Assign(options.ExtViewers);

  const TVornInternetConnection& c = options.InternetConnection;
  UseMSIECookies = c.UseMSIECookies;
  AllowLocalConnectionOnly = c.AllowLocalConnectionOnly;
  IdentifyAsListed = c.AgentIdentify != EaitCustom;
  IdentityIndex = IdentifyAsListed ? c.AgentIdentify : -1;
  CustomIdentity = c.CustomAgentIdentify;

  const TVornInternetDial& d = options.InternetDialUp;
  DialEnabled = d.Enabled;
  for (size_t i = 0; i < Phonebook.size() && PhonebookIndex < 0; ++i) {
    if (AnsiSameText(Phonebook[i], d.Connection)) PhonebookIndex = static_cast<int>(i);
  }
  DialUsername = d.Username;
  DialPassword = d.Password;
  RetryBrokenConnection = d.RetryBrokenConnection;
  IntervalBetweenRetries = d.IntervalBetweenRetries;

  const TVornInternetDisconnect& x = options.InternetDisconnect;
  DisconnectWhenDownloadsComplete = x.DisconnectWhenDownloadsComplete;
  DisconnectAt = x.DisconnectAt;
  DisconnectAtTime = FormatTimeBox(x.DisconnectAtTime);
  ExitWhenDownloadsComplete = x.ExitWhenDownloadsComplete;
  ExitAt = x.ExitAt;
  ExitAtTime = FormatTimeBox(x.ExitAtTime);
  SaveDownloadsBeforeExit = x.SaveDownloadsBeforeExit;
  ShutDownOnExit = x.ShutDownOnExit;

  ProxyHTTP = ProxyControlsOf(options.ProxyHTTP);
  ProxyFTP = ProxyControlsOf(options.ProxyFTP);
  PasvMode = options.ProxyFTP.PasvMode;

  DownDirectory = options.Directories.DownDirectory;
  DiskSpaceLimit = options.Directories.DiskSpaceLimit;

  const TVornIntegration& i = options.Integration;
  MonitorClipboard = i.MonitorClipboard;
  IntegrateIE = i.IntegrateIE;
  WhenAddSelTemplate = i.WhenAddSelTemplate;
  WhenAddStartDownload = i.WhenAddStartDownload;
  ClipboardUsage = i.ClipboardUsage;
  ClipboardFilterLines = LinesOf(i.ClipboardFilter);

  const TVornConfirmations& k = options.Confirmation;
  Confirmations = {k.ClosingDoc,    k.ClosingApp,        k.QuittingWizard,
                   k.DeletingFiles, k.HaggingConnection, k.BaseUrlChanged};

  CompilerFileName = options.HTMLCompiler.FileName;
  FullSearch = options.HTMLCompiler.FullSearch;
}

void TOptionsDialogModel::ChooseDownDirectory() {
  const std::string folder = BrowseForFolder("Choose destination folder", 0);
  if (!folder.empty()) DownDirectory = folder;
}

bool TOptionsDialogModel::TakeOver(TFocus& focus) {
  focus = efNone;
  TVornInternetConnection& c = m_options.InternetConnection;
  c.UseMSIECookies = UseMSIECookies;
  c.AllowLocalConnectionOnly = AllowLocalConnectionOnly;
  // No list selection stores 255, an ordinal without an identity string.
  c.AgentIdentify = IdentifyAsListed
                        ? static_cast<TVornAgentIdentifyType>(static_cast<uint8_t>(IdentityIndex))
                        : EaitCustom;
  c.CustomAgentIdentify = CustomIdentity;

  TVornInternetDial& d = m_options.InternetDialUp;
  d.Enabled = DialEnabled;
  d.Connection = PhonebookIndex >= 0 && PhonebookIndex < static_cast<int>(Phonebook.size())
                     ? Phonebook[static_cast<size_t>(PhonebookIndex)]
                     : std::string();
  d.Username = DialUsername;
  d.Password = DialPassword;
  d.RetryBrokenConnection = static_cast<uint8_t>(RetryBrokenConnection);
  d.IntervalBetweenRetries = IntervalBetweenRetries;

  // The times are checked whether or not their switch is on, so an emptied box blocks OK.
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  x.DisconnectWhenDownloadsComplete = DisconnectWhenDownloadsComplete;
  x.DisconnectAt = DisconnectAt;
  if (!TakeTime(DisconnectAtTime, x.DisconnectAtTime,
                "Invalid value entered into \"Disconnect at\" field !\r\n"
                "Please use Hour:Minutes format")) {
    focus = efDisconnectAtTime;
    return false;
  }
  x.ExitWhenDownloadsComplete = ExitWhenDownloadsComplete;
  x.ExitAt = ExitAt;
  if (!TakeTime(ExitAtTime, x.ExitAtTime,
                "Invalid value enetered for \"Exit at\" field !\r\n"
                "Please use Hour:Minutes format")) {
    focus = efExitAtTime;
    return false;
  }
  x.SaveDownloadsBeforeExit = SaveDownloadsBeforeExit;
  x.ShutDownOnExit = ShutDownOnExit;

  TakeProxy(ProxyHTTP, m_options.ProxyHTTP);
  TakeProxy(ProxyFTP, m_options.ProxyFTP);
  m_options.ProxyFTP.PasvMode = PasvMode;

  Browsers.WriteBack(m_options.ExtBrowsers);
  m_options.ExtEditors.Assign(m_editors);
  m_options.ExtViewers.Assign(m_viewers);

  m_options.Directories.DownDirectory = DownDirectory;
  m_options.Directories.DiskSpaceLimit = DiskSpaceLimit;

  TVornIntegration& i = m_options.Integration;
  i.MonitorClipboard = MonitorClipboard;
  i.IntegrateIE = IntegrateIE;
  i.WhenAddSelTemplate = WhenAddSelTemplate;
  i.WhenAddStartDownload = WhenAddStartDownload;
  i.ClipboardUsage = static_cast<TVornClipBoardFilter>(static_cast<uint8_t>(ClipboardUsage));
  i.ClipboardFilter.clear();
  for (size_t n = 0; n < ClipboardFilterLines.size(); ++n) {
    if (n > 0) i.ClipboardFilter += "\r\n";
    i.ClipboardFilter += ClipboardFilterLines[n];
  }

  TVornConfirmations& k = m_options.Confirmation;
  k.ClosingDoc = Confirmations[0];
  k.ClosingApp = Confirmations[1];
  k.QuittingWizard = Confirmations[2];
  k.DeletingFiles = Confirmations[3];
  k.HaggingConnection = Confirmations[4];
  k.BaseUrlChanged = Confirmations[5];

  m_options.HTMLCompiler.FileName = CompilerFileName;
  m_options.HTMLCompiler.FullSearch = FullSearch;
  return true;
}

}  // namespace tq
