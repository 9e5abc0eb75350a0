// The project document: working folder, content index, content files, saving and loading.
#include "storage/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "foundation/ansi.h"
#include "foundation/atomic_file.h"
#include "foundation/mem_ini_file.h"
#include "platform/dialog_service.h"
#include "platform/shell_folders.h"
#include "storage/doc_thread.h"
#include "storage/leftovers.h"

namespace tq {
namespace {

constexpr size_t kCopyBlock = 1 << 16;

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Replaces target by a copy of the file open on in (from its start): see ReplaceFile.
bool CopyFileAtomically(int in, const std::string& target, bool durable, TFileSystem& fileSystem) {
  if (in < 0 || ::lseek(in, 0, SEEK_SET) != 0) return false;
  return ReplaceFile(
      target,
      [&](TWritableFile& out) {
        std::string block(kCopyBlock, '\0');
        for (;;) {
          const ssize_t n = ::read(in, block.data(), block.size());
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) return n == 0;
          if (!out.Append(std::string_view(block.data(), static_cast<size_t>(n)))) return false;
        }
      },
      durable, fileSystem);
}

std::string WriteErrorMessage(const std::string& docName) {
  return "Unable to save to save file \"" + docName + "\".Please press OK to Retry.";
}

}  // namespace

std::string DamagedDocumentsMessage(const std::string& docName,
                                    const std::vector<std::string>& damaged) {
  constexpr size_t kListed = 20;
  std::string text = "\"" + docName + "\" was saved, but " + std::to_string(damaged.size()) +
                     " document(s) in it could not be read and are marked as damaged:";
  for (size_t i = 0; i < damaged.size() && i < kListed; ++i) text += "\n" + damaged[i];
  if (damaged.size() > kListed) {
    text += "\n... and " + std::to_string(damaged.size() - kListed) + " more";
  }
  return text;
}

int RoundPercent(uint64_t numerator, uint64_t denominator) {
  if (denominator == 0) return 0;
  const uint64_t scaled = numerator * 100;
  uint64_t q = scaled / denominator;
  const uint64_t twiceRest = 2 * (scaled % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && (q & 1) != 0)) ++q;
  return static_cast<int>(q);
}

TVornDocument::TVornDocument(std::string cacheFolder, std::string personalFolder,
                             TFileSystem& fileSystem)
    : m_personalFolder(std::move(personalFolder)),
      m_random(SeededRandom()),
      m_fileSystem(fileSystem) {
  if (cacheFolder.empty()) cacheFolder = GetSpecialFolder(sfInternetCache);
  if (m_personalFolder.empty()) m_personalFolder = GetSpecialFolder(sfPersonal);
  std::string folder;
  if (!cacheFolder.empty()) {
    // The user's cache folder need not exist yet, nor its parents (a new user, a new
    // XDG_CACHE_HOME): made private, as the folders of its kind are.
    for (size_t slash = cacheFolder.find('/', 1); slash != std::string::npos;
         slash = cacheFolder.find('/', slash + 1))
      ::mkdir(cacheFolder.substr(0, slash).c_str(), 0700);
    ::mkdir(cacheFolder.c_str(), 0700);
    RemoveAbandonedWorkingFolders(cacheFolder);
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const std::string candidate = cacheFolder + "/" + DrawName(m_random, "temp", ".~tmp");
      if (::mkdir(candidate.c_str(), 0700) == 0) {
        m_folderLock = LockWorkingFolder(candidate + "/");
        // Gone: another run starting took it for abandoned before it was locked.
        if (!m_folderLock.Valid() && !Exists(candidate)) continue;
        folder = candidate + "/";
        break;
      }
      if (errno != EEXIST) break;
      m_random = SeededRandom();
    }
  }
  m_jobs = std::make_unique<TVornDocJobs>(std::move(folder), m_fileSystem);
}

TVornDocument::~TVornDocument() {
  const std::string folder = m_jobs->Folder();
  m_jobs.reset();  // the worker ends before its files go
  if (!folder.empty()) DeleteFolderTree(folder.substr(0, folder.size() - 1));
  m_folderLock.Reset();  // only once the folder is gone
}

std::string TVornDocument::DocName() const {
  std::lock_guard lock(m_nameLock);
  return m_docName;
}

void TVornDocument::SetDocName(std::string name) {
  std::lock_guard lock(m_nameLock);
  m_docName = std::move(name);
}

void TVornDocument::SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook onLoadSettings,
                                     TSettingsHook onSaveSettings) {
  OnLoadLink = std::move(onLoadLink);
  OnLoadSettings = std::move(onLoadSettings);
  OnSaveSettings = std::move(onSaveSettings);
}

