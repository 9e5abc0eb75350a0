// Dial-up connections as the system sees them: a phonebook of named connection entries that can
// be dialled and hung up. On this platform the entries are NetworkManager's profiles of the
// dial-up kinds (mobile broadband, PPPoE, Bluetooth, VPN), reached over D-Bus.
//
// Thread rules: every operation may be called from any thread; HangUpLast may run on one thread
// while Dial waits on another, and makes that Dial return with an error.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tq {

// The outcome of a dial-up operation: Code 0 is success, anything else an error told by Message.
struct TDialResult {
  int Code = 0;
  std::string Message;
};

class IDialUpService {
 public:
  virtual ~IDialUpService() = default;

  // The phonebook's entry names in the platform's order; empty when there is no phonebook.
  virtual std::vector<std::string> GetEntries() = 0;
  // How many phonebook connections are up or coming up.
  virtual int ActiveConnectionCount() = 0;
  // Brings entry up and waits until it is up or has failed. The connection this service dialled
  // before is hung up first. An entry the phonebook does not hold fails with the message
  // "GetEntryDialParams failed".
  virtual TDialResult Dial(const std::string& entry) = 0;
  // Stores a user name and password with the entry, replacing those it held.
  virtual TDialResult SetEntryCredentials(const std::string& entry, const std::string& user,
                                          const std::string& password) = 0;
  // Hangs up every phonebook connection / the connection this service dialled last.
  virtual void HangUpAll() = 0;
  virtual void HangUpLast() = 0;
};

// NetworkManager on the bus at busAddress (empty: the system bus). Where NetworkManager does not
// answer, the phonebook is empty and nothing is active.
std::unique_ptr<IDialUpService> NewNetworkManagerDialUp(const std::string& busAddress = {});

}  // namespace tq
