// A file system for tests that fails where the test says, in the way disks and folders fail: an
// operation refused at a chosen step, and a disk that fills up (a short write, then ENOSPC). It
// writes real files through the operating system otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/file_system.h"

namespace tq::test {

class TFaultFileSystem : public TFileSystem {
 public:
  // Asked before every operation with its name ("create", "append", "write-at", "truncate",
  // "sync", "close", "rename", "remove", "sync-folder") and the path it concerns (the target of
  // a rename); false makes the operation fail with EIO. May be called on any thread.
  std::function<bool(std::string_view operation, const std::string& path)> Allow;
  // Bytes that appends may still add over all files; an append that does not fit writes what
  // does and fails with ENOSPC.
  std::atomic<uint64_t> FreeBytes{UINT64_MAX};

  std::unique_ptr<TWritableFile> CreateFile(const std::string& path, mode_t mode) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  bool SyncFolder(const std::string& folder) override;

  // The step check every operation makes; for the file class.
  bool Permits(std::string_view operation, const std::string& path);
};

}  // namespace tq::test
