// TContentStream: one stored content read in pieces, from the project archive, the spool or
// memory, so that a content of any size can be served or copied in bounded memory.
//
// Threads: a stream belongs to one thread at a time; it reads a version of the content that
// later writes, saves and rewrites do not change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tq {

class TContentStream {
 public:
  virtual ~TContentStream() = default;

  // The content's size in bytes.
  virtual uint64_t Size() const = 0;
  // Reads the next bytes into buffer, at most size; 0 only once every byte has come. Throws
  // EArchiveError when the content cannot be read or is damaged (a CRC mismatch is found when
  // the whole content was read from its start): a stream never ends short without saying so.
  virtual size_t Read(char* buffer, size_t size) = 0;
  // Passes over the next count bytes (fewer at the end), the same errors as Read.
  virtual void Skip(uint64_t count);
};

std::unique_ptr<TContentStream> MemoryContentStream(std::shared_ptr<const std::string> data);

}  // namespace tq
