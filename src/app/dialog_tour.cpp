#include "app/dialog_tour.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/auth_form.h"
#include "ui/configure_form.h"
#include "ui/main_window.h"
#include "ui/new_project_form.h"
#include "ui/options_form.h"
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
  return ok;
}

}  // namespace tq
