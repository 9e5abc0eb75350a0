// Saving an export to a folder tree or a ZIP file.
#include "export/storage_folder.h"

#include "export/folder_writer.h"
#include "export/zip_writer.h"

namespace tq {

void TVornStorageFolder::Save(IVornDeployHost& host) {
  const std::string where = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
  TVornFolderWriter writer(where);
  if (!writer.IsOpen()) {
    // Without the folder every file would fail alike: say so once.
    host.Ask(ExportWriteErrorText(where), mdiError, mbOk, std::string(kExportWriteErrorTitle));
    return;
  }
  SaveEach(host, where, [&](const TVornDepFile& file, const std::string& output) {
    return writer.Write(file.LocalPath, output);
  });
  writer.Sync();
}

void TVornStorageZip::Save(IVornDeployHost& host) {
  TVornZipWriter zip;
  const auto retry = [&] {
    return host.Ask(ExportRetryText(FileName), mdiError, mbOk | mbCancel,
                    std::string(kExportRetryTitle)) == mrOk;
  };
  while (!zip.Open(FileName)) {
    if (!retry()) return;
  }
  SaveEach(host, FileName + "/", [&](const TVornDepFile& file, const std::string& output) {
    return zip.Add(file.LocalPath, output);
  });
  while (!zip.Close()) {
    if (!retry()) return;
  }
}

}  // namespace tq
