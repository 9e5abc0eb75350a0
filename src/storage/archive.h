// The project archive: an LHA file of level-0 members ("-lh1-" or stored) ending in one 0 byte.
// Member names are file names upper-cased and are looked up without regard to case. Every change
// writes a complete new archive beside the old one (extension ".$$$") and renames it over the
// old one, so the old archive stays intact until the new one is complete.
//
// Not thread-safe: one thread at a time per object and per archive file (the project document
// serialises its jobs); a TMember it hands out may be read on any thread. Every operation opens
// the file itself; large members are compressed as they are read and copied with a bounded
// buffer, so archives of any size are written in bounded memory (reading gives one whole member).
// The member headers are kept between calls and read again when the file changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/errors.h"
#include "foundation/file_system.h"
#include "storage/content_stream.h"

namespace tq {

namespace archive_detail {
class TArchiveReader;
struct TEntry;
}  // namespace archive_detail

// A damaged archive, a CRC mismatch, an unreadable source file or a failed write. The message
// names the archive (and member) and what is wrong.
class EArchiveError : public EVornError {
 public:
  explicit EArchiveError(const std::string& message) : EVornError(message) {}
};

// The message of every write failure while the archive is being rewritten.
inline constexpr std::string_view kArchiveWriteError = "Disk protected or full during compression";
// Level-0 headers count sizes in 32 bits: no member can hold more.
inline constexpr uint64_t kMaxMemberSize = UINT32_MAX;

class TVornArchive {
 public:
  using TFileAdded = std::function<void(const std::string& path)>;
  // Told the index of a source in its list once its member is written.
  using TSourceAdded = std::function<void(size_t source)>;

  // Reads up to size bytes of a member's content at offset; fewer only at its end.
  using TReadAt = std::function<size_t(uint64_t offset, char* buffer, size_t size)>;

  // What to add as one member: the content of the file at path; or a member already in member
  // form (header and data), the packedLength bytes at packedAt of packedFrom, copied as they
  // are; or the dataSize bytes readAt gives, compressed as they are read, for content never held
  // whole (read from its start on, and once more when it ends up stored); or else data (which
  // the caller keeps alive during the call). The last two take the time stamp and attributes
  // given and make the same member.
  struct TSource {
    std::string name;  // member name; empty: the file name of path (never for a packed member)
    std::string path;
    std::string_view data;
    uint32_t timeStamp = 0;  // MS-DOS date and time, for data and readAt
    uint8_t attributes = 0;  // MS-DOS attributes, for data and readAt
    TReadAt readAt = nullptr;
    uint64_t dataSize = 0;  // for readAt
    std::shared_ptr<const archive_detail::TArchiveReader> packedFrom = nullptr;
    uint64_t packedAt = 0;
    uint64_t packedLength = 0;
  };

  // A member as it was when opened: it stays readable, on any thread, even after the archive
  // has been rewritten or removed.
  class TMember {
   public:
    TMember(std::shared_ptr<const archive_detail::TArchiveReader> reader,
            const archive_detail::TEntry& entry);
    ~TMember();
    TMember(TMember&&) noexcept;
    TMember& operator=(TMember&&) noexcept;
    // The decompressed bytes; throws EArchiveError when the data is damaged, does not match its
    // CRC, or would be larger than maxSize.
    std::string Extract(uint64_t maxSize = kMaxMemberSize) const;
    // The content in pieces (see TContentStream).
    std::unique_ptr<TContentStream> Stream() const;

   private:
    std::shared_ptr<const archive_detail::TArchiveReader> m_reader;
    std::unique_ptr<archive_detail::TEntry> m_entry;
  };

  // When durable is false the file is not synced after a rewrite: for a working copy that no
  // crash recovery reads.
  explicit TVornArchive(std::string fileName, TFileSystem& fileSystem = RealFileSystem(),
                        bool durable = true);
  ~TVornArchive();

  const std::string& FileName() const { return m_fileName; }

  // Member names in archive order; empty when the file does not exist. Throws EArchiveError when
  // the file is not an archive: a header is damaged, the file is empty, or bytes follow the end
  // marker.
  std::vector<std::string> List() const;

  // Whether a member of that name (any letter case, folder part ignored) exists.
  bool Contains(std::string_view name) const;

  // Opens the named member for reading; nothing when the archive holds no such member (or does
  // not exist). Throws EArchiveError when the archive is damaged.
  std::optional<TMember> OpenMember(std::string_view name) const;

  // Compresses each existing file as a member named after it (a missing file is skipped),
  // replacing members of the same names, and calls onFileAdded with the path after each file
  // that was added. The new members come first, in list order. Creates a missing archive.
  // A file over kMaxMemberSize fails the whole add.
  void AddFiles(const std::vector<std::string>& paths, const TFileAdded& onFileAdded = {});

  // Compresses data as the member name, replacing a member of that name.
  void AddStream(std::string_view name, std::string_view data);

  // AddFiles and AddStream in one rewrite: members from files and from memory, in list order;
  // the members named in removed (that no source adds again) go in the same rewrite.
  void Add(const std::vector<TSource>& sources, const TSourceAdded& onAdded = {},
           const std::vector<std::string>& removed = {});

  // The decompressed bytes of a member; throws EArchiveError when there is no such member, the
  // archive is damaged, the data does not match its CRC or the member is larger than maxSize.
  std::string ExtractToStream(std::string_view name, uint64_t maxSize = kMaxMemberSize) const;

  // Removes the named members; names the archive does not hold are ignored.
  void Delete(const std::vector<std::string>& names);

  // The member name for a file path or name: its last path component, upper-cased.
  static std::string MemberName(std::string_view pathOrName);

 private:
  struct TDirectory;
  // The headers of the version of the file that reader has open, read again only when the file
  // changed (another device, inode, size, modification or change time).
  const TDirectory& DirectoryOf(const archive_detail::TArchiveReader& reader) const;
  void Rewrite(const std::vector<TSource>& added, const std::vector<std::string>& removed,
               const TSourceAdded& onAdded);

  std::string m_fileName;
  TFileSystem& m_fileSystem;
  bool m_durable;
  mutable std::shared_ptr<const TDirectory> m_directory;
};

}  // namespace tq
