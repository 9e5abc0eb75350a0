// Per-server credential lists and their persisted form.
#include "foundation/authorizations.h"

#include <algorithm>
#include <stdexcept>

#include "foundation/ansi.h"
#include "foundation/url.h"

namespace tq {
namespace {

std::string EntryKey(int index, const char* field) {
  return "Auth" + std::to_string(index) + field;
}

// One more than the highest entry number that any "Auth<i>..." key of the section names, so a
// damaged "Count" cannot make loading create millions of empty entries. Lists written here
// always hold all four keys of every entry, so for them this never cuts anything.
int EntriesWithKeys(const TVornCustomIniFile& ini, std::string_view section) {
  std::vector<std::string> names;
  ini.ReadSection(section, names);
  int highest = -1;
  for (const auto& name : names) {
    if (name.size() < 5 || !AnsiStartsText("AUTH", name)) continue;
    long long number = 0;
    size_t pos = 4;
    for (; pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && number < (1 << 30); ++pos) {
      number = number * 10 + (name[pos] - '0');
    }
    if (pos > 4 && number < (1 << 30)) highest = std::max(highest, static_cast<int>(number));
  }
  return highest + 1;
}

}  // namespace

void TAuthorization::Assign(const TAuthorization* other) {
  if (other == nullptr) {
    *this = TAuthorization();
  } else {
    *this = *other;
  }
}

TAuthorization& TAuthorizations::Add() {
  m_items.push_back(std::make_unique<TAuthorization>());
  return *m_items.back();
}

TAuthorization& TAuthorizations::Items(int index) {
  return *m_items.at(static_cast<size_t>(index));
}

const TAuthorization& TAuthorizations::Items(int index) const {
  return *m_items.at(static_cast<size_t>(index));
}

void TAuthorizations::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("credential list index out of bounds");
  m_items.erase(m_items.begin() + index);
}

void TAuthorizations::Assign(const TAuthorizations& other) {
  if (&other == this) return;
  Clear();
  for (const auto& item : other.m_items) Add().Assign(item.get());
}

int TAuthorizations::IndexOfServer(std::string_view url, bool enabledOnly) const {
  const std::string server = ExtractUrlServer(url);
  for (int i = 0; i < Count(); ++i) {
    const auto& item = *m_items[static_cast<size_t>(i)];
    if (ExtractUrlServer(item.Address) == server && (!enabledOnly || item.Enabled)) return i;
  }
  return -1;
}

void TAuthorizations::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section) {
  Clear();
  const int count = std::min(ini.ReadInteger(section, "Count", 0), EntriesWithKeys(ini, section));
  for (int i = 0; i < count; ++i) {
    auto& item = Add();
    item.Address = ini.ReadString(section, EntryKey(i, "Address"), "");
    item.Enabled = ini.ReadInteger(section, EntryKey(i, "Enabled"), 0) == 1;
    item.Password = ini.ReadString(section, EntryKey(i, "Password"), "");
    item.User = ini.ReadString(section, EntryKey(i, "User"), "");
  }
}

void TAuthorizations::SaveToIni(TVornCustomIniFile& ini, std::string_view section) const {
  // A hand-edited file may hold the section twice; erasing only the later one would let the
  // earlier one's keys show through.
  while (ini.SectionExists(section)) ini.EraseSection(section);
  ini.WriteInteger(section, "Count", Count());
  for (int i = 0; i < Count(); ++i) {
    const auto& item = *m_items[static_cast<size_t>(i)];
    ini.WriteString(section, EntryKey(i, "Address"), item.Address);
    ini.WriteInteger(section, EntryKey(i, "Enabled"), item.Enabled ? 1 : 0);
    ini.WriteString(section, EntryKey(i, "Password"), item.Password);
    ini.WriteString(section, EntryKey(i, "User"), item.User);
  }
}

}  // namespace tq
