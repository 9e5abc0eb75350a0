// The export manager: its thread, the index phase and the hand-over of events and dialogs.
#include "export/deploy_manager.h"

#include <exception>
#include <memory>
#include <vector>

#include "engine/admission.h"
#include "engine/download.h"
#include "foundation/main_loop.h"
#include "foundation/url.h"
#include "platform/shell_folders.h"
#include "storage/content_index.h"
#include "storage/document.h"

namespace tq {
namespace {

constexpr int kFolderPickerFileSystemOnly = 1;

const TVornFileFilters& FilterOf(TVornDownload& download, int kind) {
  switch (kind) {
    case edfkArchive:
      return download.FilterArchiveFiles();
    case edfkAudio:
      return download.FilterAudioFiles();
    case edfkImages:
      return download.FilterImagesFiles();
    case edfkText:
      return download.FilterTextFiles();
    default:
      return download.FilterVideoFiles();
  }
}

std::string WithExtension(std::string fileName, std::string_view extension) {
  const size_t slash = fileName.rfind('/');
  if (fileName.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) {
    fileName += ".";
    fileName += extension;
  }
  return fileName;
}

}  // namespace

TVornDeployManager::TVornDeployManager() = default;

TVornDeployManager::~TVornDeployManager() {
  OnBegin = OnBeginIndex = OnEndIndex = OnBeginSave = OnEndSave = OnEnd = nullptr;
  OnProgressIndex = nullptr;
  OnSaveProgress = nullptr;
  OnCustomAction = nullptr;
  if (m_running) {
    Stop();
    // The thread's last act is to post the end of the export: once that has run, nothing of
    // this export is left in the event queue.
    ProcessEventsUntil([this] { return !m_running; });
  }
  m_thread.Stop();
}

void TVornDeployManager::SetDestination(std::string destination) {
  m_destination = std::move(destination);
}

bool TVornDeployManager::ChooseDestination() {
  std::string chosen;
  switch (StorageType) {
    case estFolder:
      chosen = BrowseForFolder("Choose destination folder", kFolderPickerFileSystemOnly);
      if (!chosen.empty() && chosen.back() != '/') chosen += '/';
      break;
    case estZip:
      chosen = DialogService().PromptSaveFile("Save As", m_destination, "Zip Files|*.zip");
      if (!chosen.empty()) chosen = WithExtension(std::move(chosen), "zip");
      break;
    case estEbook:
      chosen = DialogService().PromptSaveFile("Save As", m_destination,
                                              "Microsoft HTML Help file|*.chm");
      if (!chosen.empty()) chosen = WithExtension(std::move(chosen), "chm");
      break;
  }
  if (chosen.empty() || chosen == m_destination) return false;
  m_destination = std::move(chosen);
  return true;
}

void TVornDeployManager::Start() {
  if (m_running) return;
  m_running = true;
  m_stop = false;

  m_translation = m_download != nullptr ? m_download->LinksTranslation() : TVornLinkTranslation();
  m_reader = m_download != nullptr
                 ? dynamic_cast<TStoredDocumentReader*>(m_download->VornDocument())
                 : nullptr;
  m_folder.Folder = m_destination;
  m_zip.FileName = m_destination;
  m_ebook.FileName = m_destination;
  m_ebook.CompilerPath = HTMLCompiler.FileName;
  m_ebook.FullSearch = HTMLCompiler.FullSearch;
  m_ebook.Title = m_download != nullptr ? m_download->General().ProjectName() : "Untitled";
  m_ebook.CacheFolder = CacheFolder;
  m_storage = StorageType == estZip     ? static_cast<TVornStorageBase*>(&m_zip)
              : StorageType == estEbook ? static_cast<TVornStorageBase*>(&m_ebook)
                                        : static_cast<TVornStorageBase*>(&m_folder);
  m_storage->ResetCancel();
  m_thread.Start([this](TVornBackgroundThread&) { Run(); },
                 [this] {
                   m_render.reset();
                   m_running = false;
                   if (OnEnd) OnEnd(*this);
                 });
}

void TVornDeployManager::Cancel() {
  if (!m_running || m_thread.Finished()) return;
  const int answer = DialogService().ShowMessageDlg(std::string(kCancelExportQuestion),
                                                    mdiConfirmation, mbYes | mbNo, "Stop", 0);
  if (answer != mrYes) return;
  Stop();
  ProcessEventsUntil([this] { return m_thread.Finished(); });
}

void TVornDeployManager::Stop() {
  m_stop = true;
  if (m_storage != nullptr) m_storage->Cancel();
}

void TVornDeployManager::Post(TNotifyEvent TVornDeployManager::*event) {
  m_thread.Queue([this, event] {
    if (this->*event) (this->*event)(*this);
  });
}

void TVornDeployManager::Run() {
  try {
    Post(&TVornDeployManager::OnBegin);
    Post(&TVornDeployManager::OnBeginIndex);
    BuildIndex();
    Post(&TVornDeployManager::OnEndIndex);
    Post(&TVornDeployManager::OnBeginSave);
    if (!m_stop) {
      m_render = std::make_unique<TVornExportRender>(m_files, m_translation);
      m_storage->Save(*this);
    }
    Post(&TVornDeployManager::OnEndSave);
  } catch (const std::exception& e) {
    // Nothing the export does is meant to raise; if something does, the user hears of it and
    // the export ends as usual (anything else goes to the sink of unhandled errors).
    Ask(e.what(), mdiError, mbOk, "Error");
  }
}

bool TVornDeployManager::Exported(const TVornLink& link, const std::string& url) const {
  if (ExtractUrlFileName(url).empty()) return FilesKind[edfkText];
  for (int kind = 0; kind < static_cast<int>(FilesKind.size()); ++kind) {
    if (FilesKind[static_cast<size_t>(kind)] && ClaimsLink(FilterOf(*m_download, kind), link))
      return true;
  }
  return false;
}

void TVornDeployManager::BuildIndex() {
  if (WorkingMode != ewmAll) {
    m_files.MakePathsUnique();
    return;
  }
  m_files.Clear();
  if (m_download == nullptr) return;
  TVornBaseLinks& ready = m_download->ReadyLinks();
  std::vector<TVornLinkPtr> links;
  {
    TVornReadGuard guard(ready.Lock());
    const int count = ready.Count();
    links.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) links.push_back(ready.Get(i));
  }
  int reported = -1;
  for (size_t i = 0; i < links.size() && !m_stop; ++i) {
    std::string url;
    bool exported = false;
    {
      // A crawl may still be running: a link's fields are read under its list's lock.
      TVornReadGuard guard(ready.Lock());
      try {
        url = links[i]->GetUrl();
      } catch (const EVornError&) {
      }
      exported = !url.empty() && Exported(*links[i], url);
    }
    if (exported) {
      m_files.Add(url, m_reader != nullptr ? m_reader->GetDocumentValue(url, kIndexContentType)
                                           : std::string());
    }
    const int percent = RoundPercent(i + 1, links.size());
    if (percent != reported) {
      reported = percent;
      m_thread.Queue([this, percent] {
        if (OnProgressIndex) OnProgressIndex(*this, percent);
      });
    }
  }
  m_files.MakePathsUnique();
}

std::string TVornDeployManager::Output(const TVornDepFile& file) {
  std::string content = m_reader != nullptr ? m_reader->GetDocumentContent(file.Url) : "";
  return m_render->Render(file, std::move(content));
}

void TVornDeployManager::SaveProgress(const TVornDepFile& file, int percent) {
  m_thread.Queue([this, &file, percent] {
    if (OnSaveProgress) OnSaveProgress(*this, file, percent);
  });
}

void TVornDeployManager::CustomAction(const std::string& description, int percent) {
  m_thread.Queue([this, description, percent] {
    if (OnCustomAction) OnCustomAction(*this, description, percent);
  });
}

int TVornDeployManager::Ask(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                            const std::string& title) {
  int answer = mrCancel;
  // Shared with the hand-over, which a stopped export leaves behind.
  auto shared = std::make_shared<int>(mrCancel);
  if (m_thread.Synchronize([shared, text, icon, buttons, title] {
        *shared = DialogService().ShowMessageDlg(text, icon, buttons, title, 0);
      })) {
    answer = *shared;
  }
  return answer;
}

}  // namespace tq
