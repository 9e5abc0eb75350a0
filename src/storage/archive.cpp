// The project archive over POSIX files: headers are walked with positioned reads, members are
// copied between archives with a bounded buffer, and a new archive is made durable (fsync of the
// file, rename, fsync of the folder) before it replaces the old one.
#include "storage/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "formats/crc16.h"
#include "formats/lha_codec.h"
#include "formats/lha_header.h"
#include "foundation/ansi.h"

namespace tq {
namespace {

constexpr size_t kCopyBuffer = 64 * 1024;

[[noreturn]] void ThrowWriteError() {
  throw EArchiveError(std::string(kArchiveWriteError));
}

class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : m_fd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Close(); }
  int Get() const { return m_fd; }
  void Reset(int fd) {
    Close();
    m_fd = fd;
  }
  int Close() {
    const int result = m_fd >= 0 ? ::close(m_fd) : 0;
    m_fd = -1;
    return result;
  }

 private:
  int m_fd = -1;
};

}  // namespace

namespace archive_detail {

using TFileIdentity = std::array<int64_t, 7>;

// An archive opened for reading, with the size it had when opened: every size in a header is
// checked against it, so a hostile header cannot make us read or allocate past the file.
class TArchiveReader {
 public:
  explicit TArchiveReader(const std::string& fileName) : m_fileName(fileName) {
    m_fd.Reset(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (m_fd.Get() < 0 || ::fstat(m_fd.Get(), &st) != 0) {
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

  uint64_t Size() const { return m_size; }
  mode_t Mode() const { return m_mode; }
  // Device, inode, size, modification and change times: what tells one version of the file from
  // another (the change time cannot be set back, so even a rewrite in place shows).
  const TFileIdentity& Identity() const { return m_identity; }
  const std::string& FileName() const { return m_fileName; }

  // Reads up to size bytes at offset; fewer only at the end of the file.
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) const {
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

  std::string ReadExact(uint64_t offset, uint64_t size) const {
    std::string bytes(static_cast<size_t>(size), '\0');
    if (ReadAt(offset, bytes.data(), bytes.size()) != bytes.size()) {
      throw EArchiveError("Damaged archive " + m_fileName + ": data truncated");
    }
    return bytes;
  }

 private:
  std::string m_fileName;
  TFd m_fd;
  uint64_t m_size = 0;
  mode_t m_mode = 0644;
  TFileIdentity m_identity{};
};

}  // namespace archive_detail

namespace {

using archive_detail::TArchiveReader;
using archive_detail::TFileIdentity;

struct TEntry {
  TLhaHeader header;
  uint64_t offset = 0;        // first header byte
  uint64_t headerLength = 0;  // header bytes; the data follows
  uint64_t End() const { return offset + headerLength + header.packedSize; }
};

[[noreturn]] void ThrowDamaged(const TArchiveReader& reader, const std::string& detail) {
  throw EArchiveError("Damaged archive " + reader.FileName() + ": " + detail);
}

// Walks the headers up to the end marker (an archive that simply ends after a member is
// accepted, as other LHA readers do).
std::vector<TEntry> ReadDirectory(const TArchiveReader& reader) {
  std::vector<TEntry> entries;
  uint64_t pos = 0;
  while (pos < reader.Size()) {
    unsigned char first = 0;
    reader.ReadAt(pos, &first, 1);
    if (first == 0) break;
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
    const uint64_t dataOffset = pos + entry.headerLength;
    if (h.packedSize > reader.Size() - dataOffset) {
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

std::string TempNameOf(const std::string& fileName) {
  return std::filesystem::path(fileName).replace_extension(".$$$").string();
}

// A member ready to be written: its header and its body, compressed when that is smaller.
struct TPackedMember {
  std::string header;
  std::string body;
};

TPackedMember PackMember(const std::string& name, std::string_view data, uint32_t timeStamp,
                         uint8_t attributes) {
  if (data.size() > UINT32_MAX) {
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
  try {
    member.header = EncodeLhaHeader(header);
  } catch (const ELhaError& e) {
    throw EArchiveError(std::string("Cannot add member: ") + e.what());
  }
  return member;
}

// The new archive being written beside the old one. Until Commit succeeds the destructor
// removes it, so a failed rewrite leaves only the old archive behind.
class TArchiveWriter {
 public:
  TArchiveWriter(std::string target, mode_t mode)
      : m_target(std::move(target)), m_temp(TempNameOf(m_target)) {
    m_fd.Reset(::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (m_fd.Get() < 0) ThrowWriteError();
    ::fchmod(m_fd.Get(), mode);  // keep the old archive's permissions; best effort
  }
  TArchiveWriter(const TArchiveWriter&) = delete;
  TArchiveWriter& operator=(const TArchiveWriter&) = delete;

  ~TArchiveWriter() {
    if (!m_committed) {
      m_fd.Close();
      ::unlink(m_temp.c_str());
    }
  }

  void Write(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(m_fd.Get(), p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ThrowWriteError();
      p += n;
      size -= static_cast<size_t>(n);
    }
  }

  void WriteMember(const TPackedMember& member) {
    Write(member.header.data(), member.header.size());
    Write(member.body.data(), member.body.size());
  }

  void Copy(const TArchiveReader& from, uint64_t offset, uint64_t size) {
    std::string buffer(static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, size)), '\0');
    while (size > 0) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size));
      if (from.ReadAt(offset, buffer.data(), chunk) != chunk) {
        ThrowDamaged(from, "data truncated");
      }
      Write(buffer.data(), chunk);
      offset += chunk;
      size -= chunk;
    }
  }

  void Commit() {
    const char endMarker = 0;
    Write(&endMarker, 1);
    if (::fsync(m_fd.Get()) != 0 || m_fd.Close() != 0) ThrowWriteError();
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) ThrowWriteError();
    m_committed = true;
    // Make the rename itself durable; a folder that cannot be synced is not an error.
    const std::filesystem::path parent = std::filesystem::path(m_target).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
  }

 private:
  std::string m_target;
  std::string m_temp;
  TFd m_fd;
  bool m_committed = false;
};

// The whole content of a source file, with its MS-DOS time stamp and attributes.
struct TSourceFile {
  std::string data;
  uint32_t timeStamp = 0;
  uint8_t attributes = 0;
};

// The file's content, or nothing when it does not exist (any more).
std::optional<TSourceFile> ReadSourceFile(const std::string& path) {
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0 && errno == ENOENT) return std::nullopt;
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw EArchiveError("Cannot read file " + path);
  }
  TSourceFile file;
  file.timeStamp = ToDosDateTime(st.st_mtime);
  file.attributes = static_cast<uint8_t>(0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01));
  char buffer[kCopyBuffer];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EArchiveError("Cannot read file " + path);
    if (n == 0) break;
    file.data.append(buffer, static_cast<size_t>(n));
  }
  return file;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// One member of a batch: what to pack, then what packing gave.
