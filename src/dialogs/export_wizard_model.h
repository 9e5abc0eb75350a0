// TExportWizardModel: what the export wizard shows and does, without widgets. It walks the
// wizard's pages (which page a start mode opens, where Next and Back lead, which buttons are
// usable), keeps the user's choices, writes the link-list and e-mail files, saves a template and
// runs the export manager, turning its events into the texts of the progress page.
//
// Threads: interface thread only, which must run an event loop (the link-list thread and the
// export manager hand their progress to it). Messages go through the dialog service. OnChange
// runs after every change of what the wizard shows.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/deploy_manager.h"
#include "foundation/background_thread.h"

namespace tq {

class TVornDocument;

enum TExportPage : int {
  epWelcome = 0,
  epWhat = 1,          // selected objects, entire project or settings
  epObjects = 2,       // links, e-mails or pages
  epLinks = 3,         // which link lists
  epLinksFile = 4,     // the link-list file
  epLinksRunning = 5,  // the link-list thread writes
  epEmails = 6,        // which addresses
  epEmailsFile = 7,    // the e-mail file
  epKinds = 8,         // which kinds of documents
  epPagesFolder = 9,   // the folder for them
  epType = 11,         // e-book, folder or ZIP
  epDestination = 12,  // where the entire project goes
  epRunning = 13,      // the export runs
  epTemplate = 14,     // the template name
  epDone = 15,
};

// Choices of page 1 and page 2 and page 11, in the order their buttons are shown.
enum TExportWhat : int { ewSelected, ewEntire, ewTemplate };
enum TExportObjects : int { eoLinks, eoEmails, eoPages };
enum TExportDestinationType : int { edtEbook, edtFolder, edtZip };

inline constexpr int kExportStartModes = 8;
inline constexpr std::string_view kExportWizardNotice = "The export wizard is ready.";

struct TExportEmailRow {
  std::string Address;
  int Level = 0;
  std::string Page;
  bool Checked = true;
};

class TExportWizardModel {
 public:
  // A wizard for download's project (document: its project document, for the template and the
  // default template name; may be null) opening on the page of startMode (0..7, others as 0).
  TExportWizardModel(TVornDownload& download, TVornDocument* document, int startMode);
  // Stops the link-list thread and a running export without asking.
  ~TExportWizardModel();
  TExportWizardModel(const TExportWizardModel&) = delete;
  TExportWizardModel& operator=(const TExportWizardModel&) = delete;

  static int FirstPage(int startMode);
  static std::string_view Title(int page);

  int StartMode() const { return m_startMode; }
  int Page() const { return m_page; }

  bool BackEnabled() const;
  bool NextEnabled() const;
  // Back, Next and Cancel give way to Finish on the last page.
  bool Finished() const { return m_page == epDone; }
  bool CancelEnabled() const { return m_cancelEnabled; }

  // Goes on as the page's choices say; a page whose choices are incomplete warns and stays.
  void Next();
  void Back();
  // While an export runs: the export manager's Cancel (it asks first). False then: the wizard
  // stays. Otherwise true: the wizard closes.
  bool Cancel();

  // The user's choices.
  int What = ewSelected;
  int Objects = eoLinks;
  std::array<bool, 4> Lists = {true, true, true, true};  // Ready, Queue, Failed, Ignored
  std::string LinksFile;
  std::vector<TExportEmailRow> Emails;  // filled on entering page 6
  std::string EmailsFile;
  TVornDeployFilesKind Kinds = TVornDeployFilesKind().set(edfkText).set(edfkImages);
  std::string Folder;  // page 9, typed or chosen
  int DestinationType = edtFolder;
  std::string TemplateName;

  // The destination field of page 12 (read-only there) and Browse of pages 9 and 12.
  const std::string& Destination() const { return m_manager.Destination(); }
  void BrowseDestination();
  // Asks whether to delete the template of that name and its file; true when it was deleted.
  bool DeleteTemplate(const std::string& name);
  // The template names, as listed on entering page 14.
  std::vector<std::string> TemplateNames() const;

  // The progress page of the export and the link-list thread.
  const std::string& StatusText() const { return m_status; }
  const std::string& FileCaption() const { return m_fileCaption; }
  const std::string& FileLine() const { return m_fileLine; }
  int Progress() const { return m_progress; }
  bool ProgressVisible() const { return m_progressVisible; }

  TVornDeployManager& Manager() { return m_manager; }

  std::function<void()> OnChange;

 private:
  struct TLinksRun;
  void GoTo(int page);
  void Enter(int page);
  void StartLinksThread();
  void WireManager();
  void Changed();

  TVornDownload& m_download;
  TVornDocument* m_document;
  int m_startMode;
  int m_page;
  std::string m_status;
  std::string m_fileCaption;
  std::string m_fileLine;
  int m_progress = 0;
  bool m_progressVisible = true;
  bool m_cancelEnabled = true;
  std::shared_ptr<TLinksRun> m_links;
  TVornBackgroundThread m_linksThread{"link-list thread"};
  TVornDeployManager m_manager;  // last member: destroyed first, its events use the others
};

}  // namespace tq
