// Saving an export as an e-book through the external HTML Help compiler.
#include "export/storage_ebook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
constexpr size_t kCopyPiece = 1 << 20;

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

// Runs the compiler on project; true when it reports success and left a book that is not empty.
// A compiler that fails part way may leave a partial book behind, and one that cannot start
// leaves none: neither may replace the user's file.
bool Compile(const std::string& compiler, const std::string& project, const std::string& book) {
  ::unlink(book.c_str());  // only a book this run made counts
  try {
    if (RunProgramAndWait(compiler, project, kHidden) != 0) return false;
  } catch (const EVornError&) {
    return false;
  }
  struct stat st {};
  return ::stat(book.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// Copies from over to in pieces, replacing to only once the copy is complete.
bool CopyFileOver(const std::string& from, const std::string& to) {
  TFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.Valid()) return false;
  return ReplaceFile(to, [&](TWritableFile& file) {
    std::string piece(kCopyPiece, '\0');
    for (;;) {
      const ssize_t n = ::read(source.Get(), piece.data(), piece.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) return true;
      if (!file.Append(std::string_view(piece.data(), static_cast<size_t>(n)))) return false;
    }
  });
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
      // A file that is not there must not be listed: the compiler gives up on the whole book
      // when a listed file is missing.
      if (!writer.Write(file.LocalPath, output)) return false;
      if (first) {
        lines.push_back("Default topic=" + file.LocalPath);
        lines.emplace_back("[Files]");
        first = false;
      }
      lines.push_back(file.LocalPath);
      return true;
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
    const std::string book = where + std::string(kHelpBookName);
    if (!Compile(CompilerPath, where + std::string(kHelpProjectName), book)) {
      host.Ask(std::string(kCompileErrorText), mdiError, mbOk, "Compile Error");
    } else {
      while (!CopyFileOver(book, FileName)) {
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
