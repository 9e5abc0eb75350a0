// The logic of the two project wizards, without widgets: the new-project wizard that confirms a
// new project's address and basic settings (optionally with a template), and the project wizard
// that walks an existing project through the same settings and writes them itself. Their pages
// follow a table per wizard; which pages exist decides where Next and Back go.
//
// The two wizards read their file-type boxes in opposite ways, as users of each have learnt:
// in the new-project wizard a checked box downloads its type, in the project wizard a checked
// box skips it. Interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/crawl_settings.h"

namespace tq {

class TVornConfirmations;

enum TWizardPage : uint8_t {
  wpWelcome,
  wpAddress,
  wpTemplate,
  wpLevel,
  wpFileTypes,
  wpLocation,
  wpNextStep,
};

// The location choices, in the order the page lists them.
enum TWizardLocation : uint8_t { wlStartingUrl, wlStartingServer, wlAnyLocation };
// What to do after the wizard, in the order the last page lists them.
enum TWizardNextStep : uint8_t { wnDownloadNow, wnDownloadLater, wnAdvanced };

inline constexpr int kWizardLevelMax = 100;

class TWizardModel {
 public:
  // The new-project wizard; withTemplates offers the template page, startDownload preselects
  // "Download the Project now".
  static TWizardModel NewProject(bool withTemplates, bool startDownload);
  // The project wizard, filled from a project's settings.
  static TWizardModel ForProject(const TVornCrawlSettings& settings);

  std::string Address, Name, TemplateName;
  int Level = 3;
  bool SkipTypes = false;  // "Skip loading the following file types :"
  bool Graphics = true, Audio = true, Video = false, Archive = false;
  int Location = wlStartingUrl;    // a TWizardLocation
  int NextStep = wnDownloadLater;  // a TWizardNextStep

  TWizardPage Page() const { return m_pages[m_index]; }
  const std::vector<TWizardPage>& Pages() const { return m_pages; }
  void Next();
  void Back();

  std::string_view Title() const { return m_checkedSkips ? "Wizard" : "New Project"; }
  std::string_view Subtitle() const;
  bool TitleBarVisible() const { return Page() != wpWelcome; }
  bool BackEnabled() const { return m_index > 0; }
  bool NextEnabled() const;  // on the address page only for a valid address
  // "< &Back", "&Next >" and "&Cancel" show before the last page, "&Finish" only on it.
  bool NavigationVisible() const { return !OnLastPage(); }
  bool FinishVisible() const { return OnLastPage(); }
  bool TypeBoxesEnabled() const { return SkipTypes; }
  // The location page's two labels: the address's server, and its server with its folder.
  std::string ServerLabel() const;
  std::string FolderLabel() const;

  // Closing without Finish, or any close of the project wizard: true when the confirmation
  // switch is off or the user agrees.
  bool ConfirmClose(const TVornConfirmations& confirmations) const;

  // Writes address, name, level, file types and location into settings (the project wizard's
  // Finish, or the main window with the new-project wizard's result).
  void Apply(TVornCrawlSettings& settings) const;

 private:
  TWizardModel(std::vector<TWizardPage> pages, bool checkedSkips);
  bool OnLastPage() const { return m_index + 1 == m_pages.size(); }

  std::vector<TWizardPage> m_pages;
  size_t m_index = 0;
  bool m_checkedSkips;
};

}  // namespace tq
