// Where the program keeps the files that belong to the installation rather than to a project:
// beside the executable when that folder is writable, else in the user's configuration folder.
// Safe on any thread.
#pragma once

#include <string>

namespace tq {

// The folder holding the running executable, without a trailing slash; empty when unknown.
std::string ProgramFolder();

// The folder for the program's own data named sub ("Templates"), with a trailing slash: under
// the program's folder when that is writable, else under the user's configuration folder. The
// folder is created when missing; empty when neither place can be had.
std::string ProgramDataFolder(const std::string& sub);

}  // namespace tq
