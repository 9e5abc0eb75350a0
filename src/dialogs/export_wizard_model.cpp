// The export wizard's page table, its files and the export it runs.
#include "dialogs/export_wizard_model.h"

#include <filesystem>
#include <utility>

#include "engine/download.h"
#include "export/link_list_file.h"
#include "platform/dialog_service.h"
#include "platform/shell_folders.h"
#include "storage/document.h"
#include "storage/templates.h"

namespace tq {
namespace {

constexpr int kFirstPages[kExportStartModes] = {
    epWelcome, epLinks, epEmails, epKinds, epDestination, epDestination, epDestination, epTemplate};

// The template name a project file suggests: its name up to the first ".", then ".etpl".
std::string DefaultTemplateName(const TVornDocument* document) {
  if (document == nullptr) return std::string(kTemplateExtension);
  std::string name = document->DocName();
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return name.substr(0, name.find('.')) + std::string(kTemplateExtension);
}

// The lists go to the user's documents folder unless the user picks another, and a fresh account
// may not have that folder yet: it is made when a list is first written there.
bool SaveList(const std::string& file, const std::vector<std::string>& lines) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  const std::string personal = GetSpecialFolder(sfPersonal);
  if (!personal.empty() && parent == std::filesystem::path(personal)) {
    std::error_code ignored;
    std::filesystem::create_directories(parent, ignored);
  }
  return SaveTextLines(file, lines);
}

}  // namespace

// What the link-list thread shares with the wizard.
struct TExportWizardModel::TLinksRun {
  std::atomic<bool> Stop{false};
  bool Saved = false;  // written by the thread, read by its end handler
};

TExportWizardModel::TExportWizardModel(TVornDownload& download, TVornDocument* document,
                                       int startMode)
    : m_download(download),
      m_document(document),
      m_startMode(startMode >= 0 && startMode < kExportStartModes ? startMode : 0),
      m_page(FirstPage(m_startMode)) {
  const std::string personal = GetSpecialFolder(sfPersonal);
  LinksFile = personal + "/links.txt";
  EmailsFile = personal + "/emails.txt";
  TemplateName = DefaultTemplateName(document);
  m_manager.SetVornDownload(&download);
  WireManager();
  Enter(m_page);
}

TExportWizardModel::~TExportWizardModel() {
  OnChange = nullptr;
  if (m_links) m_links->Stop = true;
  m_linksThread.Stop();
}

int TExportWizardModel::FirstPage(int startMode) {
  return startMode >= 0 && startMode < kExportStartModes ? kFirstPages[startMode] : epWelcome;
}

std::string_view TExportWizardModel::Title(int page) {
  switch (page) {
    case epWhat:
      return "Select what do you want to export.";
    case epObjects:
      return "Select project Objects that you want to export.";
    case epLinks:
      return "Select the links that you want to export.";
    case epLinksFile:
      return "Where do you want to save the results?";
    case epLinksRunning:
      return "Please wait while the links are being processed.";
    case epEmails:
      return "Check the addresses that you want to export.";
    case epEmailsFile:
      return "Where do you want to save the selected emails.";
    case epKinds:
      return "What file types do you want to export?";
    case epPagesFolder:
      return "Where do you want to save selected pages?";
    case epType:
      return "Choose destination type.";
    case epDestination:
      return "Select where do you want to save.";
    case epRunning:
      return "The wizard is now completing the job.";
    case epTemplate:
      return "Select the teplate name.";
    case epDone:
      return "Tarnquill has finished your request.";
    default:
      return "";  // the welcome page has no title panel
  }
}

bool TExportWizardModel::BackEnabled() const {
  switch (m_page) {
    case epWelcome:
    case epLinksRunning:
    case epRunning:
    case epDone:
      return false;
    case epDestination:
      // Reached through the destination type only when the wizard did not open on it.
      return m_startMode <= 3;
    default:
      return m_startMode == 0 || m_page != FirstPage(m_startMode);
  }
}

bool TExportWizardModel::NextEnabled() const {
  switch (m_page) {
    case epLinksRunning:
    case epRunning:
    case epDone:
      return false;
    case epPagesFolder:
      return !Folder.empty();
    case epDestination:
      return !Destination().empty();
    case epTemplate:
      return !TemplateName.empty();
    default:
      return true;
  }
}

