// The save loop the destinations share.
#include "export/storage_base.h"

#include "storage/document.h"

namespace tq {

std::string ExportWriteErrorText(const std::string& path) {
  return "Unable to write \"" + path + "\". Press OK if you want to continue or Cancel to abort";
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
    if (write(file, host.Output(file))) continue;
    const int answer = host.Ask(ExportWriteErrorText(where + file.LocalPath), mdiError,
                                mbOk | mbCancel, std::string(kExportWriteErrorTitle));
    if (answer != mrOk) return false;
  }
  return true;
}

}  // namespace tq
