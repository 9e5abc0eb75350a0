#include "app/dialog_tour.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "dialup/scheduled_actions.h"
#include "foundation/main_loop.h"
#include "ui/auth_form.h"
#include "ui/configure_form.h"
#include "ui/dialog_kit.h"
#include "ui/export_wizard_form.h"
#include "ui/find_file_form.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/message_dialog.h"
#include "ui/modal_window_form.h"
#include "ui/new_project_form.h"
#include "ui/options_form.h"
#include "ui/project_browser.h"
#include "ui/project_window.h"
#include "ui/stats_form.h"
#include "ui/wizard_form.h"

namespace tq {
namespace {

bool Shoot(QDialog& dialog, const QString& folder, const QString& name) {
  dialog.show();
  QApplication::processEvents();
  const bool ok = dialog.grab().save(QDir(folder).filePath(name), "PNG");
  dialog.hide();
  return ok;
}

// The windows the dial-up layer and the options open through the dialog service, each pictured
// and cancelled as it comes up.
bool ShootDesktopWindows(TMainForm& window, const QString& folder) {
  bool ok = true;
  QString name;
  SetModalHandler([&](QDialog& dialog) {
    if (auto* countdown = dynamic_cast<TModalWindowForm*>(&dialog)) {
      for (int i = 0; i < 5; ++i) countdown->Tick();
    }
    ok = Shoot(dialog, folder, name) && ok;
    return int(QDialog::Rejected);
  });
  {
    TSystemClock clock;
    TVornScheduledActions actions(window.Options(), clock, nullptr);
    name = QStringLiteral("20-countdown.png");
    actions.Disconnect(false);
  }
  name = QStringLiteral("21-troubleshooter.png");
  bool dontShowAgain = false;
  DialogService().ShowTroubleShooter("nocard", dontShowAgain);
  SetModalHandler(nullptr);
  return ok;
}

// The options pages whose switches name what this platform does in place of the services the
// options once named.
bool ShootOptionsPages(TMainForm& window, const QString& folder) {
  TOptionsForm form(window.Options(), {"Mobile broadband", "Office VPN"}, &window);
  const std::pair<TOptionsPage, const char*> pages[] = {
      {opConnection, "22-options-connection.png"}, {opDialUp, "23-options-dial-up.png"},
      {opDisconnect, "24-options-disconnect.png"}, {opIntegration, "25-options-integration.png"},
      {opExport, "26-options-export.png"},
  };
  bool ok = true;
  for (const auto& [page, name] : pages) {
    QTreeWidgetItemIterator it(form.Selector());
    for (; *it != nullptr; ++it) {
      if ((*it)->data(0, Qt::UserRole).toInt() == page) break;
    }
    if (*it != nullptr) form.Selector()->setCurrentItem(*it);
    ok = Shoot(form, folder, QString::fromLatin1(name)) && ok;
  }
  return ok;
}

}  // namespace

bool ShootDialogs(TMainForm& window, TWWWDocForm& project, const QString& folder) {
  TVornCrawlSettings& settings = project.Engine().Settings();
  bool ok = true;
  {
    TConfigureForm form(settings, &window);
    ok = Shoot(form, folder, QStringLiteral("4-properties.png")) && ok;
    form.Selector()->setCurrentItem(form.Node(cpPasswords));
    ok = Shoot(form, folder, QStringLiteral("5-properties-passwords.png")) && ok;
  }
  {
    TStatsForm form(project.Engine(), &window);
    ok = Shoot(form, folder, QStringLiteral("6-statistics.png")) && ok;
  }
  {
    TWizardForm wizard(TWizardModel::ForProject(settings), nullptr, nullptr, nullptr, &window);
    wizard.Model().Next();
    wizard.Model().Next();
    wizard.NextButton()->click();  // shows the file types page with the model's state
    ok = Shoot(wizard, folder, QStringLiteral("7-project-wizard.png")) && ok;
  }
  {
    TWizardModel model = TWizardModel::NewProject(true, false);
    model.Address = "http://www.example.com/docs/";
    model.Name = "Example";
    TWizardForm wizard(std::move(model), &window.Templates(), nullptr, nullptr, &window);
    wizard.NextButton()->click();
    ok = Shoot(wizard, folder, QStringLiteral("8-new-project-wizard.png")) && ok;
  }
  {
    TNewProjectForm form(window.Templates(), &window);
    ok = Shoot(form, folder, QStringLiteral("9-new-project.png")) && ok;
  }
  {
    TOptionsForm form(window.Options(), {}, &window);
    ok = Shoot(form, folder, QStringLiteral("10-options.png")) && ok;
  }
  {
    TVornAuthForm form({"http://www.example.com", {"Basic realm=\"members\""}, {{"ann", "pw"}}},
                       &window);
    ok = Shoot(form, folder, QStringLiteral("11-login.png")) && ok;
  }
  {
    TFindCompilerForm form(&window);
    ok = Shoot(form, folder, QStringLiteral("12-find-compiler.png")) && ok;
  }
  {
    TFindFileForm form(project.Engine(), project.Engine().General().ProjectName(), &window);
    form.KeywordBox()->setText(QStringLiteral("html"));
    form.SearchButton()->click();
    ProcessEventsUntil([&form] { return form.Finder().Idle(); }, Millis(10000));
    ok = Shoot(form, folder, QStringLiteral("13-find-files.png")) && ok;
  }
  {
    TExportForm wizard(project.Engine(), &project.Document(), 0, &window.Options(), &window);
    wizard.NextButton()->click();
    ok = Shoot(wizard, folder, QStringLiteral("14-export-wizard.png")) && ok;
  }
  ok = ShootDesktopWindows(window, folder) && ok;
  ok = ShootOptionsPages(window, folder) && ok;
  {
    // Closing a changed project: Yes closes unsaved, No saves first, Cancel keeps it open.
    TMessageDlgForm prompt("Do you want to close document without save ?", mdiConfirmation,
                           mbYes | mbNo | mbCancel, "Close without save", 0, &window);
    ok = Shoot(prompt, folder, QStringLiteral("27-close-prompt.png")) && ok;
  }
  return ok;
}

bool ShootManual(const QString& folder) {
  THelpWindow* help = ShowManual("index.html", nullptr);
  bool loaded = false;
  QObject::connect(&help->Browser(), &TProjectBrowser::DocumentComplete, help,
                   [&loaded] { loaded = true; });
  ProcessEventsUntil([&loaded] { return loaded; }, Millis(20000));
  ProcessEventsUntil([] { return false; }, Millis(500));
  const bool ok = help->grab().save(QDir(folder).filePath(QStringLiteral("28-manual.png")), "PNG");
  help->close();
  return ok;
}

}  // namespace tq