void TVornDocument::RemoveDocument(std::string_view url) {
  if (url.empty()) return;
  m_changed = true;
  m_jobs->Queue({djRemove, std::string(url), {}, {}, 0});
}

void TVornDocument::SetDocumentStatus(std::string_view url, int status) {
  if (url.empty()) return;
  m_changed = true;
  m_jobs->Queue({djWriteInteger, std::string(url), std::string(kIndexStatus), {}, status});
}

void TVornDocument::SetDocumentValue(std::string_view url, std::string_view key,
                                     std::string_view value) {
  if (url.empty()) return;
  m_changed = true;
  m_jobs->Queue({djWriteString, std::string(url), std::string(key), std::string(value), 0});
}

void TVornDocument::SetDocumentContent(std::string_view url, std::string_view content) {
  if (url.empty()) return;
  m_changed = true;
  // The copy is made before the queue lock is taken, so other writers do not wait for it.
  m_jobs->Queue({djStoreContent, std::string(url), {}, std::string(content), 0});
}

std::string TVornDocument::GetDocumentValue(std::string_view url, std::string_view key) {
  if (url.empty()) return {};
  return m_jobs->ReadString(url, key);
}

std::string TVornDocument::GetDocumentContent(std::string_view url) {
  if (url.empty()) return {};
  return m_jobs->ReadContent(url);
}

std::string TVornDocument::DrawAutosaveName() {
  if (m_personalFolder.empty()) return {};
  ::mkdir(m_personalFolder.c_str(), 0700);
  for (int attempt = 0; attempt < 100000; ++attempt) {
    std::string name = m_personalFolder + "/" + DrawName(m_random, "autosave", ".web");
    if (!Exists(name)) return name;
    m_random = SeededRandom();
  }
  return {};
}

bool TVornDocument::Save(bool autosave) {
  if (m_status.load() != dsReady) return false;
  if (DocName() == kUntitledDocName) {
    if (autosave) {
      std::string name = DrawAutosaveName();
      if (name.empty()) return false;
      SetDocName(std::move(name));
    } else if (!SaveAs(false)) {
      return false;
    }
  }
  TDocStatus idle = dsReady;
  if (!m_status.compare_exchange_strong(idle, dsSaving)) return false;
  // Writes queued from here on are not in this save and keep the document changed.
  const bool wasChanged = m_changed.exchange(false);
  const std::string docName = DocName();
  TVornDocThread thread([&](TVornDocThread& self) { return SaveProcedure(self, docName); });
  if (OnSaveBegin) OnSaveBegin();
  const bool ok = thread.Run();
  if (!ok && wasChanged) m_changed = true;
  if (OnSaveEnd) OnSaveEnd(ok);
  m_status = dsReady;
  if (ok) {
    if (const std::vector<std::string> damaged = DamagedDocuments(); !damaged.empty()) {
      DialogService().ShowMessageDlg(DamagedDocumentsMessage(docName, damaged), mdiWarning, mbOk,
                                     std::string(kDamagedDocumentsTitle), 0);
    }
  }
  return ok;
}

bool TVornDocument::SaveProcedure(TVornDocThread& thread, const std::string& docName) {
  RemoveAbandonedSaveFiles(docName);
  int shown = -1;  // a report goes to the interface thread only when its percentage moves
  const int packed = m_jobs->Pack(
      [&](TVornCustomIniFile& settings) {
        if (OnSaveSettings) OnSaveSettings(settings, false);
      },
      [&](size_t position, size_t count) {
        const int percent = RoundPercent(position, count);
        if (percent == shown) return;
        shown = percent;
        thread.Relay([this, percent] {
          if (OnSaveProgress) OnSaveProgress("Saving ...", percent);
        });
      });
  if (packed < 0) return false;
  TFd archive(packed);
  while (!CopyFileAtomically(archive.Get(), docName, true, m_fileSystem)) {
    int answer = mrCancel;
    thread.Ask([&] {
      answer = DialogService().ShowMessageDlg(WriteErrorMessage(docName), mdiError, mbOk | mbCancel,
                                              std::string(kWriteErrorTitle), 0);
    });
    if (answer != mrOk || thread.Terminated()) return false;
  }
  return true;
}

std::string TVornDocument::ProposedFileName() const {
  std::string current = DocName();
  if (current != kUntitledDocName) return current;
  std::string name = ProposedName ? ProposedName() : std::string();
  // The name becomes one file name: no folder separators, and no name made of dots alone.
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.find_first_not_of(". ") == std::string::npos) name = std::string(kUntitledDocName);
  const std::string_view ext = ".web";
  if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
    name += ext;
  return m_downloadFolder.empty() ? name : m_downloadFolder + "/" + name;
}

