// TModalWindowForm: the window that draws a TModalWindow whose content the dial-up layer drives
// (the dial-up progress, the countdown before a scheduled disconnect or exit): heading, a group
// with a picture, description, status line and footer, and its "&OK" / "&Cancel" buttons. The
// logic closes it; the frame's close and Esc count as "&Cancel". Interface thread only.
#pragma once

#include <QDialog>

#include "platform/dialog_service.h"

class QLabel;
class QTimer;

namespace tq {

class TModalWindowForm : public QDialog {
 public:
  // window must outlive the form; the form takes its OnChanged for its own lifetime.
  explicit TModalWindowForm(TModalWindow& window, QWidget* parent = nullptr);
  ~TModalWindowForm() override;

  // One tick of the window's timer, as the timer gives it (tests call it in its place).
  void Tick();
  QLabel* StatusLabel() const { return m_status; }
  TModalWindow& Window() const { return m_window; }

  void reject() override;

 private:
  void Refresh();

  TModalWindow& m_window;
  QLabel* m_status = nullptr;
  QTimer* m_timer = nullptr;
};

// The dialog service's ShowModalWindow: runs OnShow, then the form modally until the logic has
// closed the window, and returns its result.
int RunModalWindow(TModalWindow& window);

}  // namespace tq
