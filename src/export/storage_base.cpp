// The save loop the destinations share.
#include "export/storage_base.h"

#include <cerrno>
#include <cstring>

#include "storage/archive.h"
#include "storage/document.h"

namespace tq {

std::string ExportWriteErrorText(const std::string& path, int error) {
  const std::string cause = error != 0 ? std::string(": ") + std::strerror(error) : std::string();
  return "Unable to write \"" + path + "\"" + cause +
         ". Press OK if you want to continue or Cancel to abort";
}

std::string ExportStoppedText(const std::string& path, int error) {
  return "Unable to write \"" + path + "\": " + std::strerror(error) +
         ". The export has been stopped.";
}

bool IsWholeDiskError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO;
}

std::string ExportRetryText(const std::string& file) {
  return "Unable to write \"" + file + "\". Press OK to retry.";
}

bool TVornStorageBase::SaveEach(IVornDeployHost& host, const std::string& where,
                                const TWriteFile& write) {
  const TVornDepFiles& files = host.Files();
  const int count = files.Count();
  for (int i = 0; i < count && !Cancelled(); ++i) {
    const TVornDepFile& file = files[i];
    host.SaveProgress(file, RoundPercent(static_cast<uint64_t>(i), static_cast<uint64_t>(count)));
    std::string output;
    try {
      output = host.Output(file);
    } catch (const EArchiveError& e) {
      // Unreadable is not empty: the file is left out rather than written empty, and said.
      const int answer =
          host.Ask(std::string(e.what()) + ". Press OK if you want to continue or Cancel to abort",
                   mdiError, mbOk | mbCancel, std::string(kExportReadErrorTitle));
      if (answer != mrOk) return false;
      continue;
    }
    errno = 0;
    if (write(file, output)) continue;
    const int error = errno;
    const std::string path = where + file.LocalPath;
    if (IsWholeDiskError(error)) {
      // Every later file would fail alike: said once, and the export ends.
      host.Ask(ExportStoppedText(path, error), mdiError, mbOk, std::string(kExportWriteErrorTitle));
      return false;
    }
    const int answer = host.Ask(ExportWriteErrorText(path, error), mdiError, mbOk | mbCancel,
                                std::string(kExportWriteErrorTitle));
    if (answer != mrOk) return false;
  }
  return true;
}

}  // namespace tq
