// IDownloadDocument: what the download controller needs from the project document it writes
// into. The storage layer's project document implements it; the controller works without one.
//
// Threads: every operation may be called from any thread (list hooks run on the interface,
// admission, transfer and analyser threads); implementations serialise them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/link.h"
#include "foundation/ini_file.h"

namespace tq {

// Key names of the content index, in which every stored link has one section; the store
// compares them without regard to case ("CONTENT" is "Content").
inline constexpr std::string_view kIndexStatus = "STATUS";
inline constexpr std::string_view kIndexPage = "PAGE";
inline constexpr std::string_view kIndexSize = "SIZE";
inline constexpr std::string_view kIndexError = "ERROR";
inline constexpr std::string_view kIndexReason = "REASON";
inline constexpr std::string_view kIndexLevel = "LEVEL";
inline constexpr std::string_view kIndexContentType = "ContentType";
inline constexpr std::string_view kIndexContent = "Content";
// The validators of a stored copy's answer, and when the server stopped answering for a copy
// that is kept (with the error it gave, under ERROR).
inline constexpr std::string_view kIndexETag = "ETAG";
inline constexpr std::string_view kIndexLastModified = "LASTMODIFIED";
inline constexpr std::string_view kIndexGoneSince = "GONESINCE";
// Set by a save on an address whose stored content could not be read back, with the reason.
inline constexpr std::string_view kIndexDamaged = "DAMAGED";

// The largest document a project can store (its archive counts sizes in 32 bits), and why a
// larger one fails.
inline constexpr uint64_t kMaxDocumentSize = UINT32_MAX;
inline constexpr std::string_view kDocumentTooLarge =
    "Too large to store in a project (4 GB or more)";

class IDownloadDocument {
 public:
  // Reads or writes the crawl settings; templateMode leaves out what a template must not carry.
  using TSettingsHook = std::function<void(TVornCustomIniFile& settings, bool templateMode)>;
  // One stored link while a project file loads, with its STATUS; false stops the load.
  using TLoadLinkHook = std::function<bool(TVornLinkPtr link, int status)>;

  virtual ~IDownloadDocument() = default;

  // True while a project file is being read: the lists are rebuilt from it then, and the
  // controller must not write their entries back.
  virtual bool IsLoadingFile() const = 0;
  virtual void RemoveDocument(std::string_view url) = 0;
  virtual void SetDocumentStatus(std::string_view url, int status) = 0;
  virtual void SetDocumentValue(std::string_view url, std::string_view key,
                                std::string_view value) = 0;
  virtual void SetDocumentContent(std::string_view url, std::string_view content) = 0;
  // Called by the crawl's worker threads before they hand a document on: waits while the
  // document cannot take more writes yet. Never waits on the interface thread.
  virtual void WaitForRoom() {}
  // While released, WaitForRoom returns at once and ends the waits under way: a crawl that stops
  // never waits for the disk.
  virtual void ReleaseWaits(bool /*released*/) {}
  // Why the document cannot store what the crawl fetches (its working folder refused a write,
  // "No space left on device"); empty while it can.
  virtual std::string StorageFailure() const { return {}; }
  // Installs the controller's hooks (any may be empty to remove one).
  virtual void SetDownloadHooks(TLoadLinkHook onLoadLink, TSettingsHook onLoadSettings,
                                TSettingsHook onSaveSettings) = 0;
};

}  // namespace tq
