// TVornDocument: one open project's storage. It owns a private working folder, the content index
// ("index.dat"), the project archive's working copy and the content files stored since the last
// save, offers the index and content operations, and saves and loads the project file (an
// archive holding "settings.dat", "index.dat" and the content files).
//
// Threads: every public operation is thread-safe; they are serialised by one lock per document.
// Index and content writes are carried out at once (a job queue can defer them later without
// changing their meaning). Load and Save run on the calling thread; Save holds the lock while it
// packs the archive, so OnSaveSettings and OnSaveProgress must not call into the document. The
// load hooks run without the lock. Writing the project file and asking OnWriteError happen
// outside the lock, so other threads keep working meanwhile. Set the hooks before the first
// Load or Save, not while one runs.
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
#include "foundation/mem_ini_file.h"
#include "storage/archive.h"
#include "storage/content_index.h"

namespace tq {

enum TDocStatus : uint8_t { dsReady, dsLoading, dsSaving };
enum TFileError : uint8_t { feCantRead, feInvalidDoc };

inline constexpr std::string_view kUntitledDocName = "Untitled.web";
inline constexpr std::string_view kSettingsMember = "settings.dat";
inline constexpr std::string_view kIndexMember = "index.dat";

// Whether a "Content" value may name a content file: a plain file name, never a path, "." or
// "..", nor the name of the settings or index member.
bool IsContentFileName(std::string_view name);

// Percentages 0..100 rounded to the nearest integer, halves to the even neighbour.
int RoundPercent(uint64_t numerator, uint64_t denominator);

class TVornDocument : public TStoredDocumentReader, public IDownloadDocument {
 public:
  using TProgressHook = std::function<void(const std::string& info, int percent)>;
  // Asked when writing the project file failed, with the text to show; true retries.
  using TRetryHook = std::function<bool(const std::string& message)>;

  // Creates the working folder "temp<n>.~tmp" in cacheFolder (empty: the user's cache folder).
  // When that fails the document has no working folder (Folder() empty) and stores no content.
  // personalFolder (empty: the user's documents folder) receives autosaved new projects.
  explicit TVornDocument(std::string cacheFolder = {}, std::string personalFolder = {});
  // Deletes the working folder with everything in it.
  ~TVornDocument() override;
  TVornDocument(const TVornDocument&) = delete;
  TVornDocument& operator=(const TVornDocument&) = delete;

  // The working folder with a trailing "/", or empty.
  const std::string& Folder() const { return m_folder; }
  std::string DocName() const;
  void SetDocName(std::string name);
  bool Changed() const { return m_changed.load(); }
  TDocStatus Status() const { return m_status.load(); }

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
  // Empty when the address has no section or no content; never raises.
  std::string GetDocumentContent(std::string_view url) override;

  // Opens a project file into this document: the settings go to OnLoadSettings, each link
  // rebuilt from the index to OnLoadLink, with OnLoadProgress; failures to OnLoadError. Content
  // stays in the archive until it is read. Does nothing and answers true unless the document is
  // idle. On failure the document keeps what it held.
  bool Load(const std::string& fileName);
  // Packs settings, index and the content stored since the last save into the working archive,
  // then replaces the project file by a complete copy of it (written beside it, synced, renamed
  // over it): a failed save leaves the previous file as it was and answers false. A document
  // still named "Untitled.web" is saved as a new "autosave<n>.web" in the documents folder when
  // autosave is set; otherwise it answers false (the caller asks for a name first).
  bool Save(bool autosave);

  TSettingsHook OnLoadSettings;
  TSettingsHook OnSaveSettings;
  TIndexLinkHandler OnLoadLink;
  TProgressHook OnLoadProgress;
  TProgressHook OnSaveProgress;
  std::function<void(TFileError error)> OnLoadError;
  TRetryHook OnWriteError;

 private:
  std::string ContentNameOf(std::string_view url) const;  // "" when none or not acceptable
  std::string DrawContentName();                          // reserves the file
  bool IsLoose(std::string_view name) const;
  void DropLoose(std::string_view name);
  bool SaveLocked(bool autosave);

  mutable std::mutex m_lock;
  std::string m_folder;
  std::string m_personalFolder;
  std::string m_docName{kUntitledDocName};
  std::atomic<bool> m_changed{false};
  std::atomic<TDocStatus> m_status{dsReady};
  std::unique_ptr<TVornMemIniFile> m_index;
  std::unique_ptr<TVornArchive> m_archive;
  std::vector<std::string> m_looseNames;  // content files not yet in the archive, in store order
  std::mt19937 m_random;
};

// Test-only: called before each step of writing the project file (after the temporary file is
// made, after each block written, before the rename); returning false makes that step fail.
void TestOnlySetProjectWriteProbe(bool (*probe)());

}  // namespace tq
