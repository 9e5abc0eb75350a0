// The user-agent identity table, and how the connection and proxy options are stored.
#include "options/internet_connection.h"

#include <array>

#include "options/ini_values.h"

namespace tq {
namespace {

struct TIdentity {
  std::string_view Agent;
  std::string_view Name;
};

// Servers see these strings exactly, labels and the "2.X" included; the dialog names of rows 1
// and 2 carry other version numbers than the strings, and both are kept as users know them.
constexpr std::array<TIdentity, kAgentIdentifyCount> kIdentities = {{
    {"Tarnquill: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Tarnquill/2.X",
     "Tarnquill"},
    {"Offline Explorer : Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) "
     "OfflineExplorer/2.0",
     "Offline Explorer 2.6"},
    {"Web Downloader : Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) "
     "WebDownloader/2.0",
     "Web Downloader 3.0"},
    {"Netscape: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Netscape/3.0",
     "Netscape Navigator 3.0"},
    {"Netscape: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Netscape/4.7",
     "Netscape Comunicator 4.7"},
    {"Netscape: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.1) Gecko/20020823 "
     "Netscape/6.0",
     "Netscape 6.0"},
    {"IE: Mozilla/4.0 (compatible; MSIE 3.0; Windows NT 5.1; .NET CLR 1.0.3705)",
     "Microsoft Internet Explorer 3.0"},
    {"IE: Mozilla/4.0 (compatible; MSIE 4.0; Windows NT 5.1; .NET CLR 1.0.3705)",
     "Microsoft Internet Explorer 4.0"},
    {"IE: Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.1; .NET CLR 1.0.3705)",
     "Microsoft Internet Explorer 5.0"},
    {"IE: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.0.3705)",
     "Microsoft Internet Explorer 6.0"},
    {"Anonymous", "Anonymous"},
    {"", ""},  // EaitCustom: the user's own text
}};

}  // namespace

std::string_view AgentIdentityString(TVornAgentIdentifyType type) {
  return type < kAgentIdentifyCount ? kIdentities[type].Agent : std::string_view();
}

std::string_view AgentIdentityName(TVornAgentIdentifyType type) {
  return type < kAgentIdentifyCount ? kIdentities[type].Name : std::string_view();
}

std::string TVornInternetConnection::GetAgentString() const {
  if (AgentIdentify == EaitCustom) return CustomAgentIdentify;
  return std::string(AgentIdentityString(AgentIdentify));
}

void TVornInternetConnection::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  UseMSIECookies = ReadFlag(ini, section, "FUseMSIECookies", true);
  AllowLocalConnectionOnly = ReadFlag(ini, section, "FAllowLocalConnectionOnly", true);
  AgentIdentify =
      static_cast<TVornAgentIdentifyType>(ReadByte(ini, section, "FAgentIdentify", Eait50));
  CustomAgentIdentify = ini.ReadString(section, "FCustomAgentIdentify", "");
}

void TVornInternetConnection::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteBool(section, "FUseMSIECookies", UseMSIECookies);
  ini.WriteBool(section, "FAllowLocalConnectionOnly", AllowLocalConnectionOnly);
  ini.WriteInteger(section, "FAgentIdentify", AgentIdentify);
  ini.WriteString(section, "FCustomAgentIdentify", CustomAgentIdentify);
}

void TVornProxy::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  Version = static_cast<TSocksVersion>(ReadByte(ini, section, "FVersion", svNoSocks));
  Port = ini.ReadInteger(section, "FPort", 1080);
  Address = ini.ReadString(section, "FAddress", "");
  User = ini.ReadString(section, "FUser", "");
  Password = ini.ReadString(section, "FPassword", "");
}

void TVornProxy::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteInteger(section, "FVersion", Version);
  ini.WriteInteger(section, "FPort", Port);
  ini.WriteString(section, "FAddress", Address);
  ini.WriteString(section, "FUser", User);
  ini.WriteString(section, "FPassword", Password);
}

void TVornProxyFTP::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  PasvMode = ReadFlag(ini, section, "FPasvMode", false);
  TVornProxy::LoadFromIni(ini, section);
}

void TVornProxyFTP::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteBool(section, "FPasvMode", PasvMode);
  TVornProxy::SaveToIni(ini, section);
}

}  // namespace tq
