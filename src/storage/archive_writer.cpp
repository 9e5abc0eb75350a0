// The new archive file: members written whole, streamed from files, or copied.
#include "storage/archive_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "formats/crc16.h"
#include "formats/lha_codec.h"
#include "storage/archive.h"

namespace tq::archive_detail {
namespace {

constexpr size_t kCopyBuffer = 64 * 1024;
// How much of a streamed member is compressed before an unpromising one is stored instead.
constexpr uint64_t kGiveUpAfter = 1 << 20;

[[noreturn]] void ThrowWriteError() {
  throw EArchiveError(std::string(kArchiveWriteError));
}

std::string TempNameOf(const std::string& fileName) {
  return std::filesystem::path(fileName).replace_extension(".$$$").string();
}

std::string EncodeHeader(const TLhaHeader& header) {
  try {
    return EncodeLhaHeader(header);
  } catch (const ELhaError& e) {
    throw EArchiveError(std::string("Cannot add member: ") + e.what());
  }
}

void Write(TWritableFile& file, std::string_view data) {
  if (!file.Append(data)) ThrowWriteError();
}

}  // namespace

TPackedMember PackMember(const std::string& name, std::string_view data, uint32_t timeStamp,
                         uint8_t attributes) {
  if (data.size() > kMaxMemberSize) {
    throw EArchiveError("Member " + name + " is too large for an archive member");
  }
  TLhaHeader header;
  header.name = name;
  header.originalSize = static_cast<uint32_t>(data.size());
  header.timeStamp = timeStamp;
  header.attributes = attributes;
  header.crc = Crc16(data);
  TPackedMember member;
  header.method = std::string(kLhaStored);
  if (Lh1Encode(data, member.body, data.size())) {
    header.method = std::string(kLhaLh1);
  } else {
    member.body.assign(data);
  }
  header.packedSize = static_cast<uint32_t>(member.body.size());
  member.header = EncodeHeader(header);
  member.info = std::move(header);
  return member;
}

TReadAt ReadFromFd(int fd, const std::string& name) {
  return [fd, name](uint64_t offset, char* buffer, size_t size) {
    for (;;) {
      const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) throw EArchiveError("Cannot read the file of member " + name);
    }
  };
}

TReadAt ReadFromMemory(std::string_view data) {
  return [data](uint64_t offset, char* buffer, size_t size) {
    if (offset >= data.size()) return size_t{0};
    return data.copy(buffer, size, static_cast<size_t>(offset));
  };
}

TEntry AppendPacked(TWritableFile& file, const TPackedMember& member) {
  TEntry entry{member.info, file.Size(), member.header.size()};
  Write(file, member.header);
  Write(file, member.body);
  return entry;
}

