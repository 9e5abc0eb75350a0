// Link lists with hash indexes. Each held link has a sequence number; the list index is the
// sequence number minus that of the front link, so deleting the front link renumbers nothing.
// Deleting elsewhere shifts the numbers of the links behind it, in the indexes too.
#include "engine/links.h"

#include <algorithm>

#include "foundation/errors.h"

namespace tq {
namespace {

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

void TVornBaseLinks::Insert(TIndex& index, std::string_view key, int64_t seq) {
  auto it = index.find(key);
  if (it == index.end()) it = index.emplace(std::string(key), TSeqs{}).first;
  auto& seqs = it->second.seqs;
  // Appends carry the highest number; only a re-indexed link lands in the middle.
  if (seqs.empty() || seqs.back() < seq)
    seqs.push_back(seq);
  else
    seqs.insert(std::lower_bound(seqs.begin() + it->second.head, seqs.end(), seq), seq);
}

void TVornBaseLinks::Remove(TIndex& index, std::string_view key, int64_t seq) {
  auto it = index.find(key);
  if (it == index.end()) return;
  TSeqs& group = it->second;
  if (group.seqs[group.head] == seq) {
    ++group.head;
  } else {
    auto pos = std::lower_bound(group.seqs.begin() + group.head, group.seqs.end(), seq);
    if (pos == group.seqs.end() || *pos != seq) return;
    group.seqs.erase(pos);
  }
  if (group.head == group.seqs.size()) {
    index.erase(it);
  } else if (group.head >= 16 && group.head * 2 >= group.seqs.size()) {
    group.seqs.erase(group.seqs.begin(), group.seqs.begin() + group.head);
    group.head = 0;
  }
}

void TVornBaseLinks::Renumber(TIndex& index, std::string_view key, int64_t seq) {
  auto it = index.find(key);
  if (it == index.end()) return;
  auto& group = it->second;
  auto pos = std::lower_bound(group.seqs.begin() + group.head, group.seqs.end(), seq);
  // The number below seq is free (its link was just deleted), so the order stays ascending.
  if (pos != group.seqs.end() && *pos == seq) --*pos;
}

int64_t TVornBaseLinks::First(const TIndex& index, std::string_view key) {
  auto it = index.find(key);
  return it == index.end() ? -1 : it->second.seqs[it->second.head];
}

void TVornBaseLinks::IndexEntry(const TEntry& entry, int64_t seq) {
  if (!entry.url.empty()) Insert(m_byUrl, entry.url, seq);
  if (!entry.mail.empty()) Insert(m_byMail, entry.mail, seq);
  const std::string url = entry.url.empty() ? std::string() : StripUrlQuery(entry.url);
  const std::string mail = entry.mail.empty() ? std::string() : StripUrlQuery(entry.mail);
  if (!entry.url.empty()) Insert(m_byQueryLess, url, seq);
  if (!entry.mail.empty() && (entry.url.empty() || mail != url)) Insert(m_byQueryLess, mail, seq);
}

void TVornBaseLinks::UnindexEntry(const TEntry& entry, int64_t seq) {
  if (!entry.url.empty()) Remove(m_byUrl, entry.url, seq);
  if (!entry.mail.empty()) Remove(m_byMail, entry.mail, seq);
  const std::string url = entry.url.empty() ? std::string() : StripUrlQuery(entry.url);
  const std::string mail = entry.mail.empty() ? std::string() : StripUrlQuery(entry.mail);
  if (!entry.url.empty()) Remove(m_byQueryLess, url, seq);
  if (!entry.mail.empty() && (entry.url.empty() || mail != url)) Remove(m_byQueryLess, mail, seq);
}

int64_t TVornBaseLinks::Append(TVornLinkPtr link) {
  TEntry entry{std::move(link), {}, {}};
  // Computing the addresses here fills the link's caches before any reader can see the link.
  entry.url = entry.link->GetUrl();
  entry.mail = entry.link->GetMailAddress();
  const int64_t seq = m_firstSeq + static_cast<int64_t>(m_items.size());
  entry.link->m_owner.store(this, std::memory_order_release);
  entry.link->m_seq = seq;
  IndexEntry(entry, seq);
  m_items.push_back(std::move(entry));
  m_count.store(static_cast<int>(m_items.size()), std::memory_order_release);
  return seq;
}

void TVornBaseLinks::Relink(TVornLink& link) {
  TEntry& entry = m_items[static_cast<size_t>(link.m_seq - m_firstSeq)];
  std::string url = link.GetUrl();
  std::string mail = link.GetMailAddress();
  if (url == entry.url && mail == entry.mail) return;
  UnindexEntry(entry, link.m_seq);
  entry.url = std::move(url);
  entry.mail = std::move(mail);
  IndexEntry(entry, link.m_seq);
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
  TEntry& entry = m_items[static_cast<size_t>(index)];
  UnindexEntry(entry, seq);
  TVornLinkPtr link = std::move(entry.link);
  if (index == 0) {
    m_items.pop_front();
    ++m_firstSeq;
  } else {
    m_items.erase(m_items.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < m_items.size(); ++i) {
      TEntry& later = m_items[i];
      const int64_t old = m_firstSeq + static_cast<int64_t>(i) + 1;
      if (!later.url.empty()) Renumber(m_byUrl, later.url, old);
      if (!later.mail.empty()) Renumber(m_byMail, later.mail, old);
      const std::string url = later.url.empty() ? std::string() : StripUrlQuery(later.url);
      const std::string mail = later.mail.empty() ? std::string() : StripUrlQuery(later.mail);
      if (!later.url.empty()) Renumber(m_byQueryLess, url, old);
      if (!later.mail.empty() && (later.url.empty() || mail != url))
        Renumber(m_byQueryLess, mail, old);
      if (Holds(*later.link, old)) later.link->m_seq = old - 1;
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
    for (const auto& entry : other.m_items)
      copies.push_back(std::make_shared<TVornLink>(*entry.link));
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
  TVornReadGuard guard(m_lock);
  const bool mail = kind == lkMail;
  if (url.empty()) {
    // Empty addresses are not indexed; no caller asks for them in practice.
    for (size_t i = 0; i < m_items.size(); ++i) {
      if ((mail ? m_items[i].mail : m_items[i].url).empty()) return static_cast<int>(i);
    }
    return -1;
  }
  return ToIndex(First(mail ? m_byMail : m_byUrl, url));
}

int TVornBaseLinks::FindUrl(int mode, std::string_view url) const {
  TVornReadGuard guard(m_lock);
  if (mode != kFindExact) return ToIndex(First(m_byQueryLess, StripUrlQuery(url)));
  if (url.empty()) return -1;
  const int64_t byUrl = First(m_byUrl, url);
  const int64_t byMail = First(m_byMail, url);
  if (byUrl < 0) return ToIndex(byMail);
  if (byMail < 0) return ToIndex(byUrl);
  return ToIndex(std::min(byUrl, byMail));
}

void TVornLevelLinks::SetLevel(int32_t level) {
  TVornWriteGuard guard(Lock());
  m_level.store(level, std::memory_order_release);
  ForEachLocked([level](TVornLink& link) { link.Level = level; });
}

}  // namespace tq
