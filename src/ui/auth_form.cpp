#include "ui/auth_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/login_prompt.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {

TVornAuthForm::TVornAuthForm(const TLoginRequest& request, QWidget* parent)
    : QDialog(parent), m_request(request) {
  setObjectName(QStringLiteral("AuthForm"));
  setWindowTitle(ToQ(request.Caption));
  auto* layout = new QVBoxLayout(this);
  AddHeading(layout, QStringLiteral("Authentication required"));
  layout->addWidget(new QLabel(QStringLiteral("You need to login to access this server")));
  QStringList lines;
  for (const std::string& line : request.Parameters) lines << ToQ(line);
  auto* parameters = new QLabel(lines.join(QLatin1Char('\n')));
  parameters->setObjectName(QStringLiteral("parameters"));
  layout->addWidget(parameters);

  auto* userRow = new QHBoxLayout();
  m_user = new QComboBox();
  userRow->addWidget(CaptionLabel(QStringLiteral("&User name"), m_user));
  m_user->setEditable(true);
  for (const std::string& name : LoginUserNames(request)) m_user->addItem(ToQ(name));
  m_user->setCurrentIndex(-1);
  userRow->addWidget(m_user);
  layout->addLayout(userRow);
  auto* passwordRow = new QHBoxLayout();
  m_password = new QLineEdit();
  passwordRow->addWidget(CaptionLabel(QStringLiteral("&Password"), m_password));
  m_password->setEchoMode(QLineEdit::Password);
  passwordRow->addWidget(m_password);
  layout->addLayout(passwordRow);
  m_save = new QCheckBox(QStringLiteral("Save the password"));
  m_doNotPrompt = new QCheckBox(QStringLiteral("Do not prompt for password"));
  layout->addWidget(m_save);
  layout->addWidget(m_doNotPrompt);
  connect(m_user, &QComboBox::activated, this, [this](int index) {
    m_password->setText(ToQ(LoginPasswordFor(m_request, FromQ(m_user->itemText(index)))));
  });

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  auto* ok = new QPushButton(QStringLiteral("&Ok"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TLoginAnswer TVornAuthForm::Answer() const {
  TLoginAnswer answer;
  answer.Accepted = result() == QDialog::Accepted;
  if (!answer.Accepted) return answer;
  answer.User = FromQ(m_user->currentText());
  answer.Password = FromQ(m_password->text());
  answer.SavePassword = m_save->isChecked();
  answer.DoNotPrompt = m_doNotPrompt->isChecked();
  return answer;
}

TLoginAnswer RunAuthForm(const TLoginRequest& request) {
  TVornAuthForm form(request, QApplication::activeWindow());
  ExecModal(form);
  return form.Answer();
}

}  // namespace tq
