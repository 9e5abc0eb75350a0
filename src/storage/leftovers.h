// What a run that was killed leaves behind: the working folders of its documents in the cache
// folder and the temporary files of a save beside the project file. Every such folder and file
// is locked (flock) by the process that uses it for as long as it does, so the next run can tell
// the abandoned ones from those of a program still running, and removes only the former.
//
// Threads: any thread.
#pragma once

#include <string>

#include "foundation/file_system.h"

namespace tq {

// The lock file inside every working folder; only a folder that holds one is ever removed by
// another run, so the cache's other folders are never touched.
inline constexpr const char* kWorkingFolderLock = ".lock";

// Creates the lock file of a working folder just made (with a trailing "/") and takes its lock.
// Invalid when that failed (the folder then has no lock file and no other run touches it), or
// when another run removed the folder before the lock was taken: the caller then makes another.
TFd LockWorkingFolder(const std::string& folder);

// Removes the working folders ("temp<n>.~tmp" with a lock file) in cacheFolder that no living
// process holds.
void RemoveAbandonedWorkingFolders(const std::string& cacheFolder);

// Removes the temporary files a save of path left beside it ("<path>.~<n>.tmp") that no living
// process holds.
void RemoveAbandonedSaveFiles(const std::string& path);

}  // namespace tq
