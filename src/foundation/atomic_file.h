// Whole-file reads and crash-safe whole-file replacement. Safe on any thread; two writers of the
// same path race only in which complete content ends up on disk.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "foundation/file_system.h"

namespace tq {

enum class TFileReadResult { frOk, frMissing, frError };

// Reads the whole file into out (cleared first). frMissing when there is no such file (or a
// component of the path is not a folder).
TFileReadResult ReadWholeFile(const std::string& path, std::string& out);

// Fills a new file; false (errno set) when writing failed.
using TFileFiller = std::function<bool(TWritableFile& file)>;

// Replaces the file at path with what fill writes, so that the path holds either the old or the
// complete new content at every moment: fill writes a temporary file in the same folder, which
// is then renamed over the path. When durable, the file is synced before and the folder after
// the rename, so a crash cannot leave the new name pointing at unwritten data; a scratch file
// that does not outlive the process needs neither. A new file gets 0666 less the umask, an
// existing one keeps its mode. Returns false (errno set, path untouched, no temporary file
// left) on failure.
bool ReplaceFile(const std::string& path, const TFileFiller& fill, bool durable = true,
                 TFileSystem& fileSystem = RealFileSystem());

// ReplaceFile with data as the content.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         TFileSystem& fileSystem = RealFileSystem());

}  // namespace tq
