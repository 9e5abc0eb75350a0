// The main window's find-in-lists dialog and the export wizard, each for the active project.
#include <QHeaderView>
#include <QTreeWidget>

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
    QHeaderView* header = form.Results()->header();
    const std::vector<int>& widths = m_windowState.FindColumns;
    if (static_cast<int>(widths.size()) == header->count()) {
      for (int c = 1; c < header->count(); ++c) header->resizeSection(c, widths[size_t(c)]);
    }
    const int result = ExecModal(form);
    m_windowState.FindColumns.clear();
    for (int c = 0; c < header->count(); ++c)
      m_windowState.FindColumns.push_back(header->sectionSize(c));
    if (result != QDialog::Accepted) return;
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