struct TPackJob {
  const std::string* name = nullptr;
  const std::string* path = nullptr;  // the source file, or empty for data
  bool fromFile = false;
  std::string owned;      // the source file's content, when it came from a file
  std::string_view data;  // the caller's data otherwise
  std::string_view Data() const { return fromFile ? std::string_view(owned) : data; }
  uint32_t timeStamp = 0;
  uint8_t attributes = 0;
  TPackedMember packed;
  std::exception_ptr error;
};

// Compression is nearly the whole cost of a save, and members are packed independently: a batch
// is packed on every core, then written in its order, so the file is the same as packing one
// member after the other.
void PackBatch(std::vector<TPackJob>& jobs) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      TPackJob& job = jobs[i];
      try {
        job.packed = PackMember(*job.name, job.Data(), job.timeStamp, job.attributes);
      } catch (...) {
        job.error = std::current_exception();
      }
    }
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t helpers = std::min({cores, jobs.size(), size_t{8}}) - (jobs.empty() ? 0 : 1);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  try {
    for (size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones running, and this one, do the batch.
  }
  work();
  for (auto& thread : threads) thread.join();
}

}  // namespace

struct TVornArchive::TNewMember {
  std::string name;  // upper-cased
  std::string path;  // source file, or empty for data
  std::string_view data;
};

// The headers of one version of the archive file, kept between calls: the offline server and
// the document's jobs ask for single members of large archives all the time.
struct TVornArchive::TDirectory {
  TFileIdentity identity{};
  std::vector<TEntry> entries;
  std::unordered_map<std::string, size_t> firstByName;  // upper-cased name -> index in entries

  const TEntry* Find(const std::string& upperName) const {
    const auto it = firstByName.find(upperName);
    return it == firstByName.end() ? nullptr : &entries[it->second];
  }
};

TVornArchive::TVornArchive(std::string fileName) : m_fileName(std::move(fileName)) {}

TVornArchive::~TVornArchive() = default;

const TVornArchive::TDirectory& TVornArchive::DirectoryOf(
    const archive_detail::TArchiveReader& reader) const {
  if (!m_directory || m_directory->identity != reader.Identity()) {
    auto directory = std::make_shared<TDirectory>();
    directory->identity = reader.Identity();
    directory->entries = ReadDirectory(reader);
    for (size_t i = 0; i < directory->entries.size(); ++i) {
      directory->firstByName.emplace(AnsiUpperCase(directory->entries[i].header.name), i);
    }
    m_directory = std::move(directory);
  }
  return *m_directory;
}

std::string TVornArchive::MemberName(std::string_view pathOrName) {
  const size_t slash = pathOrName.find_last_of("/\\");
  if (slash != std::string_view::npos) pathOrName.remove_prefix(slash + 1);
  return AnsiUpperCase(pathOrName);
}

