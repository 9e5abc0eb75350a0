// The commands that export a project's documents to a folder, a ZIP file or an e-book, and its
// link lists and e-mail addresses to text files.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "cli/command.h"
#include "cli/interrupt_watch.h"
#include "cli/list_output.h"
#include "cli/project.h"
#include "cli/text_escape.h"
#include "export/deploy_manager.h"
#include "export/link_list_file.h"
#include "foundation/main_loop.h"
#include "platform/program_folder.h"

namespace tq::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelpCompiler = "tarnquill-hhc";

// The dialogs of an export answered without a person: the destination from the command line;
// an error is printed and answered OK (go on with the next file) the first time its text comes
// up and Cancel when the same text comes again (a retry that failed once fails again); the
// cancel confirmation, asked only after Ctrl-C, is answered Yes.
class TConsoleDialogs final : public IDialogService {
 public:
  explicit TConsoleDialogs(std::string destination) : m_destination(std::move(destination)) {}

  int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                     const std::string& title, int) override {
    if (buttons & mbYes) return mrYes;
    std::fprintf(stderr, "\r\033[Ktarnquill-cli: %s: %s\n", title.c_str(),
                 EscapeControls(text).c_str());
    if (icon == mdiError) m_failed = true;
    const bool again = !m_asked.insert(text).second;
    return (buttons & mbCancel) && again ? mrCancel : mrOk;
  }
  TLoginAnswer PromptLogin(const TLoginRequest&) override { return {}; }
  std::string BrowseForFolder(const std::string&, int) override { return m_destination; }
  std::string PromptSaveFile(const std::string&, const std::string&, const std::string&) override {
    return m_destination;
  }

  bool Failed() const { return m_failed; }

 private:
  std::string m_destination;
  std::set<std::string> m_asked;
  bool m_failed = false;
};

// The dialog service of one command, put back when the command ends.
class TDialogScope {
 public:
  explicit TDialogScope(std::shared_ptr<IDialogService> service) { SetDialogService(service); }
  ~TDialogScope() { SetDialogService(nullptr); }
  TDialogScope(const TDialogScope&) = delete;
  TDialogScope& operator=(const TDialogScope&) = delete;
};

// The compiler shipped beside this program, else one on PATH; empty when there is none.
std::string ShippedHelpCompiler() {
  const std::string beside = ProgramFolder() + "/" + kHelpCompiler;
  if (::access(beside.c_str(), X_OK) == 0) return beside;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + kHelpCompiler;
    if (::access(candidate.c_str(), X_OK) == 0) return fs::absolute(candidate).string();
  }
  return {};
}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Redraws one line on the terminal with what the export is doing.
void ShowProgress(const std::string& text) {
  std::string line = EscapeControls(text);
  const size_t width = static_cast<size_t>(TerminalColumns() - 1);
  if (line.size() > width) line.resize(width);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

void FollowOnTerminal(TVornDeployManager& manager) {
  manager.OnBeginIndex = [](TVornDeployManager&) { ShowProgress("Creating files index ..."); };
  manager.OnProgressIndex = [](TVornDeployManager&, int percent) {
    ShowProgress("Creating files index ... " + std::to_string(percent) + "%");
  };
  manager.OnSaveProgress = [](TVornDeployManager&, const TVornDepFile& file, int percent) {
    ShowProgress("Saving files .... " + std::to_string(percent) + "%  " + file.LocalPath);
  };
  manager.OnCustomAction = [](TVornDeployManager&, const std::string& description, int) {
    ShowProgress(description);
  };
  manager.OnEnd = [](TVornDeployManager&) { ShowProgress(""); };
}

struct TExportArgs {
  std::string ProjectFile, Folder, Zip, Chm, OutFile;
  std::vector<std::string> Kinds{"text", "images", "audio", "video", "archive"};
  std::vector<std::string> Lists = ListNames(false);
};

int ExportCommand(const TExportArgs& args) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  TVornDeployManager manager;
  manager.SetVornDownload(p.Download.get());
  std::string destination;
  if (!args.Folder.empty()) {
    manager.StorageType = estFolder;
    destination = args.Folder;
  } else if (!args.Zip.empty()) {
    manager.StorageType = estZip;
    destination = args.Zip;
  } else {
    manager.StorageType = estEbook;
    destination = args.Chm;
  }
  static const std::pair<const char*, TVornDeployFileKind> kKinds[] = {{"archive", edfkArchive},
                                                                       {"audio", edfkAudio},
                                                                       {"images", edfkImages},
                                                                       {"text", edfkText},
                                                                       {"video", edfkVideo}};
  manager.FilesKind.reset();
  for (const std::string& kind : args.Kinds) {
    for (const auto& [name, value] : kKinds) {
      if (kind == name) manager.FilesKind.set(value);
    }
  }
  manager.HTMLCompiler.FileName = ShippedHelpCompiler();
  manager.HTMLCompiler.FullSearch = false;

  auto dialogs = std::make_shared<TConsoleDialogs>(fs::absolute(destination).string());
  TDialogScope scope(dialogs);
  manager.ChooseDestination();
  bool interrupted = false;
  TInterruptWatch interrupt([&] {
    interrupted = true;
    manager.Cancel();
  });
  if (::isatty(STDERR_FILENO)) FollowOnTerminal(manager);
  manager.Start();
  ProcessEventsUntil([&] { return !manager.Running(); });
  if (interrupted) Fail("export stopped; the files written so far are kept");
  return dialogs->Failed() || interrupted ? 1 : 0;
}

