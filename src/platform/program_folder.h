// Where the program finds its own files: the read-only ones shipped with it (icons, templates,
// the manual) and the user's settings and templates. Safe on any thread, except
// TestOnlySetProgramFolder.
#pragma once

#include <string>

namespace tq {

// The desktop-file id of the desktop program: the name of its desktop entry (".desktop" added),
// of its icon and of its AppStream component, the same for an installation and for the entry a
// build-folder run writes into the user's home, so the menu shows one entry.
inline constexpr const char* kDesktopId = "org.tarnquill.Tarnquill";

// The running executable's full path; empty when unknown.
std::string ProgramFile();

// The folder holding the running executable, without a trailing slash; empty when unknown.
std::string ProgramFolder();

// The folder of the read-only files shipped with the program, without a trailing slash:
// "share/tarnquill" beside the executable's folder (an installation under a prefix such as /usr;
// the build folder links it to the source tree's data), else "data" beside the executable (a
// copy unpacked in one folder). Empty when neither exists.
std::string ShippedDataFolder();

// True when the program runs from an installation whose desktop entry (kDesktopId) was installed
// with it under the same prefix: the desktop then knows the program without help.
bool InstalledWithDesktopEntry();

// The folder of the user's settings and templates, without a trailing slash: the executable's
// folder for a portable installation (one whose folder already holds "config.dat"), else
// "tarnquill" in the user's configuration folder ($XDG_CONFIG_HOME, ~/.config by default). Nothing
// is created; empty when no place is known.
std::string ProgramSettingsFolder();

// The folder named sub ("Templates") in ProgramSettingsFolder, with a trailing slash; created
// when missing. Empty when it cannot be had.
std::string ProgramDataFolder(const std::string& sub);

// The user's template folder (ProgramDataFolder("Templates")). The first time it is created, the
// templates shipped in ShippedDataFolder's "Templates" are copied into it; a template the user
// deleted later stays deleted.
std::string UserTemplatesFolder();

// Where the program's settings file called name ("config.dat") lives: the path in the
// environment variable TARNQUILL_CONFIG when that is set and not empty (a second set of
// settings, or a test's own), else in ProgramSettingsFolder. Nothing is created; empty when no
// place is known.
std::string ProgramSettingsFile(const std::string& name);

// Test-only: ProgramFolder answers folder instead of the executable's folder; empty restores it.
// Call it before any other thread asks.
void TestOnlySetProgramFolder(const std::string& folder);

}  // namespace tq
