// The main window's find-in-lists dialog and the export wizard, each for the active project.
#include "ui/dialog_kit.h"
#include "ui/export_wizard_form.h"
#include "ui/find_file_form.h"
#include "ui/main_window.h"
#include "ui/project_window.h"

namespace tq {

void TMainForm::WireSearchAndExport() {
  On("EditFindFilesAndFolder", [this] {
    TWWWDocForm* window = Active();
    if (window == nullptr) return;
    TFindFileForm form(window->Engine(), window->Engine().General().ProjectName(), this);
    if (ExecModal(form) != QDialog::Accepted) return;
    const std::string url = form.SelectedUrl();
    // The project may have closed meanwhile.
    if (!url.empty() && IsOpenProject(window)) window->GoToFile(url);
  });
  // Each command opens the wizard on the page of its start mode.
  const char* commands[] = {"ToolsExport", "ExportLinks",  "ExportEmails",  "ExportPages",
                            "ExportCHM",   "ExportFolder", "ExportArchive", "SaveProjSettings"};
  for (int mode = 0; mode < kExportStartModes; ++mode) {
    On(commands[mode], [this, mode] {
      TWWWDocForm* window = Active();
      if (window == nullptr) return;
      TExportForm wizard(window->Engine(), &window->Document(), mode, &m_options, this);
      wizard.OnNotice = [this](const QString& title, const QString& text) {
        ShowBalloon(title, text);
      };
      ExecModal(wizard);
    });
  }
}

}  // namespace tq
