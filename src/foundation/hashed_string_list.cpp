// String list with incrementally maintained line and name indexes.
#include "foundation/hashed_string_list.h"

#include <stdexcept>

#include "foundation/ansi.h"

namespace tq {

void TStringHash::Add(std::string key, TItem* item) {
  m_chains.emplace(std::move(key), item);
}

void TStringHash::Remove(const std::string& key, const TItem* item) {
  auto [first, last] = m_chains.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second == item) {
      m_chains.erase(it);
      return;
    }
  }
}

THashedStringList::~THashedStringList() = default;

const std::string& THashedStringList::Strings(int index) const {
  return m_items.at(static_cast<size_t>(index))->text;
}

TStringListObject* THashedStringList::Objects(int index) const {
  return m_items.at(static_cast<size_t>(index))->object.get();
}

std::string THashedStringList::Fold(std::string_view text) const {
  return m_caseSensitive ? std::string(text) : AnsiUpperCase(text);
}

std::string_view THashedStringList::NameOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

void THashedStringList::IndexItem(TStringHash::TItem* item) {
  if (m_valueHashBuilt) m_valueHash.Add(Fold(item->text), item);
  if (m_nameHashBuilt) {
    const auto name = NameOf(item->text);
    if (!name.empty()) m_nameHash.Add(Fold(name), item);
  }
}

void THashedStringList::UnindexItem(const TStringHash::TItem* item) {
  if (m_valueHashBuilt) m_valueHash.Remove(Fold(item->text), item);
  if (m_nameHashBuilt) {
    const auto name = NameOf(item->text);
    if (!name.empty()) m_nameHash.Remove(Fold(name), item);
  }
}

void THashedStringList::EnsureIndex(bool names) const {
  bool& built = names ? m_nameHashBuilt : m_valueHashBuilt;
  if (built) return;
  TStringHash& hash = names ? m_nameHash : m_valueHash;
  hash.Clear();
  for (const auto& item : m_items) {
    if (!names) {
      hash.Add(Fold(item->text), item.get());
    } else if (const auto name = NameOf(item->text); !name.empty()) {
      hash.Add(Fold(name), item.get());
    }
  }
  built = true;
}

int THashedStringList::PositionOf(const TStringHash::TItem* item) const {
  if (item->position >= m_validPositions) {
    for (size_t i = static_cast<size_t>(m_validPositions); i < m_items.size(); ++i) {
      m_items[i]->position = static_cast<int>(i);
    }
    m_validPositions = Count();
  }
  return item->position;
}

int THashedStringList::Find(const TStringHash& hash, const std::string& key) const {
  int best = -1;
  hash.ForEach(key, [&](const TStringHash::TItem* item) {
    const int pos = PositionOf(item);
    if (pos > best) best = pos;
  });
  return best;
}

bool THashedStringList::Same(std::string_view a, std::string_view b) const {
  return m_caseSensitive ? a == b : AnsiSameText(a, b);
}

int THashedStringList::IndexOf(std::string_view text) const {
  if (!m_valueHashBuilt && Count() <= kLinearSearchLimit) {
    for (int i = Count() - 1; i >= 0; --i) {
      if (Same(m_items[static_cast<size_t>(i)]->text, text)) return i;
    }
    return -1;
  }
  EnsureIndex(false);
  return Find(m_valueHash, Fold(text));
}

int THashedStringList::IndexOfName(std::string_view name) const {
  if (name.empty()) return -1;
  if (!m_nameHashBuilt && Count() <= kLinearSearchLimit) {
    for (int i = Count() - 1; i >= 0; --i) {
      if (Same(NameOf(m_items[static_cast<size_t>(i)]->text), name)) return i;
    }
    return -1;
  }
  EnsureIndex(true);
  return Find(m_nameHash, Fold(name));
}

void THashedStringList::ShiftedFrom(int index) {
  if (index < m_validPositions) m_validPositions = index;
}

int THashedStringList::Add(std::string text, std::unique_ptr<TStringListObject> object) {
  const int index = Count();
  Insert(index, std::move(text), std::move(object));
  return index;
}

void THashedStringList::Insert(int index, std::string text,
                               std::unique_ptr<TStringListObject> object) {
  if (index < 0 || index > Count()) throw std::out_of_range("string list index out of bounds");
  auto item = std::make_unique<TStringHash::TItem>();
  item->text = std::move(text);
  item->object = std::move(object);
  item->position = index;
  auto* raw = item.get();
  const bool atEnd = index == Count();
  m_items.insert(m_items.begin() + index, std::move(item));
  if (atEnd && m_validPositions == index) {
    ++m_validPositions;
  } else {
    ShiftedFrom(index);
  }
  IndexItem(raw);
}

void THashedStringList::Put(int index, std::string text) {
  auto* item = m_items.at(static_cast<size_t>(index)).get();
  UnindexItem(item);
  item->text = std::move(text);
  IndexItem(item);
}

void THashedStringList::Delete(int index) {
  const auto at = static_cast<size_t>(index);
  if (index < 0 || at >= m_items.size()) {
    throw std::out_of_range("string list index out of bounds");
  }
  UnindexItem(m_items[at].get());
  m_items.erase(m_items.begin() + index);
  ShiftedFrom(index);
}

void THashedStringList::Clear() {
  m_valueHash.Clear();
  m_nameHash.Clear();
  m_items.clear();
  m_validPositions = 0;
}

std::string THashedStringList::Names(int index) const {
  return std::string(NameOf(Strings(index)));
}

std::string THashedStringList::ValueFromIndex(int index) const {
  const std::string& line = Strings(index);
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

void THashedStringList::SetCaseSensitive(bool value) {
  if (value == m_caseSensitive) return;
  m_caseSensitive = value;
  m_valueHash.Clear();
  m_nameHash.Clear();
  m_valueHashBuilt = false;
  m_nameHashBuilt = false;
}

}  // namespace tq
