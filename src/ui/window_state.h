// TWindowState: how the user left the main window and its panes, remembered in the application
// settings in a section of its own ("Window"): the window's normal size and position, whether it
// was maximised, the project window's splitters, the link lists' and the find dialog's column
// widths. An empty list means "never saved": the panes keep their own sizes. Interface thread.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "ui/link_list_model.h"

namespace tq {

class TVornCustomIniFile;

inline constexpr std::string_view kWindowSection = "Window";

struct TWindowState {
  int Left = 0, Top = 0, Width = 0, Height = 0;  // Width 0: never saved
  bool Maximized = false;
  std::vector<int> OuterSplit, InnerSplit;  // lists under the top panes; tree beside the browser
  std::array<std::vector<int>, kLinkListKinds> Columns;
  std::vector<int> FindColumns;

  // Reads the section; what is missing or malformed stays empty (0 for the window's figures).
  void LoadFromIni(const TVornCustomIniFile& ini);
  // Writes the section anew.
  void SaveToIni(TVornCustomIniFile& ini) const;
};

// "500,220" and back; a list with anything but non-negative numbers reads as empty.
std::string SizesText(const std::vector<int>& sizes);
std::vector<int> SizesFromText(std::string_view text);

}  // namespace tq
