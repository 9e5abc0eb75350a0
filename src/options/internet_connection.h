// How the program presents itself on the network: the user-agent identity its HTTP requests
// send, whether the offline server answers other machines, and the SOCKS proxies of HTTP and FTP
// transfers.
//
// Thread rules: plain values, changed on the interface thread. The crawl engine reads them there
// when it sets up a transfer; the offline server reads AllowLocalConnectionOnly from its own
// threads, so that one is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/ini_file.h"

namespace tq {

// Ordinals are stored in the settings file; an ordinal outside the list (a hand-edited file, or
// an empty list choice stored as 255) is kept as read and gives an empty identity.
enum TVornAgentIdentifyType : uint8_t {
  EaitTARNQUILL,
  EaitOfflineExplorer,
  EaitWebDownloader,
  EaitNetscape30,
  EaitNetscape47,
  EaitNetscape60,
  EaitIE30,
  EaitIE40,
  Eait50,
  Eait60,
  EaitAnonymous,
  EaitCustom,
};

inline constexpr int kAgentIdentifyCount = 12;

// The identity string sent as the User-Agent value for a fixed identity, labels included; empty
// for EaitCustom and for ordinals outside the table.
std::string_view AgentIdentityString(TVornAgentIdentifyType type);
// The name the options dialog lists the identity under; empty where it lists none.
std::string_view AgentIdentityName(TVornAgentIdentifyType type);

// A Boolean that other threads may read while its owner changes it; it copies like a bool.
class TSharedBool : public std::atomic<bool> {
 public:
  using std::atomic<bool>::atomic;
  using std::atomic<bool>::operator=;
  TSharedBool(const TSharedBool& other) : std::atomic<bool>(other.load()) {}
  TSharedBool& operator=(const TSharedBool& other) {
    store(other.load());
    return *this;
  }
};

class TVornInternetConnection {
 public:
  bool UseMSIECookies = true;  // stored and edited only: transfers keep their own cookie store
  TSharedBool AllowLocalConnectionOnly{true};  // the offline server answers 127.0.0.1 only
  TVornAgentIdentifyType AgentIdentify = Eait50;
  std::string CustomAgentIdentify;  // sent as typed with EaitCustom

  // The User-Agent value of the current identity.
  std::string GetAgentString() const;

  // Keys FUseMSIECookies, FAllowLocalConnectionOnly, FAgentIdentify (low 8 bits),
  // FCustomAgentIdentify of the section.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

// Ordinals are stored; svNoSocks means a direct connection.
enum TSocksVersion : uint8_t { svNoSocks, svSocks4, svSocks4A, svSocks5 };

// A SOCKS proxy. No authentication method is ever requested: a SOCKS 5 proxy is offered only the
// method without authentication (Password is kept but never sent), a SOCKS 4 or 4A request
// carries User as its user id.
class TVornProxy {
 public:
  virtual ~TVornProxy() = default;

  // Keys FVersion (low 8 bits), FPort (1080 when missing), FAddress, FUser, FPassword.
  virtual void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  virtual void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;

  TSocksVersion Version = svNoSocks;
  int32_t Port = 0;
  std::string Address;
  std::string User;
  std::string Password;  // kept in plain text
};

class TVornProxyHTTP : public TVornProxy {};

class TVornProxyFTP : public TVornProxy {
 public:
  bool PasvMode = false;  // FTP data connections are opened by the client

  // FPasvMode, written before the keys every proxy has.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) override;
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const override;
};

}  // namespace tq
