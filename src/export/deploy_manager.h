// TVornDeployManager: copies a project's fetched documents out of the project into a folder
// tree, a ZIP file or an e-book. Pages are rendered so that their links lead to the other
// exported files by relative paths (or stay at their online addresses). The work runs on an
// export thread of its own in two phases, building the file index from the Ready list and
// saving, one document at a time.
//
// Threads: create, configure, start, cancel and destroy the manager on the interface thread
// (the thread running the event loop); change its settings only while no export runs. Every
// event reaches its handler on the interface thread, in order, and OnEnd comes last. Dialogs
// the export needs are shown through the dialog service on the interface thread while the export
// thread waits for the answer. A handler must not destroy the manager.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/crawl_settings.h"
#include "export/dep_files.h"
#include "export/export_render.h"
#include "export/storage_ebook.h"
#include "export/storage_folder.h"
#include "foundation/background_thread.h"

namespace tq {

class TVornDownload;
class TStoredDocumentReader;

enum TVornDeployFileKind : uint8_t { edfkArchive, edfkAudio, edfkImages, edfkText, edfkVideo };
// Indexed by TVornDeployFileKind.
using TVornDeployFilesKind = std::bitset<5>;
inline const TVornDeployFilesKind kAllDeployFileKinds = TVornDeployFilesKind().set();

enum TVornStorageType : uint8_t { estFolder, estZip, estEbook };
enum TVornWorkMode : uint8_t { ewmAll, ewmSelected };

inline constexpr std::string_view kCancelExportQuestion =
    "Are you sure you want to cancel this operation";

class TVornDeployManager : private IVornDeployHost {
 public:
  using TNotifyEvent = std::function<void(TVornDeployManager& sender)>;
  using TDeployIndexProgressEvent = std::function<void(TVornDeployManager& sender, int percent)>;
  using TDeploySaveProgressEvent =
      std::function<void(TVornDeployManager& sender, const TVornDepFile& file, int percent)>;
  using TDeployCustomActionEvent =
      std::function<void(TVornDeployManager& sender, const std::string& description, int percent)>;

  // The e-book compiler the application options name; the caller fills it in.
  struct THTMLCompiler {
    std::string FileName;  // empty: no compiler
    bool FullSearch = false;
  };

  TVornDeployManager();
  // Stops a running export without asking and waits for it; no event is delivered afterwards.
  ~TVornDeployManager() override;
  TVornDeployManager(const TVornDeployManager&) = delete;
  TVornDeployManager& operator=(const TVornDeployManager&) = delete;

  // The folder (with a trailing "/"), ZIP file or .chm file the export writes to.
  const std::string& Destination() const { return m_destination; }
  // Sets a destination typed in or given on a command line.
  void SetDestination(std::string destination);
  // Asks for the destination of the current StorageType: the folder picker ("Choose destination
  // folder"), or the save dialog for a ZIP or .chm file (a name without extension gets it). False
  // when the user cancels or picks the folder already chosen; the destination then stays.
  bool ChooseDestination();

  // The project: its Ready list, file filters, link translation, name and stored documents. Null
  // gives an empty export.
  TVornDownload* VornDownload() const { return m_download; }
  void SetVornDownload(TVornDownload* download) { m_download = download; }

  TVornDeployFilesKind FilesKind = kAllDeployFileKinds;
  TVornStorageType StorageType = estFolder;
  // ewmAll builds the file list from the Ready list; ewmSelected exports Files() as the caller
  // filled it.
  TVornWorkMode WorkingMode = ewmAll;
  THTMLCompiler HTMLCompiler;
  // Where the e-book's temporary working folder is made; empty: the user's cache folder.
  std::string CacheFolder;

  TVornDepFiles& Files() { return m_files; }
  const TVornDepFiles& Files() const override { return m_files; }

  // Starts the export thread; does nothing while an export runs.
  void Start();
  // While an export runs, asks "Are you sure you want to cancel this operation" (Yes, No); on Yes
  // the export stops after the file it is writing (what was written stays) and this returns when
  // the export thread has ended, serving the event loop meanwhile.
  void Cancel();
  // True from Start until OnEnd has been delivered.
  bool Running() const { return m_running; }

  TNotifyEvent OnBegin, OnBeginIndex, OnEndIndex, OnBeginSave, OnEndSave, OnEnd;
  TDeployIndexProgressEvent OnProgressIndex;
  TDeploySaveProgressEvent OnSaveProgress;
  TDeployCustomActionEvent OnCustomAction;

 private:
  void Run();
  void BuildIndex();
  void Stop();
  void Post(TNotifyEvent TVornDeployManager::*event);
  bool Exported(const TVornLink& link, const std::string& url) const;

  // IVornDeployHost, on the export thread.
  std::string Output(const TVornDepFile& file) override;
  void SaveProgress(const TVornDepFile& file, int percent) override;
  void CustomAction(const std::string& description, int percent) override;
  int Ask(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
          const std::string& title) override;

  std::string m_destination;
  TVornDownload* m_download = nullptr;
  TVornDepFiles m_files;
  TVornStorageFolder m_folder;
  TVornStorageZip m_zip;
  TVornStorageEbook m_ebook;

  // Taken at Start, so the export keeps what it started with.
  TVornStorageBase* m_storage = nullptr;
  TVornLinkTranslation m_translation;
  TStoredDocumentReader* m_reader = nullptr;
  std::unique_ptr<TVornExportRender> m_render;

  bool m_running = false;                           // interface thread only
  std::atomic<bool> m_stop{false};                  // the export thread is asked to stop
  TVornBackgroundThread m_thread{"export thread"};  // last: stopped before the rest goes
};

}  // namespace tq
