// Stored contents read in pieces: from memory, or from an archive member, decoded as it is read.
#include "storage/content_stream.h"

#include <algorithm>
#include <cstring>

#include "formats/crc16.h"
#include "formats/lha_codec.h"
#include "storage/archive.h"
#include "storage/member_stream.h"

namespace tq {
namespace {

class TMemoryStream : public TContentStream {
 public:
  explicit TMemoryStream(std::shared_ptr<const std::string> data) : m_data(std::move(data)) {}
  uint64_t Size() const override { return m_data->size(); }
  size_t Read(char* buffer, size_t size) override {
    const size_t n = std::min(size, m_data->size() - m_pos);
    std::memcpy(buffer, m_data->data() + m_pos, n);
    m_pos += n;
    return n;
  }
  void Skip(uint64_t count) override {
    m_pos += static_cast<size_t>(std::min<uint64_t>(count, m_data->size() - m_pos));
  }

 private:
  std::shared_ptr<const std::string> m_data;
  size_t m_pos = 0;
};

// A stored member is read where it lies; a compressed one is decoded from its start, so a skip
// over it costs the decoding of what it skips.
class TMemberStream : public TContentStream {
 public:
  TMemberStream(std::shared_ptr<const archive_detail::TArchiveReader> reader,
                const archive_detail::TEntry& entry)
      : m_reader(std::move(reader)), m_entry(entry) {
    if (m_entry.header.method == kLhaLh1) {
      m_decoder = std::make_unique<TLh1Decoder>(m_entry.header.originalSize, [this](char* buffer,
                                                                                    size_t size) {
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(size, m_entry.header.packedSize - m_packedPos));
        const size_t got = m_reader->ReadAt(m_entry.DataOffset() + m_packedPos, buffer, n);
        m_packedPos += got;
        return got;
      });
    }
  }

  uint64_t Size() const override { return m_entry.header.originalSize; }

  size_t Read(char* buffer, size_t size) override {
    const uint64_t left = Size() - m_pos;
    if (left == 0) return 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, left));
    size_t got = 0;
    if (m_decoder) {
      try {
        got = m_decoder->Read(buffer, want);
      } catch (const ELhaError& e) {
        Damaged(e.what());
      }
    } else {
      got = m_reader->ReadAt(m_entry.DataOffset() + m_pos, buffer, want);
    }
    if (got < want) Damaged("data truncated");
    if (m_wholeFromStart) m_crc = Crc16Update(m_crc, buffer, got);
    m_pos += got;
    if (m_pos == Size() && m_wholeFromStart && m_crc != m_entry.header.crc) Damaged("CRC mismatch");
    return got;
  }

  void Skip(uint64_t count) override {
    if (m_decoder) return TContentStream::Skip(count);
    m_pos += std::min(count, Size() - m_pos);
    m_wholeFromStart = false;
  }

 private:
  [[noreturn]] void Damaged(const std::string& what) const {
    archive_detail::ThrowDamaged(*m_reader, "member " + m_entry.header.name + ": " + what);
  }

  std::shared_ptr<const archive_detail::TArchiveReader> m_reader;
  archive_detail::TEntry m_entry;
  std::unique_ptr<TLh1Decoder> m_decoder;
  uint64_t m_pos = 0;        // of the content
  uint64_t m_packedPos = 0;  // of the compressed data read so far
  bool m_wholeFromStart = true;
  uint16_t m_crc = 0;
};

}  // namespace

void TContentStream::Skip(uint64_t count) {
  char buffer[16 * 1024];
  while (count > 0) {
    const size_t got = Read(buffer, static_cast<size_t>(std::min<uint64_t>(count, sizeof buffer)));
    if (got == 0) return;
    count -= got;
  }
}

std::unique_ptr<TContentStream> MemoryContentStream(std::shared_ptr<const std::string> data) {
  return std::make_unique<TMemoryStream>(std::move(data));
}

std::unique_ptr<TContentStream> MemberContentStream(
    std::shared_ptr<const archive_detail::TArchiveReader> reader,
    const archive_detail::TEntry& entry) {
  return std::make_unique<TMemberStream>(std::move(reader), entry);
}

}  // namespace tq
