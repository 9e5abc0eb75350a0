// The fault-injecting file system: real files, with refusals and a filling disk on top.
#include "support/fault_file_system.h"

#include <algorithm>
#include <cerrno>

namespace tq::test {
namespace {

class TFaultFile : public TWritableFile {
 public:
  TFaultFile(TFaultFileSystem& owner, std::string path, std::unique_ptr<TWritableFile> real)
      : m_owner(owner), m_path(std::move(path)), m_real(std::move(real)) {}

  bool Append(std::string_view data) override {
    if (!m_owner.Permits("append", m_path)) return false;
    uint64_t free = m_owner.FreeBytes.load();
    while (!m_owner.FreeBytes.compare_exchange_weak(free,
                                                    free - std::min<uint64_t>(free, data.size()))) {
    }
    if (free >= data.size()) return m_real->Append(data);
    m_real->Append(data.substr(0, free));
    errno = ENOSPC;
    return false;
  }
  bool WriteAt(uint64_t offset, std::string_view data) override {
    return m_owner.Permits("write-at", m_path) && m_real->WriteAt(offset, data);
  }
  bool Truncate(uint64_t size) override {
    return m_owner.Permits("truncate", m_path) && m_real->Truncate(size);
  }
  bool SetMode(mode_t mode) override { return m_real->SetMode(mode); }
  bool Sync() override { return m_owner.Permits("sync", m_path) && m_real->Sync(); }
  bool Close() override {
    // The descriptor is closed even when the close is to report a failure.
    const bool permitted = m_closed || m_owner.Permits("close", m_path);
    m_closed = true;
    return m_real->Close() && permitted;
  }
  uint64_t Size() const override { return m_real->Size(); }
  TFd OpenForReading() const override { return m_real->OpenForReading(); }

 private:
  TFaultFileSystem& m_owner;
  std::string m_path;
  std::unique_ptr<TWritableFile> m_real;
  bool m_closed = false;
};

}  // namespace

bool TFaultFileSystem::Permits(std::string_view operation, const std::string& path) {
  if (!Allow || Allow(operation, path)) return true;
  errno = EIO;
  return false;
}

std::unique_ptr<TWritableFile> TFaultFileSystem::CreateFile(const std::string& path, mode_t mode) {
  if (!Permits("create", path)) return nullptr;
  auto real = RealFileSystem().CreateFile(path, mode);
  if (!real) return nullptr;
  return std::make_unique<TFaultFile>(*this, path, std::move(real));
}

bool TFaultFileSystem::Rename(const std::string& from, const std::string& to) {
  return Permits("rename", to) && RealFileSystem().Rename(from, to);
}

bool TFaultFileSystem::Remove(const std::string& path) {
  return Permits("remove", path) && RealFileSystem().Remove(path);
}

bool TFaultFileSystem::SyncFolder(const std::string& folder) {
  return Permits("sync-folder", folder) && RealFileSystem().SyncFolder(folder);
}

}  // namespace tq::test
