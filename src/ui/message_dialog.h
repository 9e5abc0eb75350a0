// The program's message box: a dialog of our own with a coloured title panel above the message,
// an icon of the kind asked for and one button per bit of the button set, laid out in dialog
// units of the dialog's font. Interface thread only.
#pragma once

#include <string>

#include <QDialog>

#include "platform/dialog_service.h"

class QLabel;

namespace tq {

class TMessageDlgForm : public QDialog {
 public:
  TMessageDlgForm(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                  const std::string& title, int helpContext, QWidget* parent = nullptr);

  // The pressed button's TModalResult; mrCancel when the dialog was closed otherwise.
  int Result() const { return m_result; }
  int HelpContext() const { return m_helpContext; }

 private:
  int m_result = mrCancel;
  int m_helpContext = 0;
};

// Shows the message modally and returns the pressed button's TModalResult.
int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                   const std::string& title, int helpContext = 0);

}  // namespace tq
