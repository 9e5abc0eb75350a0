// The desktop integration: storage, the file type, hand-overs, the clipboard watch and the
// browser entries.
#include "options/integration.h"

#include <algorithm>

#include "foundation/ansi.h"
#include "foundation/file_system.h"
#include "foundation/url.h"
#include "options/ini_values.h"
#include "platform/clipboard.h"
#include "platform/program_folder.h"

namespace tq {
namespace {

constexpr int kClipboardPollMs = 1000;

}  // namespace

std::string_view AddressIn(std::string_view text) {
  const std::string upper = AnsiUpperCase(text);
  size_t start = std::string::npos;
  for (const char* scheme : {"HTTP://", "HTTPS://", "FTP://"}) {
    start = std::min(start, upper.find(scheme));
  }
  if (start == std::string::npos) return {};
  const std::string_view address = text.substr(start);
  return address.substr(0, address.find_first_of(" \t\r\n"));
}

TFileType ProjectFileType(const std::string& program) {
  TFileType type;
  type.SetFileExtension(".web");
  type.FileTypeName = "Tarnquill Project File";
  type.OpenWith = program;
  type.UseDDE = true;
  type.DDECommand = "OpenFile=%1";
  type.DDETopic = "DdeTarnquillIEServerConv";
  type.DesktopId = kDesktopId;
  if (const std::string data = ShippedDataFolder(); !data.empty()) {
    type.Icon = data + "/icons/tarnquill.png";
  }
  return type;
}

TVornIntegration::TVornIntegration() = default;
TVornIntegration::~TVornIntegration() = default;

void TVornIntegration::StartDesktop(const std::string& handOverName, const std::string& program) {
  m_program = program;
  // A new program path (an update, a moved build folder) must reach the desktop, so the type is
  // rewritten at every start; off the interface thread, as the cache tools take a moment. An
  // installed program's entry came with it: the user's own copy (left by a build-folder run, of
  // the same id) would only hide it, so it goes and nothing is written in its place.
  m_registration = std::jthread(
      [type = ProjectFileType(program), installed = InstalledWithDesktopEntry()]() mutable {
        try {
          type.UnregisterType();
          if (!installed) type.RegisterType();
        } catch (...) {
          // The program runs without the association.
        }
      });
  try {
    m_server = std::make_unique<THandOverServer>();
    m_server->OnHandOver = [this](const std::vector<std::string>& lines) { ExecuteMacro(lines); };
    m_server->Listen(handOverName);
  } catch (...) {
    m_server.reset();
  }
  m_clipboardTimer = std::make_unique<TVornTimer>();
  m_clipboardTimer->SetInterval(kClipboardPollMs);
  m_clipboardTimer->OnTimer = [this] { PollClipboard(); };
  m_clipboardTimer->SetEnabled(true);
}

void TVornIntegration::ExecuteMacro(const std::vector<std::string>& lines) {
  constexpr std::string_view kOpenFile = "OpenFile=";
  try {
    if (!lines.empty() && lines.front().starts_with(kOpenFile)) {
      if (OnOpenFile) OnOpenFile(lines.front().substr(kOpenFile.size()));
      return;
    }
    if (OnIELinks) OnIELinks(lines, WhenAddSelTemplate, WhenAddStartDownload);
  } catch (...) {
    // Whatever a hand-over makes the handlers do, it never ends the program.
  }
}

void TVornIntegration::PollClipboard() {
  try {
    if (!MonitorClipboard) return;
    const IClipboard& clipboard = Clipboard();
    if (!clipboard.HasText()) return;
    std::string text = clipboard.Text();
    const std::string_view address = AddressIn(text);
    if (address.empty() || text == m_lastAddress) return;
    // The extension is the address's own: in a sentence around the address, the words before it
    // would be taken for its server and those after it for part of its file name.
    const std::string ext = ExtractUrlFileExt(address);
    m_lastAddress = text;
    const bool listed = !ext.empty() && ClipboardFilter.find(ext) != std::string::npos;
    const bool accepted = (ClipboardUsage == ecbfAcceptOnly && listed) ||
                          (ClipboardUsage == ecbfDoNotAccept && !listed);
    if (accepted && OnClipboardLink) {
      OnClipboardLink(text, WhenAddSelTemplate, WhenAddStartDownload);
    }
  } catch (...) {
    // A failing tick is forgotten; the next one looks again.
  }
}

void TVornIntegration::UpdateBrowserEntries(TKeyStore& keys, const std::string& programFolder,
                                            const std::string& program) const {
  const std::string folder = programFolder + "/";
  try {
    if (IntegrateIE) {
      keys.WriteString(hkCurrentUser, kBrowserMenuKey, "", folder + "addurl.htm");
      keys.WriteString(hkCurrentUser, kBrowserMenuKey, "Service", folder);
      keys.WriteInteger(hkCurrentUser, kBrowserMenuKey, "contexts", 0xF3);
    } else {
      keys.DeleteKey(hkCurrentUser, kBrowserMenuKey);
    }
  } catch (...) {
  }
  try {
    if (IntegrateIE) {
      const std::pair<std::string_view, std::string> values[] = {
          {"ButtonText", "Tarnquill"},         {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
          {"Default Visible", "Yes"},          {"Exec", program},
          {"HotIcon", folder + "hoticon.ico"}, {"Icon", folder + "icon.ico"},
          {"MenuStatusBar", "Tarnquill"},      {"MenuText", "&Tarnquill"},
      };
      for (const auto& [name, value] : values) {
        keys.WriteString(hkLocalMachine, kBrowserButtonKey, name, value);
      }
    } else {
      keys.DeleteKey(hkLocalMachine, kBrowserButtonKey);
    }
  } catch (...) {
  }
}

void TVornIntegration::UpdateBrowserEntries() const {
  if (m_program.empty()) return;
  try {
    TKeyStore keys;
    UpdateBrowserEntries(keys, FolderOf(m_program), m_program);
    keys.Save();
  } catch (...) {
    // The options are saved without the browser entries.
  }
}

void TVornIntegration::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  MonitorClipboard = ReadFlag(ini, section, "FMonitorClipboard", false);
  ClipboardUsage = static_cast<TVornClipBoardFilter>(ReadByte(ini, section, "FClipboardUsage", 0));
  ClipboardFilter = ini.ReadString(section, "FClipboardFilter", "zip;arj;rar;mp3;mpeg;mpg");
  WhenAddSelTemplate = ReadFlag(ini, section, "FWhenAddSelTemplate", false);
  WhenAddStartDownload = ReadFlag(ini, section, "FWhenAddStartDownload", true);
  IntegrateIE = ReadFlag(ini, section, "FIntegrateIE", true);
}

void TVornIntegration::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteBool(section, "FMonitorClipboard", MonitorClipboard);
  ini.WriteInteger(section, "FClipboardUsage", ClipboardUsage);
  ini.WriteString(section, "FClipboardFilter", ClipboardFilter);
  ini.WriteBool(section, "FWhenAddSelTemplate", WhenAddSelTemplate);
  ini.WriteBool(section, "FWhenAddStartDownload", WhenAddStartDownload);
  ini.WriteBool(section, "FIntegrateIE", IntegrateIE);
}

}  // namespace tq
