// Link lists with hash indexes. Each held link has a sequence number; the list index is the
// sequence number minus that of the front link, so deleting the front link renumbers nothing.
// Deleting elsewhere shifts the numbers of the links behind it, in the indexes too.
#include "engine/links.h"

#include <algorithm>

#include "foundation/canonical_url.h"
#include "foundation/errors.h"

namespace tq {
namespace {

// StripUrlQuery without a copy: the address up to its first "?" or "#".
std::string_view WithoutQuery(std::string_view url) {
  return url.substr(0, std::min(url.find('?'), url.find('#')));
}

[[noreturn]] void IndexError(int index) {
  throw EVornError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

TVornBaseLinks::~TVornBaseLinks() {
  for (size_t i = 0; i < m_items.size(); ++i) {
    TVornLink& link = *m_items[i].link;
    if (Holds(link, m_firstSeq + static_cast<int64_t>(i)))
      link.m_owner.store(nullptr, std::memory_order_release);
  }
}

bool TVornBaseLinks::Holds(const TVornLink& link, int64_t seq) const {
  // The owner is checked first: only then is m_seq ours to read. A link added to this list twice,
  // or on to another list, belongs to the entry it was added with last.
  return link.Owner() == this && link.m_seq == seq;
}

std::string_view TVornBaseLinks::KeyOf(const void* list, int64_t seq, int channel) {
  const auto& self = *static_cast<const TVornBaseLinks*>(list);
  const TEntry& entry = self.m_items[static_cast<size_t>(seq - self.m_firstSeq)];
  const std::string_view key = (channel & 1) == kMailRole ? entry.Mail() : entry.Url();
  return (channel >> 1) == kQueryLessFamily ? WithoutQuery(key) : key;
}

void TVornBaseLinks::IndexEntry(TEntry& entry, int64_t seq, bool newest) {
  std::array<std::string_view, TAddressIndex::kChannels> keys{};
  unsigned channels = 0;
  for (int role : {kUrlRole, kMailRole}) {
    const std::string_view key = role == kUrlRole ? entry.Url() : entry.Mail();
    if (key.empty()) continue;
    const int exact = kExactFamily * 2 + role;
    const int queryLess = kQueryLessFamily * 2 + role;
    // An address without a query has the same key, and hash, in both families.
    keys[exact] = key;
    keys[queryLess] = WithoutQuery(key);
    channels |= (1u << exact) | (1u << queryLess);
    entry.hashes[exact] = TAddressIndex::Hash(key);
    entry.hashes[queryLess] = keys[queryLess].size() == key.size()
                                  ? entry.hashes[exact]
                                  : TAddressIndex::Hash(keys[queryLess]);
    if (!newest) {
      m_index.Insert(seq, exact, key, entry.hashes[exact]);
      m_index.Insert(seq, queryLess, keys[queryLess], entry.hashes[queryLess]);
    }
  }
  if (newest && channels != 0) m_index.InsertLater(seq, channels, keys, entry.hashes);
}

// The index may still need the old keys while it unlinks them, so they are released last.
void TVornBaseLinks::UnindexEntry(TEntry& entry, int64_t seq) {
  for (int channel = 0; channel < TAddressIndex::kChannels; ++channel)
    m_index.Remove(seq, channel, entry.hashes[channel]);
  m_keys.Release(entry.keys, size_t{entry.urlSize} + entry.mailSize);
  entry.keys = {};
  entry.urlSize = entry.mailSize = 0;
}

void TVornBaseLinks::StoreKeys(TEntry& entry, std::string_view url, std::string_view mail) {
  if (url.size() + mail.size() > UINT32_MAX) throw EVornError("Invalid link or link deleted");
  entry.keys = m_keys.Store(url, mail);
  entry.urlSize = static_cast<uint32_t>(url.size());
  entry.mailSize = static_cast<uint32_t>(mail.size());
}

int64_t TVornBaseLinks::Append(TVornLinkPtr link) {
  // Computing the addresses here fills the link's caches before any reader can see the link,
  // and raises before the list changes.
  const std::string& url = link->UrlRef();
  const std::string& mail = link->MailRef();
  TEntry entry;
  StoreKeys(entry, url, mail);
  const int64_t seq = m_firstSeq + static_cast<int64_t>(m_items.size());
  link->m_owner.store(this, std::memory_order_release);
  link->m_seq = seq;
  entry.link = std::move(link);
  TEntry& placed = m_items.push_back(std::move(entry));
  m_index.PushBack();
  IndexEntry(placed, seq, true);
  m_count.store(static_cast<int>(m_items.size()), std::memory_order_release);
  return seq;
}

void TVornBaseLinks::Relink(TVornLink& link) {
  TEntry& entry = m_items[static_cast<size_t>(link.m_seq - m_firstSeq)];
  const std::string& url = link.UrlRef();
  const std::string& mail = link.MailRef();
  if (url == entry.Url() && mail == entry.Mail()) return;
  UnindexEntry(entry, link.m_seq);
  StoreKeys(entry, url, mail);
  IndexEntry(entry, link.m_seq, false);
}

int TVornBaseLinks::Add(TVornLinkPtr link) {
  if (!link) throw EVornError("Invalid link or link deleted");
  TVornWriteGuard guard(m_lock);
  TVornLinkPtr held = link;
  const int index = ToIndex(Append(std::move(link)));
  Adopted(*held);
  if (OnAdd) OnAdd(*this, held);
  return index;
}

void TVornBaseLinks::Delete(int index) {
  TVornWriteGuard guard(m_lock);
  if (index < 0 || index >= static_cast<int>(m_items.size())) IndexError(index);
  const int64_t seq = m_firstSeq + index;
  UnindexEntry(m_items[static_cast<size_t>(index)], seq);
  TVornLinkPtr link = std::move(m_items[static_cast<size_t>(index)].link);
  if (index == 0) {
    // Lists are mostly drained from the front: start loading the index slots and the link object
    // of the link a few places further on now, so that its own delete does not wait for memory.
    constexpr size_t kAhead = 4;
    if (m_items.size() > kAhead) {
      m_index.Prefetch(m_items[kAhead].hashes);
      const TVornLink* ahead = m_items[kAhead].link.get();
      __builtin_prefetch(&ahead->m_owner);  // read by Holds, and far from the object's start
    }
    m_items.pop_front();
    m_index.PopFront();
    ++m_firstSeq;
  } else {
    m_items.erase(static_cast<size_t>(index));
    m_index.Erase(seq);
    for (size_t i = static_cast<size_t>(index); i < m_items.size(); ++i) {
      TVornLink& later = *m_items[i].link;
      if (Holds(later, m_firstSeq + static_cast<int64_t>(i) + 1)) --later.m_seq;
    }
  }
  m_count.store(static_cast<int>(m_items.size()), std::memory_order_release);
  if (Holds(*link, seq)) link->m_owner.store(nullptr, std::memory_order_release);
  if (OnDelete) {
    try {
      OnDelete(*this, link);
    } catch (...) {
      // A failing delete hook must not leave the list half-changed; the link is gone already.
    }
  }
}

void TVornBaseLinks::Clear() {
  TVornWriteGuard guard(m_lock);
  while (!m_items.empty()) Delete(0);
}

void TVornBaseLinks::CopyFrom(TVornBaseLinks& other) {
  std::vector<TVornLinkPtr> copies;
  {
    TVornReadGuard guard(other.m_lock);
    copies.reserve(other.m_items.size());
    for (size_t i = 0; i < other.m_items.size(); ++i)
      copies.push_back(std::make_shared<TVornLink>(*other.m_items[i].link));
  }
  TVornWriteGuard guard(m_lock);
  for (auto& copy : copies) {
    TVornLinkPtr held = copy;
    Append(std::move(copy));
    if (OnAdd) {
      try {
        OnAdd(*this, held);
      } catch (...) {
        // One failing hook must not stop the rest of the copy.
      }
    }
  }
}

TVornLinkPtr TVornBaseLinks::Get(int index) const {
  TVornReadGuard guard(m_lock);
  if (index < 0 || index >= static_cast<int>(m_items.size())) IndexError(index);
  return m_items[static_cast<size_t>(index)].link;
}

int TVornBaseLinks::IndexOfUrl(TLinkKind kind, std::string_view url) const {
  const bool mail = kind == lkMail;
  std::string scratch;
  if (!mail) url = CanonicalUrlView(url, scratch);
  TVornReadGuard guard(m_lock);
  if (url.empty()) {
    // Empty addresses are not indexed; no caller asks for them in practice.
    for (size_t i = 0; i < m_items.size(); ++i) {
      if ((mail ? m_items[i].mailSize : m_items[i].urlSize) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  return ToIndex(m_index.First(url, kExactFamily, mail ? kMailRole : kUrlRole));
}

int TVornBaseLinks::FindUrl(int mode, std::string_view url) const {
  // Held links are keyed by their canonical addresses; mail addresses are their own.
  std::string scratch;
  url = CanonicalUrlView(url, scratch);
  TVornReadGuard guard(m_lock);
  if (mode != kFindExact) return ToIndex(m_index.First(WithoutQuery(url), kQueryLessFamily));
  return url.empty() ? -1 : ToIndex(m_index.First(url, kExactFamily));
}

void TVornLevelLinks::SetLevel(int32_t level) {
  TVornWriteGuard guard(Lock());
  m_level.store(level, std::memory_order_release);
  ForEachLocked([level](TVornLink& link) { link.Level = level; });
}

}  // namespace tq
