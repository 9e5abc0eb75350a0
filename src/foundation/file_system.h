// The files the storage writes go through a small seam: TFileSystem creates, renames and removes
// files and TWritableFile writes them, so that tests can put a file system in their place that
// runs out of space, writes short or refuses a rename at a chosen step. Reading stays on plain
// descriptors (TFd). RealFileSystem() is the operating system's.
//
// Threads: RealFileSystem() and the files it makes may be used from any thread, one thread per
// file at a time. Every failure returns false (or null) with errno set; nothing raises.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tq {

// Owns one file descriptor (or none: -1) and closes it when destroyed.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : m_fd(fd) {}
  TFd(TFd&& other) noexcept : m_fd(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept;
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Close(); }

  int Get() const { return m_fd; }
  bool Valid() const { return m_fd >= 0; }
  int Release();
  void Reset(int fd = -1);
  // Closes now; false when close reports an error (a write that did not reach the disk).
  bool Close();

 private:
  int m_fd = -1;
};

// Writes all of data to fd, resuming after interrupted and partial writes. False (errno set) on
// an error, and when the descriptor takes no byte at all (ENOSPC), which would otherwise loop.
bool WriteFully(int fd, std::string_view data);

// Appends everything left to read from fd to out; false (errno set) on an error.
bool ReadFully(int fd, std::string& out);

// The folder part of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);

// A file being written, from its first byte on.
class TWritableFile {
 public:
  virtual ~TWritableFile() = default;
  // Appends all of data at the end.
  virtual bool Append(std::string_view data) = 0;
  // Overwrites bytes already written (a header completed after its data).
  virtual bool WriteAt(uint64_t offset, std::string_view data) = 0;
  // Cuts the file to size bytes; appending goes on from there.
  virtual bool Truncate(uint64_t size) = 0;
  virtual bool SetMode(mode_t mode) = 0;
  virtual bool Sync() = 0;
  // False when the close reports an error; closing twice does nothing.
  virtual bool Close() = 0;
  // Bytes in the file, where the next Append goes.
  virtual uint64_t Size() const = 0;
  // A new descriptor reading this very file, whatever now carries its name; invalid on failure.
  virtual TFd OpenForReading() const = 0;
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;
  // Creates a new file for writing with the mode (less the umask). Refuses an existing entry,
  // and so never follows a link planted under that name.
  virtual std::unique_ptr<TWritableFile> CreateFile(const std::string& path, mode_t mode) = 0;
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file (a link itself, never what it points to).
  virtual bool Remove(const std::string& path) = 0;
  // Makes the entries of a folder (a rename into it) durable.
  virtual bool SyncFolder(const std::string& folder) = 0;
};

TFileSystem& RealFileSystem();

}  // namespace tq
