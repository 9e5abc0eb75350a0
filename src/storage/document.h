// TVornDocument: one open project's storage. It owns a private working folder and the storage
// jobs over it (content index "index.dat", the project archive's working copy, the content files
// stored since the last save), offers the index and content operations, and loads and saves the
// project file (an archive holding "settings.dat", "index.dat" and the content files).
//
// Threads: the index and content operations may be called from any thread at any time, also
// while a load or save runs: writes are queued and return at once, reads run at once after the
// writes queued before them. Load, Save, SaveAs, ApplyTemplate and SaveAsTemplate belong to one
// thread (the interface thread): there Load and Save run their work on a thread of their own and
// keep the event loop serving meanwhile; called elsewhere they run it inline. OnLoadSettings,
// OnLoadLink and OnSaveSettings run on that work thread during Load and Save, the other hooks on
// the calling thread. OnSaveSettings (and, when Save runs inline, OnSaveProgress) runs under the
// document lock, so it must not call into the document. Never destroy the document while Load or
// Save runs (not from one of its hooks).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download_document.h"
#include "storage/content_index.h"
#include "storage/doc_jobs.h"
#include "storage/templates.h"

namespace tq {

class TVornDocThread;

enum TDocStatus : uint8_t { dsReady, dsLoading, dsSaving };
enum TFileError : uint8_t { feCantRead, feInvalidDoc };

inline constexpr std::string_view kUntitledDocName = "Untitled.web";
inline constexpr std::string_view kWriteErrorTitle = "Write Error";
inline constexpr std::string_view kProjectFileFilter = "Tarnquill Solution|*.web";

inline constexpr std::string_view kDamagedDocumentsTitle = "Damaged Documents";
// The message that lists the documents a save of docName marked as damaged (the first few).
std::string DamagedDocumentsMessage(const std::string& docName,
                                    const std::vector<std::string>& damaged);

// Percentages 0..100 rounded to the nearest integer, halves to the even neighbour.
int RoundPercent(uint64_t numerator, uint64_t denominator);

class TVornDocument : public TStoredDocumentReader, public IDownloadDocument {
 public:
  using TNotify = std::function<void()>;
  using TProgressHook = std::function<void(const std::string& info, int percent)>;

  // Creates the working folder "temp<n>.~tmp" in cacheFolder (empty: the user's cache folder).
  // When that fails the document has no working folder (Folder() empty) and stores no content.
  // personalFolder (empty: the user's documents folder) receives autosaved new projects. Every
  // file is written through fileSystem, which must outlive the document.
  explicit TVornDocument(std::string cacheFolder = {}, std::string personalFolder = {},
                         TFileSystem& fileSystem = RealFileSystem());
  // Drops the writes not yet carried out and deletes the working folder with everything in it.
  ~TVornDocument() override;
  TVornDocument(const TVornDocument&) = delete;
  TVornDocument& operator=(const TVornDocument&) = delete;

  // The working folder with a trailing "/", or empty.
  const std::string& Folder() const { return m_jobs->Folder(); }
  std::string DocName() const;
  void SetDocName(std::string name);
  bool Changed() const { return m_changed.load(); }
  void SetChanged(bool changed) { m_changed = changed; }
  TDocStatus Status() const { return m_status.load(); }
  // The folder the save dialog starts in (the options' download folder); empty: none.
  void SetDownloadFolder(std::string folder) { m_downloadFolder = std::move(folder); }
  // The template store of ApplyTemplate and SaveAsTemplate; not owned, may be null.
  void SetTemplates(TVornTemplates* templates) { m_templates = templates; }
  TVornTemplates* Templates() const { return m_templates; }

  // Index and content operations. Each ignores an empty address; writes set Changed.
  void RemoveDocument(std::string_view url) override;
  void SetDocumentStatus(std::string_view url, int status) override;
  void SetDocumentValue(std::string_view url, std::string_view key,
                        std::string_view value) override;
  // Stores content only for an address whose section already holds a key.
  void SetDocumentContent(std::string_view url, std::string_view content) override;
  bool IsLoadingFile() const override { return m_status.load() == dsLoading; }
  void SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook onLoadSettings,
                        TSettingsHook onSaveSettings) override;
  // Empty when the address has no such key; never raises.
  std::string GetDocumentValue(std::string_view url, std::string_view key) override;
  // Empty when the address has no section or no content. Raises EArchiveError, naming the
  // address, when its content cannot be read (missing from the project file or damaged).
  std::string GetDocumentContent(std::string_view url) override;
  // The content in pieces (see TVornDocJobs::OpenContent); null when there is none. Raises
  // EArchiveError when it cannot be opened.
  std::unique_ptr<TContentStream> OpenDocumentContent(std::string_view url) {
    return url.empty() ? nullptr : m_jobs->OpenContent(url);
  }
  // Waits until every write queued so far has been carried out.
  void FlushJobs() { m_jobs->Flush(); }
  void WaitForRoom() override { m_jobs->WaitForRoom(); }
  void ReleaseWaits(bool released) override { m_jobs->ReleaseWaits(released); }
  std::string StorageFailure() const override { return m_jobs->StorageFailure(); }
  void TestOnlySetQueueLimit(uint64_t bytes) { m_jobs->TestOnlySetQueueLimit(bytes); }
  // A number that grows with every write queued and every load, so a reader can keep what it
  // read while the number stays the same: reads made after taking it see every change it counts.
  uint64_t ChangeCount() const { return m_jobs->ChangeCount(); }

