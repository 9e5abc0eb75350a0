// Whole-file reads and crash-safe whole-file replacement. Safe on any thread; two writers of the
// same path race only in which complete content ends up on disk.
#pragma once

#include <string>
#include <string_view>

namespace tq {

enum class TFileReadResult { frOk, frMissing, frError };

// Reads the whole file into out (cleared first). frMissing when there is no such file (or a
// component of the path is not a folder).
TFileReadResult ReadWholeFile(const std::string& path, std::string& out);

// Writes all of data to fd, resuming after interrupted and partial writes; false on an error.
bool WriteFully(int fd, std::string_view data);

// Replaces the file's content with data so that a crash at any moment leaves either the old or
// the new content: writes a temporary file in the same folder, syncs it, renames it over the
// path and syncs the folder. A new file gets the usual permissions (0666 less the umask), an
// existing one keeps its mode. Returns false (errno set, nothing changed) on failure.
bool WriteFileAtomically(const std::string& path, std::string_view data);

// Test-only: probe() is called at every step of WriteFileAtomically (temporary file created, each
// 64 KiB written, before and after the rename), so a test can stop a writer at a chosen point.
// Set it before any writer runs; nullptr removes it.
void TestOnlySetAtomicWriteProbe(void (*probe)());

}  // namespace tq
