// The ZIP writer: zlib deflates each member into the spool file, libzip writes the archive.
#include "export/zip_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <zip.h>

#include "foundation/atomic_file.h"
#include "storage/doc_jobs.h"

namespace tq {
namespace {

// The end-of-central-directory record alone: what every reader takes for an archive with no
// members.
constexpr std::string_view kEmptyZip{"PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22};

// A new file named folder-of-path/prefix<n>.tmp; name is set to it. Null (errno set) when none
// could be made.
std::unique_ptr<TWritableFile> CreateBeside(TFileSystem& fileSystem, const std::string& path,
                                            std::string_view prefix, std::string& name);

}  // namespace

// A member's compressed bytes in the spool file, handed to libzip as already deflated data
// (a source that states its compression method, size and CRC is copied as it is).
struct TVornZipWriter::TSource {
  int Spool;
  TMember Member;
  int64_t Time;
  uint64_t Position = 0;
  zip_error_t Error{};

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* self = static_cast<TSource*>(state);
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        self->Position = 0;
        return 0;
      case ZIP_SOURCE_READ:
        return self->Read(static_cast<char*>(data), length);
      case ZIP_SOURCE_CLOSE:
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_MTIME;
        st->size = self->Member.Size;
        st->comp_size = self->Member.CompressedSize;
        st->comp_method = ZIP_CM_DEFLATE;
        st->crc = self->Member.Crc;
        st->mtime = static_cast<time_t>(self->Time);
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&self->Error, data, length);
      case ZIP_SOURCE_FREE:
        zip_error_fini(&self->Error);
        delete self;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
      default:
        zip_error_set(&self->Error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t Read(char* out, zip_uint64_t length) {
    const uint64_t left = Member.CompressedSize - Position;
    size_t want = static_cast<size_t>(length < left ? length : left);
    size_t done = 0;
    while (done < want) {
      const ssize_t n = ::pread(Spool, out + done, want - done,
                                static_cast<off_t>(Member.Offset + Position + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        zip_error_set(&Error, ZIP_ER_READ, n < 0 ? errno : EIO);
        return -1;
      }
      done += static_cast<size_t>(n);
    }
    Position += done;
    return static_cast<zip_int64_t>(done);
  }
};

// The archive file as libzip writes it: a temporary file beside the destination, made, written,
// synced and renamed through the file system seam, so a failed write anywhere leaves the old file
// as it was. The destination is never read: every archive is made anew.
struct TVornZipWriter::TTarget {
  TFileSystem& FileSystem;
  std::string Path;
  std::string Temp;
  std::unique_ptr<TWritableFile> File;
  uint64_t Position = 0;
  zip_error_t Error{};

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* self = static_cast<TTarget*>(state);
    switch (cmd) {
      case ZIP_SOURCE_STAT:
        // "No such file": the archive starts empty and nothing of the old file is read.
        zip_error_set(&self->Error, ZIP_ER_READ, ENOENT);
        return -1;
      case ZIP_SOURCE_OPEN:
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_READ:
      case ZIP_SOURCE_TELL:
        return 0;
      case ZIP_SOURCE_SEEK:
        return zip_source_seek_compute_offset(0, 0, data, length, &self->Error) < 0 ? -1 : 0;
      case ZIP_SOURCE_BEGIN_WRITE:
        return self->Begin() ? 0 : self->Failed(ZIP_ER_TMPOPEN);
      case ZIP_SOURCE_WRITE:
        return self->Write(static_cast<const char*>(data), length);
      case ZIP_SOURCE_SEEK_WRITE: {
        const zip_int64_t to = zip_source_seek_compute_offset(
            self->Position, self->File ? self->File->Size() : 0, data, length, &self->Error);
        if (to < 0) return -1;
        self->Position = static_cast<uint64_t>(to);
        return 0;
      }
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(self->Position);
      case ZIP_SOURCE_COMMIT_WRITE:
        return self->Commit() ? 0 : self->Failed(ZIP_ER_WRITE);
      case ZIP_SOURCE_ROLLBACK_WRITE:
        self->Rollback();
        return 0;
      case ZIP_SOURCE_REMOVE:  // an archive without members is written by Close itself
        return 0;
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&self->Error, data, length);
      case ZIP_SOURCE_FREE:
        self->Rollback();
        zip_error_fini(&self->Error);
        delete self;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
      default:
        zip_error_set(&self->Error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t Failed(int code) {
    zip_error_set(&Error, code, errno);
    return -1;
  }

  bool Begin() {
    Rollback();
    File = CreateBeside(FileSystem, Path, ".~tqzip", Temp);
    Position = 0;
    return File != nullptr;
  }

  zip_int64_t Write(const char* data, zip_uint64_t length) {
    if (!File) return Failed(ZIP_ER_INTERNAL);
    std::string_view bytes(data, static_cast<size_t>(length));
    // libzip goes back to complete a member's local header once its data is written.
    const uint64_t size = File->Size();
    if (Position < size) {
      const auto inside = static_cast<size_t>(std::min<uint64_t>(bytes.size(), size - Position));
      if (!File->WriteAt(Position, bytes.substr(0, inside))) return Failed(ZIP_ER_WRITE);
      Position += inside;
      bytes.remove_prefix(inside);
    }
    if (!bytes.empty() && (Position != File->Size() || !File->Append(bytes)))
      return Failed(ZIP_ER_WRITE);
    Position += bytes.size();
    return static_cast<zip_int64_t>(length);
  }

  bool Commit() {
    if (!File || !File->Sync() || !File->Close() || !FileSystem.Rename(Temp, Path)) return false;
    File.reset();
    Temp.clear();
    FileSystem.SyncFolder(FolderOf(Path));
    return true;
  }

  void Rollback() {
    if (!File) return;
    File->Close();
    File.reset();
    FileSystem.Remove(Temp);
    Temp.clear();
  }
};

namespace {

std::unique_ptr<TWritableFile> CreateBeside(TFileSystem& fileSystem, const std::string& path,
                                            std::string_view prefix, std::string& name) {
  std::mt19937 random = SeededRandom();
  const std::string folder = FolderOf(path) + "/";
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + DrawName(random, prefix, ".tmp");
    if (auto file = fileSystem.CreateFile(name, 0666)) return file;
    if (errno != EEXIST) break;
  }
  name.clear();
  return nullptr;
}

}  // namespace

TVornZipWriter::TVornZipWriter(TFileSystem& fileSystem) : m_fileSystem(fileSystem) {
  m_zlibReady = deflateInit2(&m_zlib, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
}

TVornZipWriter::~TVornZipWriter() {
  Discard();
  if (m_zlibReady) deflateEnd(&m_zlib);
}

void TVornZipWriter::Fail(const std::string& what) {
  m_error = what;
}

void TVornZipWriter::Discard() {
  if (m_archive != nullptr) zip_discard(m_archive);
  m_archive = nullptr;
  m_spool.reset();
  m_spoolRead.Reset();
  m_count = 0;
}

bool TVornZipWriter::Open(const std::string& fileName) {
  Discard();
  m_fileName = fileName;
  if (!m_zlibReady) {
    Fail("the compressor could not be started");
    return false;
  }

  // The spool lies beside the archive, on the file system that must hold the archive anyway;
  // its name goes at once, so nothing is left behind whatever happens to the process.
  std::string spoolName;
  m_spool = CreateBeside(m_fileSystem, fileName, ".~tqspool", spoolName);
  if (m_spool) {
    m_fileSystem.Remove(spoolName);
    m_spoolRead = m_spool->OpenForReading();
  }
  if (!m_spool || !m_spoolRead.Valid()) {
    Fail(std::strerror(errno));
    m_spool.reset();
    return false;
  }

  auto* target = new TTarget{m_fileSystem, fileName, {}, nullptr, 0, {}};
  zip_error_init(&target->Error);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_function_create(&TTarget::Callback, target, &error);
  if (source == nullptr) {
    zip_error_fini(&target->Error);
    delete target;
  } else {
    m_archive = zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (m_archive == nullptr) zip_source_free(source);
  }
  if (m_archive == nullptr) {
    Fail(zip_error_strerror(&error));
    zip_error_fini(&error);
    return false;
  }
  zip_error_fini(&error);
  m_time = static_cast<int64_t>(std::time(nullptr));
  return true;
}

bool TVornZipWriter::Deflate(std::string_view data, TMember& member) {
  if (data.size() > UINT_MAX || deflateReset(&m_zlib) != Z_OK) return false;
  // deflateBound leaves room for the whole stream, so one call finishes it.
  m_deflated.resize(deflateBound(&m_zlib, static_cast<uLong>(data.size())));
  m_zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  m_zlib.avail_in = static_cast<uInt>(data.size());
  m_zlib.next_out = reinterpret_cast<Bytef*>(m_deflated.data());
  m_zlib.avail_out = static_cast<uInt>(m_deflated.size());
  if (deflate(&m_zlib, Z_FINISH) != Z_STREAM_END) return false;
  m_deflated.resize(m_zlib.total_out);
  member.Crc =
      static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
  member.Size = data.size();
  member.CompressedSize = m_deflated.size();
  return true;
}

bool TVornZipWriter::Add(const std::string& name, std::string_view data) {
  if (m_archive == nullptr) {
    Fail("the archive is not open");
    return false;
  }
  zip_source_t* source = nullptr;
  if (data.empty()) {
    source = zip_source_buffer(m_archive, nullptr, 0, 0);
  } else {
    TMember member;
    if (!Deflate(data, member)) {
      Fail("the member could not be compressed");
      return false;
    }
    member.Offset = m_spool->Size();
    if (!m_spool->Append(m_deflated)) {
      Fail(std::strerror(errno));
      // Whatever part was written stays unused; the next member goes behind it.
      return false;
    }
    auto* state = new TSource{m_spoolRead.Get(), member, m_time};
    zip_error_init(&state->Error);
    source = zip_source_function(m_archive, &TSource::Callback, state);
    if (source == nullptr) {
      zip_error_fini(&state->Error);
      delete state;
    }
  }
  if (source == nullptr) {
    Fail(zip_strerror(m_archive));
    return false;
  }
  if (zip_file_add(m_archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
    Fail(zip_strerror(m_archive));
    zip_source_free(source);
    return false;
  }
  ++m_count;
  return true;
}

bool TVornZipWriter::Close() {
  if (m_archive == nullptr) return true;
  if (m_count == 0) {
    // libzip would delete the destination instead: an archive with no members is still one.
    if (!WriteFileAtomically(m_fileName, kEmptyZip, m_fileSystem)) {
      Fail(std::strerror(errno));
      return false;
    }
  } else if (zip_close(m_archive) != 0) {
    Fail(zip_strerror(m_archive));
    return false;
  } else {
    m_archive = nullptr;
  }
  Discard();
  return true;
}

}  // namespace tq
