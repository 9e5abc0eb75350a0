// Positioned reads of an archive file and the walk over its headers.
#include "storage/archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "formats/crc16.h"
#include "formats/lha_codec.h"
#include "storage/archive.h"

namespace tq::archive_detail {

TArchiveReader::TArchiveReader(const std::string& fileName)
    : TArchiveReader(fileName, TFd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC))) {}

TArchiveReader::TArchiveReader(const std::string& fileName, TFd fd)
    : m_fileName(fileName), m_fd(std::move(fd)) {
  struct stat st {};
  if (!m_fd.Valid() || ::fstat(m_fd.Get(), &st) != 0) {
    throw EArchiveError("Cannot open archive " + fileName);
  }
  m_size = static_cast<uint64_t>(st.st_size);
  m_mode = st.st_mode & 07777;
  m_identity = {static_cast<int64_t>(st.st_dev),
                static_cast<int64_t>(st.st_ino),
                st.st_size,
                st.st_mtim.tv_sec,
                st.st_mtim.tv_nsec,
                st.st_ctim.tv_sec,
                st.st_ctim.tv_nsec};
}

size_t TArchiveReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(m_fd.Get(), static_cast<char*>(buffer) + done, size - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EArchiveError("Cannot read archive " + m_fileName);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

std::string TArchiveReader::ReadExact(uint64_t offset, uint64_t size) const {
  std::string bytes(static_cast<size_t>(size), '\0');
  if (ReadAt(offset, bytes.data(), bytes.size()) != bytes.size()) {
    ThrowDamaged(*this, "data truncated");
  }
  return bytes;
}

void ThrowDamaged(const TArchiveReader& reader, const std::string& detail) {
  throw EArchiveError("Damaged archive " + reader.FileName() + ": " + detail);
}

std::vector<TEntry> ReadDirectory(const TArchiveReader& reader) {
  if (reader.Size() == 0) ThrowDamaged(reader, "the file is empty");
  std::vector<TEntry> entries;
  uint64_t pos = 0;
  for (;;) {
    // A file cut after a member holds whole members only, but not all of them.
    if (pos >= reader.Size()) ThrowDamaged(reader, "the end marker is missing (the file is cut)");
    unsigned char first = 0;
    reader.ReadAt(pos, &first, 1);
    if (first == 0) {
      if (pos + 1 != reader.Size()) ThrowDamaged(reader, "bytes follow the end marker");
      break;
    }
    TEntry entry;
    entry.offset = pos;
    entry.headerLength = LhaHeaderLength(first);
    std::string bytes(static_cast<size_t>(std::min(entry.headerLength, reader.Size() - pos)), '\0');
    bytes.resize(reader.ReadAt(pos, bytes.data(), bytes.size()));
    try {
      entry.header = DecodeLhaHeader(bytes);
    } catch (const ELhaError& e) {
      ThrowDamaged(reader, e.what());
    }
    const TLhaHeader& h = entry.header;
    if (h.packedSize > reader.Size() - entry.DataOffset()) {
      ThrowDamaged(reader, "member " + h.name + " runs past the end of the file");
    }
    if (h.method == kLhaStored && h.packedSize != h.originalSize) {
      ThrowDamaged(reader, "stored member " + h.name + " has two different sizes");
    }
    if (h.method == kLhaLh1 && h.originalSize > uint64_t{h.packedSize} * kLh1MaxExpansion + 64) {
      ThrowDamaged(reader, "member " + h.name + " announces more data than it can hold");
    }
    entries.push_back(std::move(entry));
    pos = entries.back().End();
  }
  return entries;
}

std::string ReadMember(const TArchiveReader& reader, const TEntry& entry, uint64_t maxSize) {
  const TLhaHeader& h = entry.header;
  if (h.originalSize > maxSize) {
    throw EArchiveError("Member " + h.name + " of " + reader.FileName() + " is larger than " +
                        std::to_string(maxSize) + " bytes");
  }
  std::string data = reader.ReadExact(entry.DataOffset(), h.packedSize);
  if (h.method == kLhaLh1) {
    try {
      data = Lh1Decode(data, h.originalSize);
    } catch (const ELhaError& e) {
      ThrowDamaged(reader, "member " + h.name + ": " + e.what());
    }
  }
  if (Crc16(data) != h.crc) ThrowDamaged(reader, "CRC mismatch in member " + h.name);
  return data;
}

}  // namespace tq::archive_detail