bool TVornDocument::SaveAs(bool saveAfterChoosing) {
  const std::string initial = ProposedFileName();
  std::string chosen =
      DialogService().PromptSaveFile("Save As", initial, std::string(kProjectFileFilter));
  if (chosen.empty()) return false;
  const auto slash = chosen.rfind('/');
  const std::string_view base =
      std::string_view(chosen).substr(slash == std::string::npos ? 0 : slash + 1);
  if (base.find('.') == std::string_view::npos) chosen += ".web";
  SetDocName(std::move(chosen));
  if (saveAfterChoosing) Save(false);
  return true;
}

bool TVornDocument::Load(const std::string& fileName) {
  TDocStatus idle = dsReady;
  if (!m_status.compare_exchange_strong(idle, dsLoading)) return true;
  SetDocName(fileName);
  TVornDocThread thread([&](TVornDocThread& self) { return LoadProcedure(self, fileName); });
  if (OnLoadBegin) OnLoadBegin();
  const bool ok = thread.Run();
  if (OnLoadEnd) OnLoadEnd();
  m_status = dsReady;
  m_changed = false;
  return ok;
}

bool TVornDocument::LoadProcedure(TVornDocThread& thread, const std::string& fileName) {
  const auto fail = [&](TFileError error) {
    thread.Relay([this, error] {
      if (OnLoadError) OnLoadError(error);
    });
    return false;
  };
  const std::string& folder = m_jobs->Folder();
  if (folder.empty()) return fail(feCantRead);

  RemoveAbandonedSaveFiles(fileName);
  const std::string copy = folder + "loading.~web";
  {
    // A FIFO would block the open for ever, a device (/dev/zero) fill the disk: no byte is
    // copied from anything but a regular file.
    TFd source(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (source.Valid() && (::fstat(source.Get(), &st) != 0 || !S_ISREG(st.st_mode))) {
      return fail(feInvalidDoc);
    }
    if (!CopyFileAtomically(source.Get(), copy, false, m_fileSystem)) return fail(feCantRead);
  }
  uint64_t total = 0;
  try {
    TVornArchive archive(copy, m_fileSystem, false);
    archive.List();  // refuses a file that is not an archive
    if (const auto member = archive.OpenMember(kSettingsMember)) {
      TVornMemIniFile settings("");
      settings.SetText(member->Extract(kMaxControlMemberSize));
      if (OnLoadSettings) OnLoadSettings(settings, false);
    }
    auto index = std::make_unique<TVornIndexFile>();
    if (const auto member = archive.OpenMember(kIndexMember)) {
      index->SetText(member->Extract(kMaxControlMemberSize));
    }
    total = index->SlotCount();
    m_jobs->Adopt(copy, std::move(index));
  } catch (const std::exception&) {
    m_fileSystem.Remove(copy);
    return fail(feInvalidDoc);
  }

  try {
    uint64_t handed = 0;
    int lastPercent = -1;
    m_jobs->HandOverLinks([&](TVornLinkPtr link, int status) {
      const bool more = !OnLoadLink || OnLoadLink(std::move(link), status);
      ++handed;
      const int percent = RoundPercent(handed - 1, total);
      if (percent != lastPercent) {
        thread.Relay([this, percent] {
          if (OnLoadProgress) OnLoadProgress("Loading...", percent);
        });
      }
      lastPercent = percent;
      return more && !thread.Terminated();
    });
  } catch (const std::exception&) {
    return fail(feInvalidDoc);
  }
  return true;
}

void TVornDocument::ApplyTemplate(std::string_view name) {
  if (m_templates == nullptr) return;
  const int index = m_templates->IndexOf(name);
  if (index < 0 || !OnLoadSettings) return;
  OnLoadSettings(m_templates->Items(index).Settings(), true);
}

bool TVornDocument::SaveAsTemplate(const std::string& name) {
  if (m_templates == nullptr || !IsTemplateName(name) || m_templates->TemplateFolder().empty()) {
    return false;
  }
  try {
    // Written whole and atomically: saving over a template must not leave keys of the old one
    // behind, nor half a template when it fails.
    TVornMemIniFile settings("");
    if (OnSaveSettings) OnSaveSettings(settings, true);
    if (!WriteFileAtomically(m_templates->TemplateFolder() + name, settings.GetText(),
                             m_fileSystem)) {
      return false;
    }
    if (m_templates->IndexOf(name) < 0) m_templates->Add(name);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace tq
