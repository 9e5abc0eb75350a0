// Page flow, filling and applying of the project wizards.
#include "dialogs/wizard_model.h"

#include <array>

#include "foundation/url.h"
#include "options/option_groups.h"

namespace tq {

namespace {

template <class TSettings>
auto AllFilters(TSettings& s) {
  return std::array{&s.FilterTextFiles, &s.FilterImagesFiles, &s.FilterVideoFiles,
                    &s.FilterAudioFiles, &s.FilterArchiveFiles};
}

constexpr std::array<TFileFiltersLocation, 3> kLocations = {fflStartingDirectory, fflStartingServer,
                                                            fflAySite};

}  // namespace

TWizardModel::TWizardModel(std::vector<TWizardPage> pages, bool checkedSkips)
    : m_pages(std::move(pages)), m_checkedSkips(checkedSkips) {}

TWizardModel TWizardModel::NewProject(bool withTemplates, bool startDownload) {
  std::vector<TWizardPage> pages = {wpWelcome,   wpAddress,  wpLevel,
                                    wpFileTypes, wpLocation, wpNextStep};
  if (withTemplates) pages.insert(pages.begin() + 2, wpTemplate);
  TWizardModel model(std::move(pages), false);
  if (startDownload) model.NextStep = wnDownloadNow;
  return model;
}

TWizardModel TWizardModel::ForProject(const TVornCrawlSettings& settings) {
  TWizardModel model({wpWelcome, wpAddress, wpLevel, wpFileTypes, wpLocation, wpNextStep}, true);
  model.Name = settings.General.ProjectName();
  model.Address = settings.General.BaseUrl;
  model.Level = settings.General.LevelLimit;
  bool all = true;
  for (const TVornFileFilters* filter : AllFilters(settings)) all = all && filter->Download;
  model.SkipTypes = !all;
  model.Graphics = !settings.FilterImagesFiles.Download;
  model.Audio = !settings.FilterAudioFiles.Download;
  model.Video = !settings.FilterVideoFiles.Download;
  model.Archive = !settings.FilterArchiveFiles.Download;
  const TFileFiltersLocation first = settings.FilterTextFiles.FileLocation;
  bool same = true;
  for (const TVornFileFilters* filter : AllFilters(settings))
    same = same && filter->FileLocation == first;
  model.Location = wlStartingServer;
  for (size_t i = 0; same && i < kLocations.size(); ++i) {
    if (kLocations[i] == first) model.Location = static_cast<TWizardLocation>(i);
  }
  return model;
}

void TWizardModel::Next() {
  if (!OnLastPage()) ++m_index;
}

void TWizardModel::Back() {
  if (m_index > 0) --m_index;
}

std::string_view TWizardModel::Subtitle() const {
  switch (Page()) {
    case wpWelcome:
      return {};
    case wpAddress:
      return "Project URL and name";
    case wpTemplate:
      return "Select a project template you want to use";
    case wpLevel:
      return m_checkedSkips ? "Limit pages to download by depth level"
                            : "Limit pages to download by the depth level";
    case wpFileTypes:
      return m_checkedSkips ? "File types to download" : "Select File types you want to download";
    case wpLocation:
      return "Location where to download files";
    case wpNextStep:
      return "You have just set up the basic project properties";
  }
  return {};
}

bool TWizardModel::NextEnabled() const {
  if (Page() != wpAddress) return true;
  try {
    return IsValidUrl(Address);
  } catch (const std::exception&) {
    return true;  // an address the check cannot judge does not block the wizard
  }
}

std::string TWizardModel::ServerLabel() const {
  return ExtractUrlServer(Address);
}

std::string TWizardModel::FolderLabel() const {
  return ExtractUrlServer(Address) + "/" + ExtractUrlDir(Address);
}

bool TWizardModel::ConfirmClose(const TVornConfirmations& confirmations) const {
  return confirmations.ConfirmCloseWizard();
}

void TWizardModel::Apply(TVornCrawlSettings& settings) const {
  settings.General.BaseUrl = Address;
  if (Name != settings.General.ProjectName()) settings.General.SetProjectName(Name);
  settings.General.LevelLimit = Level;
  // A checked box downloads its type in the new-project wizard and skips it in the other.
  auto download = [this](bool checked) { return SkipTypes ? checked != m_checkedSkips : true; };
  settings.FilterTextFiles.Download = true;
  settings.FilterImagesFiles.Download = download(Graphics);
  settings.FilterAudioFiles.Download = download(Audio);
  settings.FilterVideoFiles.Download = download(Video);
  settings.FilterArchiveFiles.Download = download(Archive);
  for (TVornFileFilters* filter : AllFilters(settings))
    filter->FileLocation = kLocations.at(static_cast<size_t>(Location));
}

}  // namespace tq
