// Saving an export as an e-book through the external HTML Help compiler.
#include "export/storage_ebook.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "export/folder_writer.h"
#include "foundation/atomic_file.h"
#include "foundation/errors.h"
#include "platform/process.h"
#include "platform/shell_folders.h"
#include "storage/doc_jobs.h"

namespace tq {
namespace {

constexpr std::string_view kNoCompilerText =
    "There is no HTML Help compiler selected. Please go to Options and follow the instructions";
constexpr std::string_view kCompileErrorText =
    "Error compiling the HTML Help. Please go to Options dialog and select other compiler.";
constexpr uint16_t kHidden = 0;

// "temp<n>.~chm" in cacheFolder, made; empty when no such folder can be made.
std::string MakeWorkingFolder(const std::string& cacheFolder) {
  if (cacheFolder.empty()) return {};
  ::mkdir(cacheFolder.c_str(), 0700);  // the user's cache folder need not exist yet
  std::mt19937 random = SeededRandom();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate = cacheFolder + "/" + DrawName(random, "temp", ".~chm");
    if (::mkdir(candidate.c_str(), 0700) == 0) return candidate;
    if (errno != EEXIST) break;
    random = SeededRandom();
  }
  return {};
}

// A project line holds one value: a line break inside the title would start another.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

void TVornStorageEbook::Save(IVornDeployHost& host) {
  if (CompilerPath.empty()) {
    host.Ask(std::string(kNoCompilerText), mdiError, mbOk, "Missing Compiler");
    return;
  }
  const std::string cache = CacheFolder.empty() ? GetSpecialFolder(sfInternetCache) : CacheFolder;
  const std::string working = MakeWorkingFolder(cache);
  if (working.empty()) {
    host.Ask(ExportWriteErrorText(cache), mdiError, mbOk, std::string(kExportWriteErrorTitle));
    return;
  }
  const std::string where = working + "/";

  std::vector<std::string> lines = {"[OPTIONS]", "Compatibility=1.1 or later",
                                    "TITLE=" + OneLine(Title)};
  if (FullSearch) lines.emplace_back("Full-text search=Yes");
  lines.emplace_back("Language=0x409 English (United States)");
  bool ok;
  {
    TVornFolderWriter writer(where);
    bool first = true;
    ok = SaveEach(host, where, [&](const TVornDepFile& file, const std::string& output) {
      if (first) {
        lines.push_back("Default topic=" + file.LocalPath);
        lines.emplace_back("[Files]");
        first = false;
      }
      const bool written = writer.Write(file.LocalPath, output);
      lines.push_back(file.LocalPath);
      return written;
    });
    std::string project;
    for (const std::string& line : lines) project += line + "\r\n";
    if (ok && !writer.Write(kHelpProjectName, project)) {
      host.Ask(ExportWriteErrorText(where + std::string(kHelpProjectName)), mdiError, mbOk,
               std::string(kExportWriteErrorTitle));
      ok = false;
    }
  }

  if (ok) {
    host.CustomAction("Compiling HTML Help .....", -1);
    bool compiled = false;
    try {
      RunProgramAndWait(CompilerPath, where + std::string(kHelpProjectName), kHidden);
      struct stat st;
      compiled = ::stat((where + std::string(kHelpBookName)).c_str(), &st) == 0;
    } catch (const EVornError&) {
    }
    if (!compiled) {
      host.Ask(std::string(kCompileErrorText), mdiError, mbOk, "Compile Error");
    } else {
      std::string book;
      while (ReadWholeFile(where + std::string(kHelpBookName), book) != TFileReadResult::frOk ||
             !WriteFileAtomically(FileName, book)) {
        if (host.Ask(ExportRetryText(FileName), mdiError, mbOk | mbCancel,
                     std::string(kExportRetryTitle)) != mrOk) {
          break;
        }
      }
    }
  }
  host.CustomAction("Deleting Temporary Files", -1);
  DeleteFolderTree(working);
}

}  // namespace tq
