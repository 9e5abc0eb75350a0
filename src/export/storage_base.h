// The destinations of an export (a folder, a ZIP file, an e-book) and what they ask of the export
// that runs them.
//
// Threads: Save runs on the export thread; Cancel may be called from any thread and makes Save
// stop after the file it is writing.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "export/dep_files.h"
#include "platform/dialog_service.h"

namespace tq {

inline constexpr std::string_view kExportWriteErrorTitle = "Write error";
inline constexpr std::string_view kExportRetryTitle = "Write Error";
inline constexpr std::string_view kExportReadErrorTitle = "Read error";

// What a destination needs from the running export; called on the export thread.
class IVornDeployHost {
 public:
  virtual ~IVornDeployHost() = default;
  virtual const TVornDepFiles& Files() const = 0;
  // The bytes to write for file: its stored content, rendered for the export.
  virtual std::string Output(const TVornDepFile& file) = 0;
  // Before each file, with the share of files done so far.
  virtual void SaveProgress(const TVornDepFile& file, int percent) = 0;
  // A step that is no file (percent -1: no progress value).
  virtual void CustomAction(const std::string& description, int percent) = 0;
  // Shows a message dialog on the interface thread and returns the pressed button.
  virtual int Ask(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                  const std::string& title) = 0;
};

class TVornStorageBase {
 public:
  virtual ~TVornStorageBase() = default;

  // Writes the host's files to the destination, until all are written or Cancel was called.
  virtual void Save(IVornDeployHost& host) = 0;

  void Cancel() { m_cancel = true; }
  void ResetCancel() { m_cancel = false; }
  bool Cancelled() const { return m_cancel.load(); }

 protected:
  using TWriteFile = std::function<bool(const TVornDepFile& file, const std::string& output)>;

  // For each file until cancelled: reports progress, renders it and writes it with write. When
  // that fails the user is asked ("Unable to write "<where><LocalPath>": <cause>..."): OK goes on
  // with the next file, Cancel ends the loop; a full or failing disk is said once and ends it.
  // A document that cannot be read is left out and said the same way. False when it ended so.
  bool SaveEach(IVornDeployHost& host, const std::string& where, const TWriteFile& write);

 private:
  std::atomic<bool> m_cancel{false};
};

// The text of the dialog that asks whether to go on after path could not be written, with the
// cause when error (an errno value) is not 0.
std::string ExportWriteErrorText(const std::string& path, int error = 0);
// The text said once when a write failed in a way every later one would (IsWholeDiskError).
std::string ExportStoppedText(const std::string& path, int error);
// A full, read-only or failing disk: no further file could be written either.
bool IsWholeDiskError(int error);
// The text of the dialog that offers to try writing the whole file (a ZIP, an e-book) again.
std::string ExportRetryText(const std::string& file);

}  // namespace tq
