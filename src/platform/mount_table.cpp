// Mount table parsing and drive kinds.
#include "platform/mount_table.h"

#include <array>

#include "foundation/atomic_file.h"

namespace tq {
namespace {

constexpr std::array<std::string_view, 18> kDiskTypes = {
    "ext2", "ext3",  "ext4", "xfs",   "btrfs",   "f2fs",   "jfs",      "reiserfs", "zfs",
    "vfat", "exfat", "ntfs", "ntfs3", "hfsplus", "nilfs2", "bcachefs", "fuseblk",  "overlay",
};
constexpr std::array<std::string_view, 11> kRemoteTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "9p", "davfs", "fuse.sshfs",
};

template <size_t N>
bool OneOf(const std::array<std::string_view, N>& list, std::string_view type) {
  for (auto t : list) {
    if (t == type) return true;
  }
  return false;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The kernel writes blank, tab, line feed and backslash in paths as "\" and three octal digits.
std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      int value = 0;
      bool octal = true;
      for (size_t k = 1; k <= 3 && octal; ++k) {
        octal = field[i + k] >= '0' && field[i + k] <= '7';
        value = value * 8 + (field[i + k] - '0');
      }
      if (octal && value < 256) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

}  // namespace

TDriveKind DriveKindOf(std::string_view device, std::string_view mountPoint,
                       std::string_view type) {
  if (type == "tmpfs" || type == "ramfs") return dkRAM;
  if (type == "iso9660" || type == "udf") return dkCDROM;
  if (OneOf(kRemoteTypes, type)) return dkRemote;
  if (!OneOf(kDiskTypes, type)) return dkNone;
  if (StartsWith(device, "/dev/fd") || StartsWith(mountPoint, "/media/") ||
      StartsWith(mountPoint, "/run/media/")) {
    return dkRemovable;
  }
  return dkFixed;
}

std::vector<TMountEntry> ParseMountTable(std::string_view text) {
  std::vector<TMountEntry> entries;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    std::array<std::string_view, 3> fields;
    size_t count = 0;
    while (count < fields.size()) {
      const size_t start = line.find_first_not_of(" \t");
      if (start == std::string_view::npos) break;
      line.remove_prefix(start);
      const size_t stop = line.find_first_of(" \t");
      fields[count++] = line.substr(0, stop);
      line = stop == std::string_view::npos ? std::string_view() : line.substr(stop);
    }
    if (count < fields.size()) continue;
    TMountEntry entry{Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2]), dkNone};
    if (entry.MountPoint.empty() || entry.MountPoint.front() != '/') continue;
    entry.Kind = DriveKindOf(entry.Device, entry.MountPoint, entry.Type);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<TMountEntry> ReadMountTable(const std::string& path) {
  std::string text;
  if (ReadWholeFile(path, text) != TFileReadResult::frOk) return {};
  return ParseMountTable(text);
}

}  // namespace tq
