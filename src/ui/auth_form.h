// TVornAuthForm: the login prompt shown when a server asks for credentials that the project does
// not have. Its caption is the server; it offers the known user names and fills in the password
// of the first credential with the chosen name. Interface thread only.
#pragma once

#include <QDialog>

#include "platform/dialog_service.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tq {

class TVornAuthForm : public QDialog {
 public:
  explicit TVornAuthForm(const TLoginRequest& request, QWidget* parent = nullptr);

  QComboBox* UserBox() const { return m_user; }
  QLineEdit* PasswordBox() const { return m_password; }
  // What the boxes hold; Accepted only after "&Ok".
  TLoginAnswer Answer() const;

 private:
  TLoginRequest m_request;
  QComboBox* m_user = nullptr;
  QLineEdit* m_password = nullptr;
  QCheckBox* m_save = nullptr;
  QCheckBox* m_doNotPrompt = nullptr;
};

// Shows the prompt modally; a cancelled prompt answers with Accepted false.
TLoginAnswer RunAuthForm(const TLoginRequest& request);

}  // namespace tq
