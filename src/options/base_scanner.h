// TBaseScanner: searches the file systems for entries whose names match masks, on a thread of its
// own, reporting each folder it enters and each match to the interface thread. The e-book
// compiler finder runs one over every hard disk of the machine.
//
// What a "drive" is here: a mounted file system from the mount table, of the kinds selected in
// ScanDrives. A walk never enters /proc, /sys or /dev, never follows a symbolic link into a
// folder (so it cannot loop or leave its tree), enters every folder once, and in a search of whole
// file systems stays on the file system it started on (the others are searched on their own).
//
// Thread rules: create, configure, start, stop and destroy it on the interface thread; every
// event is raised there. The scan thread hands at most kEventWindow events ahead of the interface
// thread, so a slow interface slows the scan instead of piling up events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/date_time.h"

namespace tq {

enum TScanStrategy : uint8_t {
  ssGlobal,         // every mounted file system of a kind in ScanDrives
  ssSpecifiedDisk,  // the file system that holds Directory
  ssSpecifiedDir,   // Directory and below
};

// Kinds of file systems, as bits of ScanDrives.
enum TScanDrive : unsigned {
  sdHard = 1u << 0,     // disk file systems
  sdCDROM = 1u << 1,    // optical disc file systems
  sdRAM = 1u << 2,      // memory-backed file systems
  sdNetwork = 1u << 3,  // network shares
  sdFloppy = 1u << 4,   // disks mounted where desktops mount removable media
};

// Entry attributes as bits, as OnFileFound reports them and Attributes selects them.
enum TFileAttribute : unsigned {
  faReadOnly = 0x01,   // its owner may not write it
  faHidden = 0x02,     // its name starts with "."
  faSysFile = 0x04,    // neither a regular file nor a folder (device, pipe, socket)
  faVolumeID = 0x08,   // never set here
  faDirectory = 0x10,  // a folder
  faArchive = 0x20,    // a regular file
};

class TBaseScanner {
 public:
  static constexpr int kEventWindow = 16;

  TBaseScanner();
  // Stops a running scan and waits for its thread; no event is raised any more.
  ~TBaseScanner();
  TBaseScanner(const TBaseScanner&) = delete;
  TBaseScanner& operator=(const TBaseScanner&) = delete;

  // The properties a scan copies when it starts.
  std::string Directory = "/";  // the folder of ssSpecifiedDir; names the disk of ssSpecifiedDisk
  std::string Files = "*";      // masks separated by ";" (options/mask.h)
  TScanStrategy ScanStrategy = ssGlobal;
  unsigned ScanDrives = sdHard | sdCDROM | sdRAM | sdNetwork;
  unsigned Attributes = faArchive;  // a match must have every one of these
  bool Recursive = true;
  std::string MountTable = "/proc/self/mounts";  // where the mounted file systems are listed

  // A folder is being entered: the matches and their summed sizes so far, and the folder.
  std::function<void(uint32_t count, uint64_t size, const std::string& current)> OnProcess;
  // An entry matched: its name, its folder (no trailing "/" unless it is "/"), attributes, size
  // and last-write time (local; 0 when the calendar cannot hold it).
  std::function<void(const std::string& name, const std::string& path, unsigned attributes,
                     int64_t size, TDateTime time)>
      OnFileFound;
  // The scan has ended: by itself, by Stop, or by an error (an invalid mask ends it at once).
  // Running is already false, so the handler may start the next scan.
  std::function<void(uint32_t count, uint64_t size)> OnProcessDone;

  // Starts a scan with the current properties; does nothing while one runs.
  void Start();
  // Asks a running scan to end; it ends at its next entry. Events already handed over are still
  // raised, OnProcessDone last.
  void Stop();
  bool Running() const { return m_run != nullptr; }

  // What one scan shares between its thread and the interface thread (base_scanner.cpp).
  struct TRun;

 private:
  std::shared_ptr<TRun> m_run;
};

}  // namespace tq
