// The project archive over POSIX files: the directory of the current version is kept, members
// are read on their own, and every change writes a new version (see storage/archive_writer.h).
#include "storage/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "foundation/ansi.h"
#include "storage/archive_reader.h"
#include "storage/archive_writer.h"
#include "storage/member_stream.h"

namespace tq {

using archive_detail::TArchiveReader;
using archive_detail::TEntry;
using archive_detail::TFileIdentity;
using archive_detail::TPackedMember;

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// A source file opened for packing, with what fstat told about it before anything was read.
struct TOpenSource {
  TFd fd;
  uint64_t size = 0;
  uint32_t timeStamp = 0;
  uint8_t attributes = 0;
};

// The file opened for reading, or nothing when it does not exist (any more).
std::optional<TOpenSource> OpenSource(const std::string& path) {
  TOpenSource source;
  source.fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.fd.Valid() && errno == ENOENT) return std::nullopt;
  struct stat st {};
  if (!source.fd.Valid() || ::fstat(source.fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw EArchiveError("Cannot read file " + path);
  }
  source.size = static_cast<uint64_t>(st.st_size);
  if (source.size > kMaxMemberSize) {
    throw EArchiveError("File " + path + " is too large for an archive member");
  }
  source.timeStamp = ToDosDateTime(st.st_mtime);
  source.attributes = static_cast<uint8_t>(0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01));
  return source;
}

std::string ReadWhole(const TOpenSource& source, const std::string& path) {
  std::string data;
  data.reserve(static_cast<size_t>(source.size));
  if (!ReadFully(source.fd.Get(), data)) throw EArchiveError("Cannot read file " + path);
  return data;
}

// One member of a batch: what to pack, then what packing gave.
struct TPackJob {
  size_t index = 0;  // of the source in its list
  std::string name;
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
  if (jobs.empty()) return;
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      TPackJob& job = jobs[i];
      try {
        job.packed =
            archive_detail::PackMember(job.name, job.Data(), job.timeStamp, job.attributes);
      } catch (...) {
        job.error = std::current_exception();
      }
    }
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t helpers = std::min({cores, jobs.size(), size_t{8}}) - 1;
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

TVornArchive::TMember::TMember(std::shared_ptr<const TArchiveReader> reader, const TEntry& entry)
    : m_reader(std::move(reader)), m_entry(std::make_unique<TEntry>(entry)) {}
TVornArchive::TMember::~TMember() = default;
TVornArchive::TMember::TMember(TMember&&) noexcept = default;
TVornArchive::TMember& TVornArchive::TMember::operator=(TMember&&) noexcept = default;

std::string TVornArchive::TMember::Extract(uint64_t maxSize) const {
  return archive_detail::ReadMember(*m_reader, *m_entry, maxSize);
}

std::unique_ptr<TContentStream> TVornArchive::TMember::Stream() const {
  return MemberContentStream(m_reader, *m_entry);
}

TVornArchive::TVornArchive(std::string fileName, TFileSystem& fileSystem, bool durable)
    : m_fileName(std::move(fileName)), m_fileSystem(fileSystem), m_durable(durable) {}

TVornArchive::~TVornArchive() = default;

