// How the dial-up options are stored.
#include "options/internet_dial.h"

#include "options/ini_values.h"

namespace tq {

void TVornInternetDial::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  Enabled = ReadFlag(ini, section, "FEnabled", false);
  Connection = ini.ReadString(section, "FConnection", "");
  Username = ini.ReadString(section, "FUsername", "");
  Password = ini.ReadString(section, "FPassword", "");
  RetryBrokenConnection = ReadByte(ini, section, "FRetryBroken", 99);
  IntervalBetweenRetries = ini.ReadInteger(section, "FInterval", 10);
}

void TVornInternetDial::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  ini.WriteBool(section, "FEnabled", Enabled);
  ini.WriteString(section, "FConnection", Connection);
  ini.WriteString(section, "FUsername", Username);
  ini.WriteString(section, "FPassword", Password);
  ini.WriteInteger(section, "FRetryBroken", RetryBrokenConnection);
  ini.WriteInteger(section, "FInterval", IntervalBetweenRetries);
}

}  // namespace tq
