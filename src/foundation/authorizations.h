// Per-server credentials (user name and password for the server of an address), kept in the
// crawl settings and used by the transfers when a server asks for a login. Not thread-safe;
// crawl settings change only on the interface thread while no crawl runs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

struct TAuthorization {
  std::string Address;  // an address on the server the credentials are for
  std::string User;
  std::string Password;  // kept and stored as plain text
  bool Enabled = false;

  // Copies the four fields; nullptr clears them.
  void Assign(const TAuthorization* other);
};

// Persisted in a section of its own: "Count", then for each entry i "Auth<i>Address",
// "Auth<i>Enabled" (1 or 0), "Auth<i>Password" and "Auth<i>User".
class TAuthorizations {
 public:
  TAuthorizations() = default;
  TAuthorizations(const TAuthorizations&) = delete;
  TAuthorizations& operator=(const TAuthorizations&) = delete;

  // A new empty, disabled entry; the reference stays valid until it is deleted.
  TAuthorization& Add();
  // Index out of range throws std::out_of_range.
  TAuthorization& Items(int index);
  const TAuthorization& Items(int index) const;
  int Count() const { return static_cast<int>(m_items.size()); }
  void Delete(int index);
  void Clear() { m_items.clear(); }
  // Clears, then appends a copy of each entry of other.
  void Assign(const TAuthorizations& other);

  // The first entry whose address has the same server as url (scheme compared in lower case,
  // host and port exactly as written), skipping disabled entries when enabledOnly; -1 if none.
  int IndexOfServer(std::string_view url, bool enabledOnly) const;

  // Reads "Count" entries; an entry counts as enabled only when its flag is exactly 1.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  // Erases the section first, so keys of a longer earlier list never survive.
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;

 private:
  std::vector<std::unique_ptr<TAuthorization>> m_items;
};

}  // namespace tq
