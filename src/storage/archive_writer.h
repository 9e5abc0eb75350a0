// Writing a new version of the project archive: members packed in memory, members compressed
// while their file is read, and members copied from the old version, then the end marker and the
// rename over the old file. Used by the archive only.
//
// A writer belongs to one thread. PackMember is a pure function, safe on any thread, so members
// can be packed ahead on other threads and handed to the writer in order.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/file_system.h"
#include "storage/archive.h"
#include "storage/archive_reader.h"

namespace tq::archive_detail {

// Members of this size and more are compressed while they are read, and stored once an early
// stretch has not shrunk; smaller ones are packed whole in memory (in batches on every core).
inline constexpr uint64_t kStreamedMemberSize = 8 << 20;

// A member ready to be written: its header (parsed and encoded) and its body, compressed when
// that is smaller.
struct TPackedMember {
  TLhaHeader info;
  std::string header;
  std::string body;
};

// Throws EArchiveError when data is larger than a member can be or the name cannot be written.
TPackedMember PackMember(const std::string& name, std::string_view data, uint32_t timeStamp,
                         uint8_t attributes);

// Reads up to size bytes of a member's data at offset; fewer only at its end. Throws
// EArchiveError when the data cannot be read.
using TReadAt = TVornArchive::TReadAt;
TReadAt ReadFromFd(int fd, const std::string& name);
TReadAt ReadFromMemory(std::string_view data);

// Appending one member to a file, returning where it went. Every write failure raises
// EArchiveError with kArchiveWriteError and may leave part of the member written: the caller
// cuts the file back or throws it away.
TEntry AppendPacked(TWritableFile& file, const TPackedMember& member);
// Compresses the data readAt gives (size bytes expected) while it reads it; stores it instead
// when compression does not make it smaller, or, from kStreamedMemberSize on, has not after the
// first megabyte. Below that size it writes what PackMember makes of the same data.
TEntry AppendStreamed(TWritableFile& file, const std::string& name, const TReadAt& readAt,
                      uint64_t size, uint32_t timeStamp, uint8_t attributes);
// The member form of data exactly as a rewrite writes it: streamed from kStreamedMemberSize on,
// packed whole below.
TEntry AppendMember(TWritableFile& file, const std::string& name, std::string_view data,
                    uint32_t timeStamp, uint8_t attributes);

// The new archive, written beside the old one (extension ".$$$"). Until Commit succeeds the
// destructor removes it, so a failed rewrite leaves only the old archive behind. Every write
// failure raises EArchiveError with kArchiveWriteError.
class TArchiveWriter {
 public:
  // mode: the permissions of the file it replaces; durable: sync before the rename.
  TArchiveWriter(TFileSystem& fileSystem, std::string target, mode_t mode, bool durable);
  ~TArchiveWriter();
  TArchiveWriter(const TArchiveWriter&) = delete;
  TArchiveWriter& operator=(const TArchiveWriter&) = delete;

  void WriteMember(const TPackedMember& member);
  // See AppendStreamed.
  void StreamMember(const std::string& name, const TReadAt& readAt, uint64_t size,
                    uint32_t timeStamp, uint8_t attributes);
  // Copies bytes of the old archive unchanged.
  void Copy(const TArchiveReader& from, uint64_t offset, uint64_t size);
  // Ends the archive and puts it in the place of the old one.
  void Commit();

 private:
  TFileSystem& m_fileSystem;
  std::string m_target;
  std::string m_temp;
  bool m_durable;
  std::unique_ptr<TWritableFile> m_file;
  bool m_committed = false;
};

}  // namespace tq::archive_detail
