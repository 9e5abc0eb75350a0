// THelpWindow: the user manual shipped with the program (the "manual" folder of its data),
// shown in the embedded browser with Back, Forward and Contents. F1 anywhere opens the page about
// the window in front. Interface thread only.
#pragma once

#include <string>

#include <QWidget>

class QKeyEvent;

namespace tq {

class TProjectBrowser;

// The folder of the manual's pages, without a trailing slash; empty when none was shipped.
std::string ManualFolder();

// The manual page ("options.html") about the window front; the contents ("index.html") for a
// window it has no page for.
std::string HelpPageFor(QWidget* front);

class THelpWindow : public QWidget {
 public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows page of the manual; a page that is not there shows a line that says so.
  void ShowPage(const std::string& page);
  TProjectBrowser& Browser() const { return *m_browser; }

 private:
  TProjectBrowser* m_browser = nullptr;
};

// Opens page in the help window, raised; a window opened from a dialog belongs to that dialog
// (so it takes input while the modal dialog runs) and goes with it.
THelpWindow* ShowManual(const std::string& page, QWidget* from);

// The help window shown last; null when none is open.
THelpWindow* OpenHelpWindow();

// F1 in any window of the program opens the page about it; a window that handles F1 itself
// (the main window's Contents command) is left to do so.
void InstallHelpKey(QWidget* handledBy);

}  // namespace tq
