// TVornBaseLinks: an ordered, locked list of shared links (index 0 is the oldest), with hooks
// that see every append and delete. TVornLevelLinks: the links found on one page, all of one
// depth level.
//
// Thread rules: Add, Delete, Clear and CopyFrom take the write lock; Get, IndexOfUrl, FindUrl and
// Contains the read lock; Count none. Callers may bracket several calls with BeginRead/EndRead or
// BeginWrite/EndWrite (re-entrant for the writing thread, reads allowed inside a write). OnAdd and
// OnDelete run inside the write lock, so a hook must not wait for another thread that needs this
// list. Set the hooks before other threads use the list.
//
// Look-ups by address do not scan: the list keeps a hash index of its links' absolute addresses
// and mail addresses, as they stand and without query, answering with the lowest index among
// equal keys. Adding, and taking the first link and deleting it, are O(1) amortised; deleting
// elsewhere is O(n).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/address_index.h"
#include "engine/key_arena.h"
#include "engine/link.h"
#include "engine/ring_buffer.h"
#include "foundation/rw_lock.h"

namespace tq {

// FindUrl modes; the project's recognition mode is passed where duplicates are looked for.
inline constexpr int kFindExact = 0;      // the address or mail address as it stands
inline constexpr int kFindQueryLess = 1;  // both sides compared without "?query" and "#fragment"

class TVornBaseLinks {
 public:
  using TLinksEvent = std::function<void(TVornBaseLinks& sender, const TVornLinkPtr& link)>;

  TVornBaseLinks() = default;
  // Releases the held links without calling OnDelete: a list being destroyed reports nothing.
  virtual ~TVornBaseLinks();
  TVornBaseLinks(const TVornBaseLinks&) = delete;
  TVornBaseLinks& operator=(const TVornBaseLinks&) = delete;

  // Appends link, makes this list its owner and calls OnAdd (whose errors reach the caller; the
  // link stays appended). Returns the new index. Raises EVornError when link is null. A link
  // belongs to one list at a time: delete it from its list first, or add a copy.
  int Add(TVornLinkPtr link);
  // Removes the link at index and hands it to OnDelete (whose errors are swallowed). The slot is
  // gone before the hook runs, so the hook sees the list without the link. Raises EVornError
  // when index is out of range.
  void Delete(int index);
  // Deletes from the front until the list is empty, each link through OnDelete.
  void Clear();
  // Appends a fresh copy of every link of other, in order, calling OnAdd for each (errors
  // swallowed). Other is read first and this list written afterwards, so two lists copying into
  // each other at once cannot deadlock; a list may copy itself.
  void CopyFrom(TVornBaseLinks& other);

  int Count() const { return m_count.load(std::memory_order_acquire); }
  // The link at index, still held by the list. Raises EVornError when index is out of range.
  TVornLinkPtr Get(int index) const;

  // The first link whose mail address (kind lkMail) or absolute address (any other kind) equals
  // url, an address compared in its canonical form; -1 when none.
  int IndexOfUrl(TLinkKind kind, std::string_view url) const;
  // The first link whose non-empty absolute or mail address equals url (kFindExact), or equals it
  // once both lose their query (kFindQueryLess, any non-zero mode); -1 when none. An address is
  // compared in its canonical form, whatever spelling url has.
  int FindUrl(int mode, std::string_view url) const;
  bool Contains(int mode, std::string_view url) const { return FindUrl(mode, url) >= 0; }

  void BeginRead() const { m_lock.BeginRead(); }
  void EndRead() const { m_lock.EndRead(); }
  void BeginWrite() { m_lock.BeginWrite(); }
  void EndWrite() { m_lock.EndWrite(); }
  TVornRWLock& Lock() const { return m_lock; }

  TLinksEvent OnAdd;
  TLinksEvent OnDelete;

  // Numbers the first link seq instead of 0, so tests reach numbers a long crawl would; only
  // while nothing was ever added.
  void TestOnlyStartAt(int64_t seq) {
    m_firstSeq = seq;
    m_index.TestOnlyStartAt(seq);
  }

 protected:
  // Called under the write lock after a link was appended by Add, before OnAdd.
  virtual void Adopted(TVornLink& /*link*/) {}

  // Visits every held link in order under the write lock.
  template <class Visit>
  void ForEachLocked(Visit&& visit) {
    TVornWriteGuard guard(m_lock);
    for (size_t i = 0; i < m_items.size(); ++i) visit(*m_items[i].link);
  }

 private:
  friend class TVornLink;

  struct TEntry {
    TVornLinkPtr link;
    TKeyArena::TKey keys;  // the list's copy of the keys the link is indexed under: url, mail
    uint32_t urlSize = 0;
    uint32_t mailSize = 0;
    std::array<uint64_t, TAddressIndex::kChannels> hashes{};  // of each channel's key
    std::string_view Url() const { return {keys.data, urlSize}; }
    std::string_view Mail() const { return {keys.data + urlSize, mailSize}; }
  };

  // Index channels of a position: family (as it stands, without query) * 2 + role.
  static constexpr int kUrlRole = 0;
  static constexpr int kMailRole = 1;
  static constexpr int kExactFamily = 0;
  static constexpr int kQueryLessFamily = 1;
  static std::string_view KeyOf(const void* list, int64_t seq, int channel);

  // Hashes the keys, then indexes them; those of the newest position may be indexed later.
  void IndexEntry(TEntry& entry, int64_t seq, bool newest);
  void UnindexEntry(TEntry& entry, int64_t seq);  // and releases its keys
  void StoreKeys(TEntry& entry, std::string_view url, std::string_view mail);
  int ToIndex(int64_t seq) const { return seq < 0 ? -1 : static_cast<int>(seq - m_firstSeq); }
  int64_t Append(TVornLinkPtr link);  // under the write lock
  void Relink(TVornLink& link);       // re-index a held link whose address may have changed
  bool Holds(const TVornLink& link, int64_t seq) const;  // link is owned through that entry

  mutable TVornRWLock m_lock;
  TRingBuffer<TEntry> m_items;
  TKeyArena m_keys;
  int64_t m_firstSeq = 0;  // sequence number of m_items.front(); index = seq - m_firstSeq
  std::atomic<int> m_count{0};
  TAddressIndex m_index{&KeyOf, this};  // non-empty addresses and mail addresses
};

// The links found on one page; every link added takes the list's level.
class TVornLevelLinks : public TVornBaseLinks {
 public:
  int32_t Level() const { return m_level.load(std::memory_order_acquire); }
  // Sets the level of the list and of every link it holds.
  void SetLevel(int32_t level);

 protected:
  void Adopted(TVornLink& link) override { link.Level = Level(); }

 private:
  std::atomic<int32_t> m_level{0};
};

}  // namespace tq
