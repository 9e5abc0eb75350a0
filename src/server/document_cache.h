// The documents the offline server read last, kept while the project document has not changed
// since: content that lives in the project archive is decompressed on every read, which would
// otherwise cost more than everything else a request does.
//
// Threads: any; one mutex guards the cache for a moment per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tq {

struct TCachedDocument {
  std::string ContentType;
  std::string Content;
};

class TDocumentCache {
 public:
  explicit TDocumentCache(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

  // The document read for address while the document's change count was changeCount; null when
  // it is not kept or was read at another count.
  std::shared_ptr<const TCachedDocument> Find(const std::string& address, uint64_t changeCount);
  // Keeps a document read at changeCount (taken before reading), dropping the least recently
  // used ones to stay within the byte budget. Documents above a quarter of it are not kept.
  void Keep(const std::string& address, uint64_t changeCount,
            std::shared_ptr<const TCachedDocument> document);
  void Clear();

 private:
  struct TSlot {
    std::string Address;
    uint64_t ChangeCount;
    std::shared_ptr<const TCachedDocument> Document;
  };
  using TList = std::list<TSlot>;

  void Drop(TList::iterator slot);

  const std::size_t m_maxBytes;
  std::mutex m_lock;
  TList m_slots;  // most recently used first
  std::unordered_map<std::string_view, TList::iterator> m_byAddress;
  std::size_t m_bytes = 0;
};

}  // namespace tq
