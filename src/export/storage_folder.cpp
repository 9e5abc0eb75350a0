// Saving an export to a folder tree or a ZIP file.
#include "export/storage_folder.h"

#include <cerrno>

#include "export/folder_writer.h"
#include "export/zip_writer.h"

namespace tq {

void TVornStorageFolder::Save(IVornDeployHost& host) {
  const std::string where = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
  TVornFolderWriter writer(where);
  if (!writer.IsOpen()) {
    // Without the folder every file would fail alike: say so once.
    host.Ask(ExportWriteErrorText(where, errno), mdiError, mbOk,
             std::string(kExportWriteErrorTitle));
    return;
  }
  const bool ended =
      SaveEach(host, where, [&](const TVornDepFile& file, const std::string& output) {
        return writer.Write(file.LocalPath, output);
      });
  // The sync is where a disk that failed late says so; the files are not safe until it has
  // succeeded. An export that already stopped on an error has said so.
  if (!writer.Sync() && ended) {
    host.Ask(ExportWriteErrorText(where, errno), mdiError, mbOk,
             std::string(kExportWriteErrorTitle));
  }
}

void TVornStorageZip::Save(IVornDeployHost& host) {
  TVornZipWriter zip(FileSystem != nullptr ? *FileSystem : RealFileSystem());
  const auto retry = [&] {
    return host.Ask(ExportRetryText(FileName), mdiError, mbOk | mbCancel,
                    std::string(kExportRetryTitle)) == mrOk;
  };
  while (!zip.Open(FileName)) {
    if (!retry()) return;
  }
  bool failed = false;
  SaveEach(host, FileName + "/", [&](const TVornDepFile& file, const std::string& output) {
    if (zip.Add(file.LocalPath, output)) return true;
    failed = true;
    return false;
  });
  // An archive of nothing replaces the old file only when there was nothing to export: when
  // every file failed, or the user cancelled before the first, the old file is worth more.
  if (zip.Count() == 0 && (failed || Cancelled())) return;
  while (!zip.Close()) {
    if (!retry()) return;
  }
}

}  // namespace tq