TEntry AppendStreamed(TWritableFile& file, const std::string& name, const TReadAt& readAt,
                      uint64_t size, uint32_t timeStamp, uint8_t attributes) {
  if (size > kMaxMemberSize) {
    throw EArchiveError("Member " + name + " is too large for an archive member");
  }
  // The header goes first with its sizes and CRC unknown and is completed after the data.
  TLhaHeader header;
  header.method = std::string(kLhaLh1);
  header.name = name;
  header.timeStamp = timeStamp;
  header.attributes = attributes;
  const uint64_t headerAt = file.Size();
  Write(file, EncodeHeader(header));
  const uint64_t dataAt = file.Size();

  std::string buffer(kCopyBuffer, '\0');
  std::string packed;
  TLh1Encoder encoder;
  uint16_t crc = 0;
  uint64_t read = 0;
  bool compressed = true;
  for (size_t n; compressed && (n = readAt(read, buffer.data(), buffer.size())) > 0;) {
    read += n;
    crc = Crc16Update(crc, buffer.data(), n);
    encoder.Write(std::string_view(buffer.data(), n), packed);
    Write(file, packed);
    packed.clear();
    // Large files are mostly media and archives that never get smaller: once a first stretch
    // has not, the rest is stored rather than compressed in vain. Smaller members keep the
    // choice of a member packed whole, so that the two ways give the same bytes.
    const uint64_t out = file.Size() - dataAt;
    compressed = out < size && (size < kStreamedMemberSize || read < kGiveUpAfter || out < read);
  }
  if (compressed) {
    encoder.Finish(packed);
    Write(file, packed);
    compressed = file.Size() - dataAt < read;
  }
  if (!compressed) {
    // Stored instead: the data is read again from its start.
    if (!file.Truncate(dataAt)) ThrowWriteError();
    header.method = std::string(kLhaStored);
    crc = 0;
    read = 0;
    for (size_t n; (n = readAt(read, buffer.data(), buffer.size())) > 0;) {
      read += n;
      crc = Crc16Update(crc, buffer.data(), n);
      Write(file, std::string_view(buffer.data(), n));
    }
  }
  // A file may have grown while it was read; what was read is the member.
  if (read > kMaxMemberSize) {
    throw EArchiveError("Member " + name + " is too large for an archive member");
  }
  header.originalSize = static_cast<uint32_t>(read);
  header.packedSize = static_cast<uint32_t>(file.Size() - dataAt);
  header.crc = crc;
  const std::string encoded = EncodeHeader(header);
  if (!file.WriteAt(headerAt, encoded)) ThrowWriteError();
  return TEntry{std::move(header), headerAt, encoded.size()};
}

TEntry AppendMember(TWritableFile& file, const std::string& name, std::string_view data,
                    uint32_t timeStamp, uint8_t attributes) {
  if (data.size() >= kStreamedMemberSize) {
    return AppendStreamed(file, name, ReadFromMemory(data), data.size(), timeStamp, attributes);
  }
  return AppendPacked(file, PackMember(name, data, timeStamp, attributes));
}

TArchiveWriter::TArchiveWriter(TFileSystem& fileSystem, std::string target, mode_t mode,
                               bool durable)
    : m_fileSystem(fileSystem),
      m_target(std::move(target)),
      m_temp(TempNameOf(m_target)),
      m_durable(durable) {
  // What a crash left behind goes first; the file is then made new, never opened through a
  // link someone planted under its name.
  m_fileSystem.Remove(m_temp);
  m_file = m_fileSystem.CreateFile(m_temp, 0644);
  if (!m_file) ThrowWriteError();
  m_file->SetMode(mode);  // keep the old archive's permissions; best effort
}

TArchiveWriter::~TArchiveWriter() {
  if (!m_committed && m_file) {
    m_file->Close();
    m_fileSystem.Remove(m_temp);
  }
}

void TArchiveWriter::WriteMember(const TPackedMember& member) {
  AppendPacked(*m_file, member);
}

void TArchiveWriter::StreamMember(const std::string& name, const TReadAt& readAt, uint64_t size,
                                  uint32_t timeStamp, uint8_t attributes) {
  AppendStreamed(*m_file, name, readAt, size, timeStamp, attributes);
}

void TArchiveWriter::Copy(const TArchiveReader& from, uint64_t offset, uint64_t size) {
  std::string buffer(static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, size)), '\0');
  while (size > 0) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size));
    if (from.ReadAt(offset, buffer.data(), chunk) != chunk) ThrowDamaged(from, "data truncated");
    Write(*m_file, std::string_view(buffer.data(), chunk));
    offset += chunk;
    size -= chunk;
  }
}

void TArchiveWriter::Commit() {
  Write(*m_file, std::string_view("\0", 1));
  if ((m_durable && !m_file->Sync()) || !m_file->Close()) ThrowWriteError();
  if (!m_fileSystem.Rename(m_temp, m_target)) ThrowWriteError();
  m_committed = true;
  // Make the rename itself durable; a folder that cannot be synced is not an error.
  if (m_durable) m_fileSystem.SyncFolder(FolderOf(m_target));
}

}  // namespace tq::archive_detail
