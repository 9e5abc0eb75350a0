// A stored content as the body of an answer: its first piece read at once, the rest streamed a
// piece at a time (see THttpBodyStream), and the part a Range field asks for.
//
// Threads: a body belongs to one thread at a time, as the listener hands it on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/http_listener.h"
#include "storage/content_stream.h"

namespace tq {

// The bytes a Range field asks for, first to last inclusive.
struct TByteRange {
  uint64_t First = 0;
  uint64_t Last = 0;
};

// What a Range field asks of a content of size bytes: nothing (no field, a field that is not one
// range of bytes, or several ranges: the whole content answers), a range (cut to the content), or
// a range that lies wholly past the end (Satisfiable false).
struct TRangeRequest {
  std::optional<TByteRange> Range;
  bool Satisfiable = true;
};
TRangeRequest ParseRangeField(std::string_view field, uint64_t size);

// The rest of a content: count bytes from where content stands.
class TStoredBodyStream : public THttpBodyStream {
 public:
  TStoredBodyStream(std::unique_ptr<TContentStream> content, uint64_t count)
      : m_content(std::move(content)), m_left(count) {}
  uint64_t Left() const override { return m_left; }
  // Raises EArchiveError when the content cannot be read, or ends before it said it would.
  void Next(std::string& out, std::size_t max) override;

 private:
  std::unique_ptr<TContentStream> m_content;
  uint64_t m_left;
};

// An answer of type contentType holding content whole or, with a Range field, the part it asks
// for (206 with Content-Range, or 416 when no byte of it exists), with Accept-Ranges: bytes. The
// first piece is read here, so a content that cannot be read at all raises before any answer.
THttpResponse StoredContentAnswer(std::string contentType, std::unique_ptr<TContentStream> content,
                                  std::string_view rangeField);

}  // namespace tq
