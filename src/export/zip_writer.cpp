// The ZIP writer: zlib deflates each member into the spool file, libzip writes the archive.
#include "export/zip_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <zip.h>

#include "foundation/atomic_file.h"

namespace tq {

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

TVornZipWriter::TVornZipWriter() {
  m_zlibReady = deflateInit2(&m_zlib, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
}

TVornZipWriter::~TVornZipWriter() {
  if (m_archive != nullptr) zip_discard(m_archive);
  if (m_spool >= 0) ::close(m_spool);
  if (m_zlibReady) deflateEnd(&m_zlib);
}

void TVornZipWriter::Fail(const std::string& what) {
  m_error = what;
}

bool TVornZipWriter::Open(const std::string& fileName) {
  if (m_archive != nullptr) zip_discard(m_archive);
  m_archive = nullptr;
  if (m_spool >= 0) ::close(m_spool);
  m_spool = -1;
  m_spoolSize = 0;
  if (!m_zlibReady) {
    Fail("the compressor could not be started");
    return false;
  }

  // The spool lies beside the archive, on the file system that must hold the archive anyway,
  // and has no name, so nothing is left behind whatever happens to the process.
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  m_spool = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (m_spool < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    std::string name = folder;
    name += "/.~tqzipXXXXXX";
    m_spool = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_spool >= 0) ::unlink(name.c_str());
  }
  if (m_spool < 0) {
    Fail(std::strerror(errno));
    return false;
  }

  int code = 0;
  m_archive = zip_open(fileName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (m_archive == nullptr) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    Fail(zip_error_strerror(&error));
    zip_error_fini(&error);
    return false;
  }
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
    member.Offset = m_spoolSize;
    if (!WriteFully(m_spool, m_deflated)) {
      Fail(std::strerror(errno));
      // Whatever part was written stays unused; the next member goes behind it.
      const off_t end = ::lseek(m_spool, 0, SEEK_CUR);
      if (end >= 0) m_spoolSize = static_cast<uint64_t>(end);
      return false;
    }
    m_spoolSize += member.CompressedSize;
    auto* state = new TSource{m_spool, member, m_time};
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
  return true;
}

bool TVornZipWriter::Close() {
  if (m_archive == nullptr) return true;
  if (zip_close(m_archive) != 0) {
    Fail(zip_strerror(m_archive));
    return false;
  }
  m_archive = nullptr;
  ::close(m_spool);
  m_spool = -1;
  return true;
}

}  // namespace tq