void TExportWizardModel::Next() {
  if (!NextEnabled()) return;
  switch (m_page) {
    case epWelcome:
      GoTo(epWhat);
      break;
    case epWhat:
      GoTo(What == ewEntire ? epType : What == ewTemplate ? epTemplate : epObjects);
      break;
    case epObjects:
      GoTo(Objects == eoEmails ? epEmails : Objects == eoPages ? epKinds : epLinks);
      break;
    case epLinks:
      GoTo(epLinksFile);
      break;
    case epLinksFile:
      GoTo(epLinksRunning);
      break;
    case epEmails: {
      bool any = false;
      for (const TExportEmailRow& row : Emails) any = any || row.Checked;
      if (!any) {
        DialogService().ShowMessageDlg("Must to select at least one email address", mdiWarning,
                                       mbOk, "Nothing selected", 0);
        return;
      }
      GoTo(epEmailsFile);
      break;
    }
    case epEmailsFile: {
      std::vector<std::string> lines;
      for (const TExportEmailRow& row : Emails) {
        if (row.Checked) lines.push_back(row.Address);
      }
      if (!SaveList(EmailsFile, lines)) {
        DialogService().ShowMessageDlg("Unable to save emails to \"" + EmailsFile + "\" file",
                                       mdiError, mbOk, "Error", 0);
        return;
      }
      GoTo(epDone);
      break;
    }
    case epKinds:
      if (Kinds.none()) {
        DialogService().ShowMessageDlg("You have selected nothing to save", mdiWarning, mbOk,
                                       "Nothing Selected", 0);
        return;
      }
      m_manager.FilesKind = Kinds;
      m_manager.StorageType = estFolder;
      GoTo(epPagesFolder);
      break;
    case epPagesFolder:
      // The field may have been typed: it is the destination, a folder ends in "/".
      m_manager.SetDestination(Folder.back() == '/' ? Folder : Folder + "/");
      GoTo(epRunning);
      break;
    case epType:
      GoTo(epDestination);
      break;
    case epDestination:
      GoTo(epRunning);
      break;
    case epTemplate:
      if (m_document == nullptr || !m_document->SaveAsTemplate(TemplateName)) {
        DialogService().ShowMessageDlg(
            "Unable to copy the settings to template library.Please try with a different name !",
            mdiError, mbOk, "Error", 0);
        return;
      }
      GoTo(epDone);
      break;
    default:
      break;
  }
}

void TExportWizardModel::Back() {
  if (!BackEnabled()) return;
  switch (m_page) {
    case epWhat:
      GoTo(epWelcome);
      break;
    case epObjects:
    case epType:
    case epTemplate:
      GoTo(epWhat);
      break;
    case epLinks:
    case epEmails:
    case epKinds:
      GoTo(epObjects);
      break;
    case epLinksFile:
      GoTo(epLinks);
      break;
    case epEmailsFile:
      GoTo(epEmails);
      break;
    case epPagesFolder:
      GoTo(epKinds);
      break;
    case epDestination:
      GoTo(epType);
      break;
    default:
      break;
  }
}

bool TExportWizardModel::Cancel() {
  if (!m_manager.Running()) return true;
  m_manager.Cancel();
  return false;
}

void TExportWizardModel::GoTo(int page) {
  m_page = page;
  Enter(page);
  Changed();
}

void TExportWizardModel::Enter(int page) {
  switch (page) {
    case epLinksRunning:
      if (!m_links) StartLinksThread();
      break;
    case epEmails:
      Emails.clear();
      {
        TVornBaseLinks& links = m_download.EmailLinks();
        TVornReadGuard guard(links.Lock());
        for (int i = 0; i < links.Count(); ++i) {
          const TVornLinkPtr link = links.Get(i);
          Emails.push_back({link->GetMailAddress(), link->Level, link->Page(), true});
        }
      }
      break;
    case epDestination:
      m_manager.FilesKind = kAllDeployFileKinds;
      switch (m_startMode) {
        case 4:
          m_manager.StorageType = estEbook;
          break;
        case 5:
          m_manager.StorageType = estFolder;
          break;
        case 6:
          m_manager.StorageType = estZip;
          break;
        default:
          m_manager.StorageType = DestinationType == edtEbook ? estEbook
                                  : DestinationType == edtZip ? estZip
                                                              : estFolder;
      }
      break;
    case epRunning:
      m_manager.Start();
      break;
    default:
      break;
  }
}

