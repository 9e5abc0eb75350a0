// TVornZipWriter: a standard ZIP file written member by member in bounded memory. Each member is
// deflated (zlib, default level) when it is added and parked in an unnamed spool file beside the
// archive; Close hands the compressed members to libzip, which writes the archive to a temporary
// file beside the destination, copying the members without compressing them again, and the file
// is renamed over the old one once it is complete and synced. Every file goes through the file
// system given, so a full disk anywhere leaves the old file as it was. An archive closed with no
// member is an empty archive, never a missing file.
//
// Threads: one thread at a time per writer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "foundation/file_system.h"

struct zip;

namespace tq {

class TVornZipWriter {
 public:
  explicit TVornZipWriter(TFileSystem& fileSystem = RealFileSystem());
  // Discards an archive that was opened and not closed: the old file stays.
  ~TVornZipWriter();
  TVornZipWriter(const TVornZipWriter&) = delete;
  TVornZipWriter& operator=(const TVornZipWriter&) = delete;

  // Starts a new archive that replaces fileName when closed. False (see Error) when the archive
  // or its spool file cannot be made.
  bool Open(const std::string& fileName);
  // Adds a member named name ("/"-separated, UTF-8) holding data. False when it cannot be
  // spooled or the name is taken; the archive stays usable.
  bool Add(const std::string& name, std::string_view data);
  // Writes the archive (with no member: an empty one) and puts it in the place of the file.
  // False when that fails; the old file stays and the members are kept, so Close may be tried
  // again.
  bool Close();
  // Forgets the archive being made; the old file stays.
  void Discard();
  // Members added since Open.
  size_t Count() const { return m_count; }

  // The last failure's description.
  const std::string& Error() const { return m_error; }

 private:
  struct TMember {
    uint64_t Offset = 0;  // in the spool file
    uint64_t CompressedSize = 0;
    uint64_t Size = 0;
    uint32_t Crc = 0;
  };
  struct TSource;
  struct TTarget;

  bool Deflate(std::string_view data, TMember& member);
  void Fail(const std::string& what);

  TFileSystem& m_fileSystem;
  std::string m_fileName;
  zip* m_archive = nullptr;
  std::unique_ptr<TWritableFile> m_spool;
  TFd m_spoolRead;  // the spool, read back by libzip
  size_t m_count = 0;
  z_stream m_zlib{};
  bool m_zlibReady = false;
  std::string m_deflated;  // one member's compressed bytes
  int64_t m_time = 0;      // the members' modification time
  std::string m_error;
};

}  // namespace tq
