// A string list with hash indexes over whole lines and over names (the text before the first
// "="), the building block of the in-memory settings store. Not thread-safe: one owner at a time.
//
// When two items share a line or a name, lookups answer with the later one (the higher index).
// Each index is built on its first lookup and from then on kept up to date item by item, so a
// list that is changed and searched alternately never rebuilds anything proportional to its size.
// Short lists (most sections hold a handful of keys) are searched from the end without an index.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tq {

// Base of the objects a string list can own beside its lines.
class TStringListObject {
 public:
  virtual ~TStringListObject() = default;
};

class THashedStringList;

// Maps a folded key to the items that carry it. A key usually has one item; several only when
// the list holds duplicates, and then the list picks the one with the highest index.
class TStringHash {
 public:
  struct TItem;
  void Add(std::string key, TItem* item);
  void Remove(const std::string& key, const TItem* item);
  void Clear() { m_chains.clear(); }
  // Calls visit(item) for every item stored under key.
  template <class Visit>
  void ForEach(const std::string& key, Visit&& visit) const {
    auto [first, last] = m_chains.equal_range(key);
    for (auto it = first; it != last; ++it) visit(it->second);
  }

 private:
  std::unordered_multimap<std::string, TItem*> m_chains;
};

class THashedStringList : public TStringListObject {
 public:
  explicit THashedStringList(bool caseSensitive = false) : m_caseSensitive(caseSensitive) {}
  THashedStringList(const THashedStringList&) = delete;
  THashedStringList& operator=(const THashedStringList&) = delete;
  ~THashedStringList() override;

  int Count() const { return static_cast<int>(m_items.size()); }
  // Index checks are the caller's duty; an index out of range throws std::out_of_range.
  const std::string& Strings(int index) const;
  void Put(int index, std::string text);
  // The object owned by item index, or nullptr.
  TStringListObject* Objects(int index) const;

  int Add(std::string text, std::unique_ptr<TStringListObject> object = nullptr);
  void Insert(int index, std::string text, std::unique_ptr<TStringListObject> object = nullptr);
  // Removes the item and frees its object.
  void Delete(int index);
  void Clear();

  // The index of the last item equal to text / whose name is name, or -1. An empty name is
  // never found: lines without "=" and lines starting with "=" have no name to look up.
  int IndexOf(std::string_view text) const;
  int IndexOfName(std::string_view name) const;

  // Text before the first "=", empty when the line has none.
  std::string Names(int index) const;
  // Text after the first "=", empty when the line has none.
  std::string ValueFromIndex(int index) const;

  bool CaseSensitive() const { return m_caseSensitive; }
  // Changing the case rule drops both indexes; the next lookup rebuilds the one it needs.
  void SetCaseSensitive(bool value);

 private:
  static constexpr int kLinearSearchLimit = 12;

  std::string Fold(std::string_view text) const;
  bool Same(std::string_view a, std::string_view b) const;
  static std::string_view NameOf(std::string_view line);
  void IndexItem(TStringHash::TItem* item);
  void UnindexItem(const TStringHash::TItem* item);
  void EnsureIndex(bool names) const;
  int PositionOf(const TStringHash::TItem* item) const;
  int Find(const TStringHash& hash, const std::string& key) const;
  void ShiftedFrom(int index);

  bool m_caseSensitive;
  std::vector<std::unique_ptr<TStringHash::TItem>> m_items;
  // Items below m_validPositions know their index; the rest are renumbered on demand, so a
  // delete or insert in the middle costs one pass over the tail at the next lookup at most.
  mutable int m_validPositions = 0;
  mutable TStringHash m_valueHash;
  mutable TStringHash m_nameHash;
  mutable bool m_valueHashBuilt = false;
  mutable bool m_nameHashBuilt = false;
};

struct TStringHash::TItem {
  std::string text;
  std::unique_ptr<TStringListObject> object;
  int position = 0;
};

}  // namespace tq
