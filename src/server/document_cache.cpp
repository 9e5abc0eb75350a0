// The cache of served documents: a list in order of use and a map into it.
#include "server/document_cache.h"

#include <utility>

namespace tq {
namespace {

std::size_t SizeOf(const TCachedDocument& document) {
  return document.ContentType.size() + document.Content.size();
}

}  // namespace

std::shared_ptr<const TCachedDocument> TDocumentCache::Find(const std::string& address,
                                                            uint64_t changeCount) {
  std::lock_guard hold(m_lock);
  auto it = m_byAddress.find(address);
  if (it == m_byAddress.end()) return nullptr;
  if (it->second->ChangeCount != changeCount) {
    Drop(it->second);
    return nullptr;
  }
  m_slots.splice(m_slots.begin(), m_slots, it->second);
  return it->second->Document;
}

void TDocumentCache::Keep(const std::string& address, uint64_t changeCount,
                          std::shared_ptr<const TCachedDocument> document) {
  const std::size_t size = SizeOf(*document);
  if (size > m_maxBytes / 4) return;
  std::lock_guard hold(m_lock);
  if (auto it = m_byAddress.find(address); it != m_byAddress.end()) Drop(it->second);
  while (!m_slots.empty() && m_bytes + size > m_maxBytes) Drop(std::prev(m_slots.end()));
  m_slots.push_front({address, changeCount, std::move(document)});
  m_byAddress.emplace(m_slots.front().Address, m_slots.begin());
  m_bytes += size;
}

void TDocumentCache::Clear() {
  std::lock_guard hold(m_lock);
  m_byAddress.clear();
  m_slots.clear();
  m_bytes = 0;
}

void TDocumentCache::Drop(TList::iterator slot) {
  m_bytes -= SizeOf(*slot->Document);
  m_byAddress.erase(slot->Address);
  m_slots.erase(slot);
}

}  // namespace tq
