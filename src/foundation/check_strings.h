// Keyword lists with a check mark per keyword: the include and exclude keywords of the crawl
// rules and the extension lists of the file filters. Not thread-safe; crawl settings change only
// on the interface thread while no crawl runs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

struct TCheckString {
  std::string Value;
  bool Checked = true;
};

// Persisted in a section under two keys named after an owner's prefix P: P + "FilterValues"
// holds every value followed by the byte 0xA4, P + "FilterChecked" a "1" or "0" per item, each
// followed by 0xA4.
class TCheckStrings {
 public:
  static constexpr char kSeparator = '\xA4';

  TCheckStrings() = default;
  // Copying goes through Assign, which keeps only the values; say so where it happens.
  TCheckStrings(const TCheckStrings&) = delete;
  TCheckStrings& operator=(const TCheckStrings&) = delete;
  TCheckStrings(TCheckStrings&&) = default;
  TCheckStrings& operator=(TCheckStrings&&) = default;

  // A new checked item with an empty value; the reference stays valid until it is deleted.
  TCheckString& Add();
  // Index out of range throws std::out_of_range.
  TCheckString& Items(int index);
  const TCheckString& Items(int index) const;
  int Count() const { return static_cast<int>(m_items.size()); }
  void Delete(int index);
  void Clear() { m_items.clear(); }

  // Every value followed by ";".
  std::string Text() const;
  // Replaces the list by one checked item per ";"-separated part; a trailing ";" adds no empty
  // item, two adjacent ones add an empty item between them.
  void SetText(std::string_view text);
  // Copies the values through Text, so every copied item comes out checked.
  void Assign(const TCheckStrings& other) { SetText(other.Text()); }

  // Values and flags are paired in order; parts beyond the shorter list are dropped, and an
  // item is checked exactly when its flag is "1".
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                   std::string_view prefix);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, std::string_view prefix) const;

 private:
  std::vector<std::unique_ptr<TCheckString>> m_items;
};

// Splits at separator: a trailing separator gives no empty last part, adjacent ones give an
// empty part between them, and an empty text gives no part.
std::vector<std::string> SplitListText(std::string_view text, char separator);

}  // namespace tq
