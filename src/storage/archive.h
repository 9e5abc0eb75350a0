// The project archive: an LHA file of level-0 members ("-lh1-" or stored) ending in one 0 byte.
// Member names are file names upper-cased and are looked up without regard to case. Every change
// writes a complete new archive beside the old one (extension ".$$$") and renames it over the
// old one, so the old archive stays intact until the new one is complete.
//
// Not thread-safe: one thread at a time per object and per archive file (the project document
// serialises its jobs). Every operation opens the file itself; members are read one at a time
// and copied with a bounded buffer, so archives of any size are handled in bounded memory (plus
// one member). The member headers are kept between calls and read again when the file changes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/errors.h"

namespace tq {

namespace archive_detail {
class TArchiveReader;
}

// A damaged archive, a CRC mismatch, an unreadable source file or a failed write. The message
// names the archive (and member) and what is wrong.
class EArchiveError : public EVornError {
 public:
  explicit EArchiveError(const std::string& message) : EVornError(message) {}
};

// The message of every write failure while the archive is being rewritten.
inline constexpr std::string_view kArchiveWriteError = "Disk protected or full during compression";

class TVornArchive {
 public:
  using TFileAdded = std::function<void(const std::string& path)>;

  explicit TVornArchive(std::string fileName);
  ~TVornArchive();

  const std::string& FileName() const { return m_fileName; }

  // Member names in archive order; empty when the file does not exist. Throws EArchiveError when
  // a header is damaged.
  std::vector<std::string> List() const;

  // Whether a member of that name (any letter case, folder part ignored) exists.
  bool Contains(std::string_view name) const;

  // Compresses each existing file as a member named after it (a missing file is skipped),
  // replacing members of the same names, and calls onFileAdded with the path after each file
  // that was added. The new members come first, in list order. Creates a missing archive.
  void AddFiles(const std::vector<std::string>& paths, const TFileAdded& onFileAdded = {});

  // Compresses data as the member name, replacing a member of that name.
  void AddStream(std::string_view name, std::string_view data);

  // The decompressed bytes of a member; throws EArchiveError when there is no such member, the
  // archive is damaged or the data does not match its CRC.
  std::string ExtractToStream(std::string_view name) const;

  // Removes the named members; names the archive does not hold are ignored.
  void Delete(const std::vector<std::string>& names);

  // The member name for a file path or name: its last path component, upper-cased.
  static std::string MemberName(std::string_view pathOrName);

 private:
  struct TNewMember;
  struct TDirectory;
  // The headers of the version of the file that reader has open, read again only when the file
  // changed (another device, inode, size, modification or change time).
  const TDirectory& DirectoryOf(const archive_detail::TArchiveReader& reader) const;
  void Rewrite(const std::vector<TNewMember>& added, const std::vector<std::string>& removed,
               const TFileAdded& onFileAdded);

  std::string m_fileName;
  mutable std::shared_ptr<const TDirectory> m_directory;
};

}  // namespace tq