std::vector<std::string> TVornArchive::List() const {
  std::vector<std::string> names;
  if (!FileExists(m_fileName)) return names;
  const TArchiveReader reader(m_fileName);
  for (const TEntry& entry : DirectoryOf(reader).entries) names.push_back(entry.header.name);
  return names;
}

bool TVornArchive::Contains(std::string_view name) const {
  if (!FileExists(m_fileName)) return false;
  const TArchiveReader reader(m_fileName);
  return DirectoryOf(reader).Find(MemberName(name)) != nullptr;
}

std::string TVornArchive::ExtractToStream(std::string_view name) const {
  const std::string wanted = MemberName(name);
  if (!FileExists(m_fileName)) throw EArchiveError("Archive " + m_fileName + " does not exist");
  const TArchiveReader reader(m_fileName);
  const TEntry* entry = DirectoryOf(reader).Find(wanted);
  if (entry == nullptr) throw EArchiveError("Archive " + m_fileName + " holds no member " + wanted);
  const TLhaHeader& h = entry->header;
  std::string data = reader.ReadExact(entry->offset + entry->headerLength, h.packedSize);
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

void TVornArchive::AddFiles(const std::vector<std::string>& paths, const TFileAdded& onFileAdded) {
  std::vector<TNewMember> added;
  for (const std::string& path : paths) added.push_back({MemberName(path), path, {}});
  Rewrite(added, {}, onFileAdded);
}

void TVornArchive::AddStream(std::string_view name, std::string_view data) {
  Rewrite({{MemberName(name), {}, data}}, {}, {});
}

void TVornArchive::Delete(const std::vector<std::string>& names) {
  std::vector<std::string> removed;
  for (const std::string& name : names) removed.push_back(MemberName(name));
  Rewrite({}, removed, {});
}

void TVornArchive::Rewrite(const std::vector<TNewMember>& added,
                           const std::vector<std::string>& removed, const TFileAdded& onFileAdded) {
  // Read and check the old archive before anything is written: a damaged archive is reported,
  // never silently cut short by copying only its readable part.
  std::optional<TArchiveReader> old;
  std::vector<TEntry> entries;
  if (FileExists(m_fileName)) {
    old.emplace(m_fileName);
    entries = DirectoryOf(*old).entries;
  }
  std::set<std::string> dropped(removed.begin(), removed.end());
  const bool adds = std::any_of(added.begin(), added.end(), [](const TNewMember& m) {
    return m.path.empty() || FileExists(m.path);
  });
  const bool removes = std::any_of(entries.begin(), entries.end(), [&](const TEntry& e) {
    return dropped.count(AnsiUpperCase(e.header.name)) > 0;
  });
  if (!adds && !removes) return;  // leave the file (or its absence) as it is
  for (const TNewMember& member : added) {
    if (member.name.empty()) throw EArchiveError("Cannot add a member without a name");
  }

  // Of two members with the same name in one call, the later one that exists is the member.
  std::unordered_map<std::string, size_t> winner;
  for (size_t i = added.size(); i-- > 0;) {
    const TNewMember& member = added[i];
    if (member.path.empty() || FileExists(member.path)) winner.emplace(member.name, i);
  }

  TArchiveWriter writer(m_fileName, old ? old->Mode() : mode_t{0644});
  // Members go in batches, bounded in count and in bytes held at once.
  constexpr size_t kBatchMembers = 64;
  constexpr size_t kBatchBytes = size_t{32} << 20;
  std::vector<TPackJob> batch;
  size_t batchBytes = 0;
  auto flush = [&] {
    PackBatch(batch);
    for (const TPackJob& job : batch) {
      if (job.error) std::rethrow_exception(job.error);
      writer.WriteMember(job.packed);
      if (!job.path->empty() && onFileAdded) onFileAdded(*job.path);
      dropped.insert(*job.name);
    }
    batch.clear();
    batchBytes = 0;
  };
  for (size_t i = 0; i < added.size(); ++i) {
    const TNewMember& member = added[i];
    const auto it = winner.find(member.name);
    if (it == winner.end() || it->second != i) continue;
    TPackJob job;
    job.name = &member.name;
    job.path = &member.path;
    if (member.path.empty()) {
      job.data = member.data;
    } else {
      std::optional<TSourceFile> file;
      try {
        file = ReadSourceFile(member.path);
      } catch (...) {
        flush();  // what came before is written and reported, as if one by one
        throw;
      }
      if (!file) continue;  // removed since it was looked at: as good as missing
      job.fromFile = true;
      job.owned = std::move(file->data);
      job.timeStamp = file->timeStamp;
      job.attributes = file->attributes;
    }
    batchBytes += job.Data().size();
    batch.push_back(std::move(job));
    if (batch.size() >= kBatchMembers || batchBytes >= kBatchBytes) flush();
  }
  flush();
  for (const TEntry& entry : entries) {
    if (dropped.count(AnsiUpperCase(entry.header.name)) == 0) {
      writer.Copy(*old, entry.offset, entry.End() - entry.offset);
    }
  }
  writer.Commit();
}

}  // namespace tq
