#include "ui/gui_dialog_service.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include "ui/auth_form.h"
#include "ui/message_dialog.h"
#include "ui/modal_window_form.h"
#include "ui/qt_text.h"
#include "ui/trouble_shooter_form.h"

namespace tq {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

int TGuiDialogService::ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                                      const std::string& title, int helpContext) {
  return tq::ShowMessageDlg(text, icon, buttons, title, helpContext);
}

TLoginAnswer TGuiDialogService::PromptLogin(const TLoginRequest& request) {
  return RunAuthForm(request);
}

std::string TGuiDialogService::BrowseForFolder(const std::string& title, int) {
  return PathFromQ(QFileDialog::getExistingDirectory(QApplication::activeWindow(), ToQ(title)));
}

std::string TGuiDialogService::PromptSaveFile(const std::string& title,
                                              const std::string& initialPath,
                                              const std::string& filter) {
  // Qt's own dialog asks before replacing an existing file.
  return PathFromQ(QFileDialog::getSaveFileName(QApplication::activeWindow(), ToQ(title),
                                                PathToQ(initialPath), QtFileFilter(filter)));
}

int TGuiDialogService::ShowModalWindow(TModalWindow& window) {
  return RunModalWindow(window);
}

void TGuiDialogService::Beep() {
  QApplication::beep();
}

int TGuiDialogService::ShowTroubleShooter(const std::string& topic, bool& dontShowAgain) {
  return RunTroubleShooter(topic, dontShowAgain);
}

}  // namespace tq
