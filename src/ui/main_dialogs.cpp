// The main window's project and program dialogs: new projects through the new project dialog
// and the new-project wizard, the project wizard, properties and statistics of the active
// project, and the options dialog.
#include <QDialog>

#include "ui/configure_form.h"
#include "ui/dialog_kit.h"
#include "ui/main_window.h"
#include "ui/new_project_form.h"
#include "ui/options_form.h"
#include "ui/project_window.h"
#include "ui/stats_form.h"
#include "ui/wizard_form.h"

namespace tq {

void TMainForm::WireDialogs() {
  On("FileNewProjectOther", [this] { NewProjectOther(); });
  On("FileNewProjectWizard", [this] {
    NewProjectFromAddress({{"http://", "New Project"}, false, false, false, true, true});
  });
  On("ViewWizard", [this] { ViewWizard(); });
  On("ToolsOptions", [this] {
    // The dial-up connections come from the platform's phonebook once dialling is wired in;
    // without one the list is empty and OK stores no connection.
    TOptionsForm form(m_options, {}, this);
    if (ExecModal(form) == QDialog::Accepted) m_options.SaveOptions();
  });
  On("ViewProperties", [this] { ViewProperties(); });
  On("ViewStatus", [this] {
    if (Active() == nullptr) return;
    TStatsForm form(Active()->Engine(), this);
    ExecModal(form);
  });
}

void TMainForm::NewProjectFromAddress(const TNewProjectRequest& request) {
  if (request.Lines.empty()) return;
  TWizardModel model = TWizardModel::NewProject(request.UseTemplate, request.StartDownload);
  model.Address = request.Lines[0];
  if (request.Lines.size() > 1) model.Name = request.Lines[1];
  TWizardForm wizard(std::move(model), &m_templates, nullptr, &m_options.Confirmation, this);
  if (ExecModal(wizard) != QDialog::Accepted) return;
  const TWizardModel& result = wizard.Model();

  TWWWDocForm* window = m_documents.NewDoc();
  TVornDownload& engine = window->Engine();
  if (request.UseTemplate && !result.TemplateName.empty())
    window->Document().ApplyTemplate(result.TemplateName);
  engine.System().SetBuildAllTree(request.BuildAllTree);
  engine.System().SetBuildIgnored(request.BuildIgnored);
  engine.System().SetBuildEmails(request.BuildEmails);
  result.Apply(engine.Settings());
  Dock(window);
  if (result.NextStep == wnDownloadNow) {
    engine.StartDownload();
  } else if (result.NextStep == wnAdvanced) {
    ViewProperties();
  }
}

void TMainForm::NewProjectOther() {
  TNewProjectForm form(m_templates, this);
  if (ExecModal(form) != QDialog::Accepted) return;
  const TNewProjectModel& choice = form.Model();
  if (choice.Page == npStandard) {
    if (choice.TypeIndex == nptBlank) {
      TWWWDocForm* window = m_documents.NewDoc();
      TVornDownload& engine = window->Engine();
      engine.General().SetProjectName(choice.Title);
      engine.General().BaseUrl = choice.Url;
      engine.System().SetBuildAllTree(choice.BuildAllTree);
      engine.System().SetBuildIgnored(choice.BuildIgnored);
      engine.System().SetBuildEmails(choice.BuildEmails);
      Dock(window);
    } else if (choice.TypeIndex >= 0) {
      NewProjectFromAddress({{choice.Url, choice.Title},
                             choice.BuildAllTree,
                             choice.BuildIgnored,
                             choice.BuildEmails,
                             true,
                             true});
    }
    return;
  }
  TWWWDocForm* window = m_documents.NewDoc();
  TVornDownload& engine = window->Engine();
  engine.General().SetProjectName(choice.Title);
  engine.General().BaseUrl = choice.Url;
  if (choice.TemplateIndex >= 0)
    window->Document().ApplyTemplate(choice.TemplateNames().at(choice.TemplateIndex));
  engine.System().SetBuildAllTree(choice.BuildAllTree);
  engine.System().SetBuildIgnored(choice.BuildIgnored);
  engine.System().SetBuildEmails(choice.BuildEmails);
  Dock(window);
}

void TMainForm::ViewWizard() {
  TWWWDocForm* window = Active();
  if (window == nullptr) return;
  TVornDownload& engine = window->Engine();
  TWizardForm wizard(TWizardModel::ForProject(engine.Settings()), nullptr, &engine.Settings(),
                     &m_options.Confirmation, this);
  if (ExecModal(wizard) != QDialog::Accepted) return;
  if (wizard.Model().NextStep == wnDownloadNow) {
    engine.StartDownload();
  } else if (wizard.Model().NextStep == wnAdvanced) {
    ViewProperties();
  }
}

void TMainForm::ViewProperties() {
  if (Active() == nullptr) return;
  TConfigureForm form(Active()->Engine().Settings(), this);
  ExecModal(form);
}

}  // namespace tq
