// TLoadForm: the progress window shown while a project file loads. It is shown without a nested
// event loop of its own: the loader already keeps the interface thread's loop turning, so the
// window blocks input to the others while timers and relayed progress go on. Interface thread.
#pragma once

#include <string>

#include <QDialog>

#include "storage/document.h"

class QProgressBar;

namespace tq {

class TLoadForm : public QDialog {
 public:
  explicit TLoadForm(QWidget* parent = nullptr);

  // Shows the window, application-modal, and returns at once.
  void ShowModal();
  void SetProgress(int percent);
  int Progress() const;
  QProgressBar* Gauge() const { return m_gauge; }
  // Shows text through the program's message dialog (titled by the kind of failure), then closes.
  void ShowError(TFileError error, const std::string& text);
  // Closes with cancel; errors while closing are ignored.
  void CloseForm();

 private:
  QProgressBar* m_gauge = nullptr;
};

// The title of a load failure's message.
const char* LoadErrorTitle(TFileError error);

}  // namespace tq
