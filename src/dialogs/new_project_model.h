// The logic of the new project dialog ("Other ..."), without widgets: a page of project types
// and a page of templates, the title and address boxes, the three build switches, and when OK
// may be pressed. The caller reads the result and makes the project. Interface thread only.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

class TVornTemplates;

enum TNewProjectPage : int { npStandard = 0, npTemplate = 1 };
enum TNewProjectType : int { nptBlank = 0, nptWizard = 1 };

inline constexpr std::array<std::string_view, 2> kNewProjectTypes = {"Blank Project", "Wizard"};

class TNewProjectModel {
 public:
  explicit TNewProjectModel(TVornTemplates& templates);

  TNewProjectPage Page = npStandard;
  int TypeIndex = -1;      // in kNewProjectTypes; -1 none
  int TemplateIndex = -1;  // in TemplateNames(); -1 none
  std::string Title = "Untitled";
  std::string Url = "http://";
  bool BuildAllTree = false, BuildIgnored = false, BuildEmails = false;

  // The templates' names as listed when the dialog was shown or last refilled.
  const std::vector<std::string>& TemplateNames() const { return m_names; }
  void RefillTemplates();

  // "Project type : " with the selected type, or "none".
  std::string TypeLabel() const;
  // The selected template's name, or "none".
  std::string TemplateLabel() const;
  // The shown page has a selection and the address is valid.
  bool OkEnabled() const;

  // Asks "Do you want to delete NAME ?" for the selected template and deletes it with its file
  // on Yes; the list is refilled in every case.
  void DeleteTemplate();

 private:
  TVornTemplates& m_templates;
  std::vector<std::string> m_names;
};

}  // namespace tq