std::vector<TVornLinkList> ListsNamed(const std::vector<std::string>& names) {
  std::vector<TVornLinkList> lists;
  for (const std::string& name : names) {
    if (const std::optional<TVornLinkList> list = ListNamed(name)) lists.push_back(*list);
  }
  return lists;
}

int WriteLines(const std::string& file, const std::vector<std::string>& lines) {
  if (SaveTextLines(file, lines)) return 0;
  Fail("could not write " + file);
  return 1;
}

int LinksCommand(const TExportArgs& args) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  return WriteLines(args.OutFile, LinkListLines(*p.Download, ListsNamed(args.Lists)));
}

int EmailsCommand(const TExportArgs& args) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  return WriteLines(args.OutFile, EmailAddresses(*p.Download));
}

const bool kExport = RegisterCommand(
    60, "export", "Export a project's documents to a folder, a ZIP file or an e-book",
    [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TExportArgs>();
      command.add_option("FILE", s->ProjectFile, "Project file")->required();
      auto* folder = command.add_option("--folder", s->Folder, "Export to this folder");
      auto* zip = command.add_option("--zip", s->Zip, "Export to this ZIP file");
      auto* chm = command.add_option("--chm", s->Chm, "Export to this e-book (.chm)");
      folder->excludes(zip)->excludes(chm);
      zip->excludes(chm);
      command.add_option("--kinds", s->Kinds, "Kinds of files exported (default: all)")
          ->delimiter(',')
          ->check(CLI::IsMember({"text", "images", "audio", "video", "archive"}));
      return [s] {
        if (s->Folder.empty() && s->Zip.empty() && s->Chm.empty()) {
          Fail("export needs --folder, --zip or --chm");
          return kBadArguments;
        }
        return ExportCommand(*s);
      };
    });

const bool kLinks =
    RegisterCommand(70, "links", "Write a project's link lists to a text file",
                    [](CLI::App& command) -> TCommandRunner {
                      auto s = std::make_shared<TExportArgs>();
                      command.add_option("FILE", s->ProjectFile, "Project file")->required();
                      command.add_option("OUT", s->OutFile, "Text file to write")->required();
                      command.add_option("--lists", s->Lists, "Lists written (default: all four)")
                          ->delimiter(',')
                          ->check(CLI::IsMember(ListNames(false)));
                      return [s] { return LinksCommand(*s); };
                    });

const bool kEmails =
    RegisterCommand(80, "emails", "Write a project's e-mail addresses to a text file",
                    [](CLI::App& command) -> TCommandRunner {
                      auto s = std::make_shared<TExportArgs>();
                      command.add_option("FILE", s->ProjectFile, "Project file")->required();
                      command.add_option("OUT", s->OutFile, "Text file to write")->required();
                      return [s] { return EmailsCommand(*s); };
                    });

}  // namespace
}  // namespace tq::cli
