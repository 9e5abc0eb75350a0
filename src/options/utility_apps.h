// External applications the user registered (browsers, editors, viewers), how they are stored in
// the settings file, and opening a link's address with one of them ("Browse with").
//
// Thread rules: the lists are plain values for the interface thread; LaunchApplication may be
// called on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/ini_file.h"
#include "foundation/owned_list.h"

namespace tq {

struct TVornUtilityApp {
  std::string Caption;      // menu text; also the key a menu choice finds its program by
  std::string File;         // full path of the program
  uint16_t HotKey = 0;      // shortcut code shown on the menu item; 0: none
  uint8_t WindowStyle = 0;  // stored and copied only: programs open their windows as they like
  bool Enabled = false;     // the menu item can be chosen
};

// An ordered list of applications. Persisted in a section of its own as "Count_" and, for the
// application at index i, the keys iFCaption, iFEnabled, iFFile, iFHotKey (low 16 bits) and
// iFWindowStyle (low 8 bits); the section is written anew whole.
class TVornUtilityApps : public TOwnedList<TVornUtilityApp> {
 public:
  // Appends a copy of every application of other, in order.
  void AppendCopies(const TVornUtilityApps& other);
  // Becomes a copy of other.
  void Assign(const TVornUtilityApps& other) {
    if (&other == this) return;
    Clear();
    AppendCopies(other);
  }
  // The first application whose caption equals caption, letter case ignored; -1 when none.
  int IndexOfCaption(std::string_view caption) const;

  // Empties the list first.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section) const;
};

// Starts programFile with address as its one argument (so an address with blanks arrives whole),
// in the program's own folder, without waiting. Raises EVornOSError with the text
// "Failed to execute "<programFile>".  (Error Code <errno>). Please check your settings." when
// it cannot be started.
void LaunchApplication(const std::string& programFile, const std::string& address);

// The "Browse with" choice over a link: the browser is the first whose caption matches caption
// (letter case ignored); it is given serverBase + address when the project has fetched the link,
// so it shows the stored copy, else the live address. A launch that fails is shown as an error
// message titled "Unable to launch browser"; a caption that matches no browser starts nothing.
// Interface thread.
void BrowseWith(const TVornUtilityApps& browsers, std::string_view caption,
                const std::string& address, bool fetched, const std::string& serverBase);

}  // namespace tq
