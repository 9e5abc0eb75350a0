// Credential lookup, the login prompt hand-over to the interface thread, and the stored form.
#include "engine/passwords.h"

#include "foundation/main_loop.h"
#include "foundation/url.h"
#include "platform/dialog_service.h"

namespace tq {

TAuthorizations& TVornPasswords::ListFor(std::string_view url) {
  switch (GetUrlProtocol(url)) {
    case upHttps:
      return HTTPSAuth;
    case upFtp:
      return FTPAuth;
    case upHttp:
      break;
  }
  return HTTPAuth;
}

TAuthorization TVornPasswords::Current() const {
  std::lock_guard lock(m_mutex);
  return m_current;
}

void TVornPasswords::SetServerLogin(std::string_view url, const std::string& user,
                                    const std::string& password) {
  std::lock_guard lock(m_mutex);
  TAuthorizations& list = ListFor(url);
  const int index = list.IndexOfServer(url, false);
  TAuthorization& entry = index >= 0 ? list.Items(index) : list.Add();
  entry.Address = ExtractUrlServer(url);
  entry.User = user;
  entry.Password = password;
  entry.Enabled = true;
}

TAuthorization TVornPasswords::LookupCredentials(std::string_view url, bool promptAllowed,
                                                 const std::vector<std::string>* authParameters) {
  if (!promptAllowed) return Lookup(url, false, authParameters);
  // The prompt is a dialog, so the whole lookup moves to the interface thread; the copy is taken
  // there, before any later lookup can overwrite the shared current record.
  TAuthorization result;
  const std::string address(url);
  CallInInterface([&] { result = Lookup(address, true, authParameters); });
  return result;
}

TAuthorization TVornPasswords::Lookup(std::string_view url, bool promptAllowed,
                                      const std::vector<std::string>* authParameters) {
  std::unique_lock lock(m_mutex);
  if (!Enabled) {
    m_current = TAuthorization();
    return m_current;
  }
  TAuthorizations& list = ListFor(url);
  const int index = list.IndexOfServer(url, true);
  if (index >= 0) {
    m_current = list.Items(index);
    return m_current;
  }
  if (NewPassAction == eaUseDefault) {
    m_current = DefaultLogin;
    return m_current;
  }
  if (!promptAllowed) {
    m_current = TAuthorization();
    return m_current;
  }

  TLoginRequest request;
  request.Caption = ExtractUrlServer(url);
  if (authParameters != nullptr) request.Parameters = *authParameters;
  for (int i = 0; i < list.Count(); ++i) {
    request.KnownUsers.emplace_back(list.Items(i).User, list.Items(i).Password);
  }
  // The prompt runs a modal loop; a lookup started from inside it must not find us locked.
  lock.unlock();
  const TLoginAnswer answer = DialogService().PromptLogin(request);
  lock.lock();

  if (!answer.Accepted) {
    m_current.User.clear();
    m_current.Password.clear();
    return m_current;
  }
  m_current.User = answer.User;
  m_current.Password = answer.Password;
  m_current.Address = ExtractUrlServer(url);
  m_current.Enabled = true;
  if (answer.DoNotPrompt) NewPassAction = eaUseDefault;
  if (answer.SavePassword) ListFor(url).Add() = m_current;
  return m_current;
}

void TVornPasswords::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool) {
  std::lock_guard lock(m_mutex);
  NewPassAction = static_cast<TVornAuthAction>(ini.ReadInteger(section, "FNewPassAction", 0));
  AutoAdd = ini.ReadBool(section, "AutoAdd", false);
  Enabled = ini.ReadBool(section, "Enabled", true);
  DefaultLogin.Address = ini.ReadString(section, "FDefaultLoginAddress", "");
  DefaultLogin.Enabled = ini.ReadInteger(section, "FDefaultLoginEnabled", 0) == 1;
  DefaultLogin.Password = ini.ReadString(section, "FDefaultLoginPassword", "");
  DefaultLogin.User = ini.ReadString(section, "FDefaultLoginUser", "");
  HTMLAuth.LoadFromIni(ini, "FHTMLAuth");
  HTTPAuth.LoadFromIni(ini, "FHTTPAuth");
  HTTPSAuth.LoadFromIni(ini, "FHTTPSAuth");
  FTPAuth.LoadFromIni(ini, "FFTPAuth");
}

void TVornPasswords::SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool) const {
  std::lock_guard lock(m_mutex);
  ini.WriteInteger(section, "FNewPassAction", NewPassAction);
  ini.WriteBool(section, "AutoAdd", AutoAdd);
  ini.WriteBool(section, "Enabled", Enabled);
  ini.WriteString(section, "FDefaultLoginAddress", DefaultLogin.Address);
  ini.WriteInteger(section, "FDefaultLoginEnabled", DefaultLogin.Enabled ? 1 : 0);
  ini.WriteString(section, "FDefaultLoginPassword", DefaultLogin.Password);
  ini.WriteString(section, "FDefaultLoginUser", DefaultLogin.User);
  HTMLAuth.SaveToIni(ini, "FHTMLAuth");
  HTTPAuth.SaveToIni(ini, "FHTTPAuth");
  HTTPSAuth.SaveToIni(ini, "FHTTPSAuth");
  FTPAuth.SaveToIni(ini, "FFTPAuth");
}

}  // namespace tq