  // Opens a project file into this document: the settings go to OnLoadSettings, each link
  // rebuilt from the index to OnLoadLink, with OnLoadProgress; failures to OnLoadError. Content
  // stays in the archive until it is read. A file that is not an archive, or whose settings or
  // index member is over kMaxControlMemberSize, is no project (feInvalidDoc) and is left as it
  // is. Does nothing and answers true unless the document is idle. On failure the document keeps
  // what it held.
  bool Load(const std::string& fileName);
  // Packs settings, index and the content stored until now into the working archive, then
  // replaces the project file by a complete copy of it (written beside it, synced, renamed over
  // it): a failed save leaves the previous file as it was and answers false. When writing the
  // file fails the user is asked ("Write Error", OK retries). A document still named
  // "Untitled.web" is saved as a new "autosave<n>.web" in the documents folder when autosave is
  // set, else under the name the user picks with SaveAs (false when cancelled). False when a
  // load or save runs. Documents whose content could not be read back are marked damaged in
  // the saved index and listed in a message ("Damaged Documents").
  bool Save(bool autosave);
  // The addresses the last save marked as damaged (their stored content could not be read
  // back); Save lists them to the user when there are any.
  std::vector<std::string> DamagedDocuments() const { return m_jobs->DamagedDocuments(); }
  // See TVornDocJobs::CheckContents.
  size_t CheckContents() { return m_jobs->CheckContents(); }
  // Asks for the project file name with the save dialog (whose implementation confirms
  // replacing an existing file); a name without extension gets ".web". On OK sets DocName and,
  // when saveAfterChoosing, saves; false when cancelled. The dialog proposes the current name,
  // or for an untitled document ProposedName's answer with ".web" added.
  bool SaveAs(bool saveAfterChoosing);
  // The name an untitled document is offered under (the project's name); empty or unset:
  // "Untitled.web". Called on the thread that calls SaveAs.
  std::function<std::string()> ProposedName;

  // Reads the template of exactly that name (letter case counts) through OnLoadSettings in
  // template mode; nothing happens when Templates() holds no such template.
  void ApplyTemplate(std::string_view name);
  // Writes the settings through OnSaveSettings in template mode as the template name (a plain
  // file name such as "MySite.etpl"), replacing the file of a template of that name whole, and
  // lists it. False when there is no template store, the name is not a plain file name or the
  // writing fails (a template of that name then stays as it was).
  bool SaveAsTemplate(const std::string& name);

  TSettingsHook OnLoadSettings;
  TSettingsHook OnSaveSettings;
  TIndexLinkHandler OnLoadLink;
  TNotify OnLoadBegin;
  TNotify OnLoadEnd;
  TNotify OnSaveBegin;
  TProgressHook OnLoadProgress;
  TProgressHook OnSaveProgress;
  std::function<void(bool succeeded)> OnSaveEnd;
  std::function<void(TFileError error)> OnLoadError;

 private:
  bool LoadProcedure(TVornDocThread& thread, const std::string& fileName);
  bool SaveProcedure(TVornDocThread& thread, const std::string& docName);
  std::string DrawAutosaveName();
  std::string ProposedFileName() const;

  mutable std::mutex m_nameLock;
  std::string m_docName{kUntitledDocName};
  std::string m_personalFolder;
  std::string m_downloadFolder;
  TVornTemplates* m_templates = nullptr;
  std::atomic<bool> m_changed{false};
  std::atomic<TDocStatus> m_status{dsReady};
  std::mt19937 m_random;
  TFileSystem& m_fileSystem;
  TFd m_folderLock;  // held while the working folder is in use: no other run removes it
  std::unique_ptr<TVornDocJobs> m_jobs;
};

}  // namespace tq
