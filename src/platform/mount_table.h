// The mounted file systems as the kernel lists them ("/proc/self/mounts"), and what kind of drive
// each one is, so a search of "every hard disk" knows where to look. Pure functions apart from
// ReadMountTable; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

enum TDriveKind : uint8_t {
  dkNone,       // kernel and virtual file systems (proc, sysfs, cgroup, ...): nothing to search
  dkFixed,      // a disk file system
  dkRemovable,  // a disk file system mounted where desktops mount removable media
  dkRemote,     // a network share
  dkCDROM,      // an optical disc image file system
  dkRAM,        // memory-backed
};

struct TMountEntry {
  std::string Device;
  std::string MountPoint;  // with the kernel's octal escapes ("\040" for a blank) decoded
  std::string Type;
  TDriveKind Kind = dkNone;
};

// The entries of a mount table text, in its order; malformed lines are skipped.
std::vector<TMountEntry> ParseMountTable(std::string_view text);

// The table at path ("/proc/self/mounts" for this machine); empty when it cannot be read.
std::vector<TMountEntry> ReadMountTable(const std::string& path);

TDriveKind DriveKindOf(std::string_view device, std::string_view mountPoint, std::string_view type);

}  // namespace tq
