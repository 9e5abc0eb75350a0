// Reading the project archive's file: its member headers, checked against the file's size, and
// one member's data. Used by the archive and its writer only.
//
// A reader may be shared between threads: every read is positioned, so reads never interfere.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/lha_header.h"
#include "foundation/file_system.h"

namespace tq::archive_detail {

using TFileIdentity = std::array<int64_t, 7>;

struct TEntry {
  TLhaHeader header;
  uint64_t offset = 0;        // first header byte
  uint64_t headerLength = 0;  // header bytes; the data follows
  uint64_t DataOffset() const { return offset + headerLength; }
  uint64_t End() const { return DataOffset() + header.packedSize; }
};

// An archive opened for reading, with the size it had when opened: every size in a header is
// checked against it, so a hostile header cannot make us read or allocate past the file.
class TArchiveReader {
 public:
  // Throws EArchiveError when the file cannot be opened.
  explicit TArchiveReader(const std::string& fileName);
  // Reads the file open on fd (fileName only names it in messages); throws EArchiveError when fd
  // is not open.
  TArchiveReader(const std::string& fileName, TFd fd);

  uint64_t Size() const { return m_size; }
  mode_t Mode() const { return m_mode; }
  // Device, inode, size, modification and change times: what tells one version of the file from
  // another (the change time cannot be set back, so even a rewrite in place shows).
  const TFileIdentity& Identity() const { return m_identity; }
  const std::string& FileName() const { return m_fileName; }

  // Reads up to size bytes at offset; fewer only at the end of the file.
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) const;
  // Exactly size bytes at offset; throws EArchiveError when the file ends before.
  std::string ReadExact(uint64_t offset, uint64_t size) const;

 private:
  std::string m_fileName;
  TFd m_fd;
  uint64_t m_size = 0;
  mode_t m_mode = 0644;
  TFileIdentity m_identity{};
};

[[noreturn]] void ThrowDamaged(const TArchiveReader& reader, const std::string& detail);

// Walks the headers up to the end marker. An archive that ends after a member without it was
// cut short (a copy or a disk that stopped at a member's end) and is refused like any damaged
// archive, as are an empty file and bytes after the end marker (a file that merely starts with
// a 0 byte must never pass for an empty project).
std::vector<TEntry> ReadDirectory(const TArchiveReader& reader);

// The member's decompressed bytes, checked against its CRC; throws EArchiveError when they are
// damaged or the member is larger than maxSize (checked before anything is read).
std::string ReadMember(const TArchiveReader& reader, const TEntry& entry, uint64_t maxSize);

}  // namespace tq::archive_detail