void TExportWizardModel::BrowseDestination() {
  if (m_page == epPagesFolder) m_manager.StorageType = estFolder;
  if (m_manager.ChooseDestination() && m_page == epPagesFolder) Folder = Destination();
  Changed();
}

std::vector<std::string> TExportWizardModel::TemplateNames() const {
  std::vector<std::string> names;
  TVornTemplates* templates = m_document != nullptr ? m_document->Templates() : nullptr;
  if (templates == nullptr) return names;
  for (int i = 0; i < templates->Count(); ++i) names.push_back(templates->Items(i).Name());
  return names;
}

bool TExportWizardModel::DeleteTemplate(const std::string& name) {
  TVornTemplates* templates = m_document != nullptr ? m_document->Templates() : nullptr;
  const int index = templates != nullptr ? templates->IndexOf(name) : -1;
  if (index < 0) return false;
  if (DialogService().ShowMessageDlg("Are you sure you want to delete \"" + name + "\" ?",
                                     mdiConfirmation, mbYes | mbNo, "Delete", 0) != mrYes) {
    return false;
  }
  templates->Delete(index, true);
  Changed();
  return true;
}

void TExportWizardModel::StartLinksThread() {
  m_links = std::make_shared<TLinksRun>();
  std::vector<TVornLinkList> ticked;
  for (size_t i = 0; i < kLinkListHeaders.size(); ++i) {
    if (Lists[i]) ticked.push_back(kLinkListHeaders[i].first);
  }
  m_status.clear();
  m_progress = 0;
  m_linksThread.Start(
      [this, run = m_links, ticked, file = LinksFile](TVornBackgroundThread& thread) {
        int shown = -1;  // one hand-over per percent, not per link
        const auto progress = [&](int percent) {
          if (percent == shown) return;
          shown = percent;
          thread.Queue([this, percent] {
            m_progress = percent;
            Changed();
          });
        };
        // A failure to gather the lines goes to the sink of unhandled errors and, as nothing
        // was saved, the user is told so below.
        const std::vector<std::string> lines =
            LinkListLines(m_download, ticked, progress, &run->Stop);
        run->Saved = !run->Stop && SaveList(file, lines);
      },
      [this, run = m_links, file = LinksFile] {
        if (run->Saved) {
          GoTo(epDone);
          return;
        }
        // Finishing would claim a file that is not there: the user picks another one instead.
        m_links.reset();
        DialogService().ShowMessageDlg("Unable to save links to \"" + file + "\" file", mdiError,
                                       mbOk, "Error", 0);
        GoTo(epLinksFile);
      });
}

void TExportWizardModel::WireManager() {
  const auto status = [this](const char* text, bool resetProgress) {
    m_status = text;
    if (resetProgress) m_progress = 0;
    Changed();
  };
  m_manager.OnBegin = [this, status](TVornDeployManager&) {
    m_cancelEnabled = true;
    m_progressVisible = true;
    status("Working ...", true);
  };
  m_manager.OnBeginIndex = [status](TVornDeployManager&) {
    status("Creating files index ...", true);
  };
  m_manager.OnProgressIndex = [this](TVornDeployManager&, int percent) {
    m_progress = percent;
    Changed();
  };
  m_manager.OnEndIndex = [status](TVornDeployManager&) { status("Files index ready.", false); };
  m_manager.OnBeginSave = [this, status](TVornDeployManager&) {
    m_fileCaption = "File :";
    status("Saving files ....", true);
  };
  m_manager.OnSaveProgress = [this](TVornDeployManager&, const TVornDepFile& file, int percent) {
    m_progress = percent;
    m_fileLine = file.LocalPath;
    Changed();
  };
  m_manager.OnEndSave = [status](TVornDeployManager&) {
    status("Files copied. Finishing all tasks", false);
  };
  m_manager.OnCustomAction = [this](TVornDeployManager&, const std::string& description,
                                    int percent) {
    m_status = description;
    m_fileCaption.clear();
    m_fileLine.clear();
    m_progressVisible = false;
    m_cancelEnabled = percent >= 0;
    Changed();
  };
  m_manager.OnEnd = [this](TVornDeployManager&) {
    m_status = "Done.";
    m_cancelEnabled = true;
    GoTo(epDone);
  };
}

void TExportWizardModel::Changed() {
  if (OnChange) OnChange();
}

}  // namespace tq