const TVornArchive::TDirectory& TVornArchive::DirectoryOf(const TArchiveReader& reader) const {
  if (!m_directory || m_directory->identity != reader.Identity()) {
    auto directory = std::make_shared<TDirectory>();
    directory->identity = reader.Identity();
    directory->entries = archive_detail::ReadDirectory(reader);
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

std::optional<TVornArchive::TMember> TVornArchive::OpenMember(std::string_view name) const {
  if (!FileExists(m_fileName)) return std::nullopt;
  auto reader = std::make_shared<const TArchiveReader>(m_fileName);
  const TEntry* entry = DirectoryOf(*reader).Find(MemberName(name));
  if (entry == nullptr) return std::nullopt;
  return TMember(std::move(reader), *entry);
}

std::string TVornArchive::ExtractToStream(std::string_view name, uint64_t maxSize) const {
  const std::optional<TMember> member = OpenMember(name);
  if (!member) {
    throw EArchiveError("Archive " + m_fileName + " holds no member " + MemberName(name));
  }
  return member->Extract(maxSize);
}

void TVornArchive::AddFiles(const std::vector<std::string>& paths, const TFileAdded& onFileAdded) {
  std::vector<TSource> sources;
  sources.reserve(paths.size());
  for (const std::string& path : paths) sources.emplace_back().path = path;
  Rewrite(sources, {}, [&](size_t source) {
    if (onFileAdded) onFileAdded(paths[source]);
  });
}

void TVornArchive::AddStream(std::string_view name, std::string_view data) {
  TSource source;
  source.name = name;
  source.data = data;
  Rewrite({source}, {}, {});
}

namespace {

std::vector<std::string> MemberNames(const std::vector<std::string>& names) {
  std::vector<std::string> members;
  members.reserve(names.size());
  for (const std::string& name : names) members.push_back(TVornArchive::MemberName(name));
  return members;
}

}  // namespace

void TVornArchive::Add(const std::vector<TSource>& sources, const TSourceAdded& onAdded,
                       const std::vector<std::string>& removed) {
  Rewrite(sources, MemberNames(removed), onAdded);
}

void TVornArchive::Delete(const std::vector<std::string>& names) {
  Rewrite({}, MemberNames(names), {});
}

void TVornArchive::Rewrite(const std::vector<TSource>& added,
                           const std::vector<std::string>& removed, const TSourceAdded& onAdded) {
  // Read and check the old archive before anything is written: a damaged archive is reported,
  // never silently cut short by copying only its readable part.
  std::optional<TArchiveReader> old;
  std::shared_ptr<const TDirectory> directory;  // held, not copied: one entry per member
  if (FileExists(m_fileName)) {
    old.emplace(m_fileName);
    DirectoryOf(*old);
    directory = m_directory;
  }
  static const std::vector<TEntry> kNoEntries;
  const std::vector<TEntry>& entries = directory ? directory->entries : kNoEntries;
  std::vector<std::string> names;  // upper-cased member name of each source
  names.reserve(added.size());
  for (const TSource& source : added) {
    names.push_back(MemberName(source.name.empty() ? source.path : source.name));
    if (names.back().empty()) throw EArchiveError("Cannot add a member without a name");
  }
  const auto present = [](const TSource& s) { return s.path.empty() || FileExists(s.path); };
  // Names are looked up as views of names and removed, which outlive the sets: a save of a large
  // project holds one entry per member in each.
  std::unordered_set<std::string_view> dropped(removed.begin(), removed.end());
  const bool adds = std::any_of(added.begin(), added.end(), present);
  const bool removes = std::any_of(entries.begin(), entries.end(), [&](const TEntry& e) {
    return dropped.count(AnsiUpperCase(e.header.name)) > 0;
  });
  if (!adds && !removes) return;  // leave the file (or its absence) as it is

  // Of two members with the same name in one call, the later one that exists is the member.
  std::unordered_map<std::string_view, size_t> winner;
  winner.reserve(added.size());
  for (size_t i = added.size(); i-- > 0;) {
    if (present(added[i])) winner.emplace(names[i], i);
  }

  archive_detail::TArchiveWriter writer(m_fileSystem, m_fileName, old ? old->Mode() : mode_t{0644},
                                        m_durable);
  // Members go in batches, bounded in count and in bytes held at once.
  constexpr size_t kBatchMembers = 64;
  constexpr size_t kBatchBytes = size_t{32} << 20;
  std::vector<TPackJob> batch;
  size_t batchBytes = 0;
  dropped.reserve(removed.size() + winner.size());
  const auto written = [&](size_t index) {
    if (onAdded) onAdded(index);
    dropped.insert(names[index]);
  };
  // Packed members that lie one after the other in the same file are copied as one piece.
  constexpr uint64_t kRunBytes = uint64_t{1} << 20;
  const TArchiveReader* runFrom = nullptr;
  uint64_t runAt = 0;
  uint64_t runLength = 0;
  std::vector<size_t> runIndices;
  const auto copyRun = [&] {
    if (runFrom == nullptr) return;
    writer.Copy(*runFrom, runAt, runLength);
    runFrom = nullptr;
    for (size_t index : runIndices) written(index);
    runIndices.clear();
  };
  auto flush = [&] {
    copyRun();
    PackBatch(batch);
    for (TPackJob& job : batch) {
      if (job.error) std::rethrow_exception(job.error);
      writer.WriteMember(job.packed);
      written(job.index);
    }
    batch.clear();
    batchBytes = 0;
  };
  for (size_t i = 0; i < added.size(); ++i) {
    const auto it = winner.find(names[i]);
    if (it == winner.end() || it->second != i) continue;
    const TSource& source = added[i];
    TPackJob job;
    job.index = i;
    job.name = names[i];
    if (source.packedFrom) {
      if (runFrom != source.packedFrom.get() || runAt + runLength != source.packedAt ||
          runLength + source.packedLength > kRunBytes) {
        flush();
        runFrom = source.packedFrom.get();
        runAt = source.packedAt;
        runLength = 0;
      }
      runLength += source.packedLength;
      runIndices.push_back(i);
      continue;
    }
    // Content read as it is compressed, on this thread: sources given that way, and large ones.
    TReadAt stream;
    uint64_t streamSize = 0;
    std::optional<TOpenSource> file;
    if (source.readAt) {
      stream = source.readAt;
      streamSize = source.dataSize;
    } else if (source.path.empty()) {
      job.data = source.data;
      if (source.data.size() >= archive_detail::kStreamedMemberSize) {
        stream = archive_detail::ReadFromMemory(source.data);
        streamSize = source.data.size();
      }
    } else {
      try {
        file = OpenSource(source.path);
      } catch (...) {
        flush();  // what came before is written and reported, as if one by one
        throw;
      }
      if (!file) continue;  // removed since it was looked at: as good as missing
      if (file->size >= archive_detail::kStreamedMemberSize) {
        stream = archive_detail::ReadFromFd(file->fd.Get(), job.name);
        streamSize = file->size;
      }
    }
    job.timeStamp = file ? file->timeStamp : source.timeStamp;
    job.attributes = file ? file->attributes : source.attributes;
    if (stream) {
      flush();
      writer.StreamMember(job.name, stream, streamSize, job.timeStamp, job.attributes);
      written(i);
      continue;
    }
    if (file) {
      job.fromFile = true;
      job.owned = ReadWhole(*file, source.path);
    }
    copyRun();  // at most one of run and batch waits, so both keep the order of the sources
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
