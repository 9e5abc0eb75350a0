// The screenshot tour of `tarnquill --screenshots FOLDER FILE.web`: opens the project, and writes
// PNG pictures of the main window (trees and lists, another list, the browser showing the
// starting page, then each dialog, an update and a crawl in progress, the manual) into FOLDER,
// then ends the program. It shows a reviewer the
// window without a desktop.
#pragma once

#include <string>

namespace tq {

class TMainForm;

// Runs on the event loop; quits the application with 0 when every picture was written.
void StartScreenTour(TMainForm& window, const std::string& projectFile, const std::string& folder);

}  // namespace tq
