// The credentials a project sends to servers that ask for a login: one list per protocol, a
// default login, and what to do for a server without an entry (use the default or ask the user).
//
// Thread rules: settings change on the interface thread between crawls. LookupCredentials may
// be called from any thread; with a prompt allowed the lookup runs on the interface thread while
// the caller waits, so the caller must not hold a lock the interface thread may take.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/authorizations.h"
#include "foundation/ini_file.h"

namespace tq {

enum TVornAuthAction : uint8_t { eaUseDefault, eaPrompt };

class TVornPasswords {
 public:
  TVornPasswords() = default;
  TVornPasswords(const TVornPasswords&) = delete;
  TVornPasswords& operator=(const TVornPasswords&) = delete;

  TAuthorizations HTMLAuth;  // stored, not used by the crawl
  TAuthorizations HTTPAuth;
  TAuthorizations HTTPSAuth;
  TAuthorizations FTPAuth;
  TAuthorization DefaultLogin;
  TVornAuthAction NewPassAction = eaPrompt;
  bool AutoAdd = false;  // stored, not consulted
  bool Enabled = true;   // false: no credentials are ever sent

  // The credentials for url's server, as a copy the caller keeps. Disabled: empty credentials.
  // With promptAllowed and NewPassAction eaPrompt, a server without an entry makes the login
  // prompt appear on the interface thread, titled with the server; authParameters (the server's
  // request lines, may be null) are shown with it. Cancelling gives an empty user and password.
  TAuthorization LookupCredentials(std::string_view url, bool promptAllowed,
                                   const std::vector<std::string>* authParameters = nullptr);
  // The result of the last lookup.
  TAuthorization Current() const;
  // Makes user and password the login for url's server alone (in the list of url's protocol,
  // replacing an entry for the same server), so a lookup sends them there without asking.
  void SetServerLogin(std::string_view url, const std::string& user, const std::string& password);

  // Also writes the four lists, each in a section of its own, erased first.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;

 private:
  TAuthorizations& ListFor(std::string_view url);
  TAuthorization Lookup(std::string_view url, bool promptAllowed,
                        const std::vector<std::string>* authParameters);

  // Guards m_current and the lists against lookups on two threads; never held while the
  // prompt is shown.
  mutable std::mutex m_mutex;
  TAuthorization m_current;
};

}  // namespace tq
