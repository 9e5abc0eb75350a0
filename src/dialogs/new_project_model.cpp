// The new project dialog's selection and OK rules, and deleting a template from it.
#include "dialogs/new_project_model.h"

#include "foundation/url.h"
#include "platform/dialog_service.h"
#include "storage/templates.h"

namespace tq {

TNewProjectModel::TNewProjectModel(TVornTemplates& templates) : m_templates(templates) {
  RefillTemplates();
}

void TNewProjectModel::RefillTemplates() {
  m_names.clear();
  for (int i = 0; i < m_templates.Count(); ++i) m_names.push_back(m_templates.Items(i).Name());
  if (TemplateIndex >= static_cast<int>(m_names.size())) TemplateIndex = -1;
}

std::string TNewProjectModel::TypeLabel() const {
  const bool chosen = TypeIndex >= 0 && TypeIndex < static_cast<int>(kNewProjectTypes.size());
  return "Project type : " + std::string(chosen ? kNewProjectTypes[TypeIndex] : "none");
}

std::string TNewProjectModel::TemplateLabel() const {
  const bool chosen = TemplateIndex >= 0 && TemplateIndex < static_cast<int>(m_names.size());
  return chosen ? m_names[TemplateIndex] : "none";
}

bool TNewProjectModel::OkEnabled() const {
  const bool selected =
      Page == npStandard ? TypeIndex >= 0 && TypeIndex < static_cast<int>(kNewProjectTypes.size())
                         : TemplateIndex >= 0 && TemplateIndex < static_cast<int>(m_names.size());
  return selected && IsValidUrl(Url);
}

void TNewProjectModel::DeleteTemplate() {
  if (TemplateIndex >= 0 && TemplateIndex < static_cast<int>(m_names.size())) {
    const std::string name = m_names[TemplateIndex];
    if (DialogService().ShowMessageDlg("Do you want to delete " + name + " ?", mdiConfirmation,
                                       mbYes | mbNo, "Delete cofirmation", 0) == mrYes) {
      m_templates.Delete(m_templates.IndexOf(name), true);
      TemplateIndex = -1;
    }
  }
  RefillTemplates();
}

}  // namespace tq
