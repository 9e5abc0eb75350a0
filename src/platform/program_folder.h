// Where the program keeps the files that belong to the installation rather than to a project:
// beside the executable when that folder is writable, else in the user's configuration folder.
// Safe on any thread, except TestOnlySetProgramFolder.
#pragma once

#include <string>

namespace tq {

// The running executable's full path; empty when unknown.
std::string ProgramFile();

// The folder holding the running executable, without a trailing slash; empty when unknown.
std::string ProgramFolder();

// The folder for the program's own data named sub ("Templates"), with a trailing slash: under
// the program's folder when that is writable, else under the user's configuration folder. The
// folder is created when missing; empty when neither place can be had.
std::string ProgramDataFolder(const std::string& sub);

// Where the program's settings file called name ("config.dat") lives: the path in the
// environment variable TARNQUILL_CONFIG when that is set and not empty (a second set of
// settings, or a test's own), else beside the executable when that folder is writable, else in
// "tarnquill" under the user's configuration folder. Nothing is created; empty when no place is
// known.
std::string ProgramSettingsFile(const std::string& name);

// Test-only: ProgramFolder answers folder instead of the executable's folder; empty restores it.
// Call it before any other thread asks.
void TestOnlySetProgramFolder(const std::string& folder);

}  // namespace tq
