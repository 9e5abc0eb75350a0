// The commands that crawl into, resume, list, read and template project files.
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/crawl_session.h"
#include "cli/exit_status.h"
#include "cli/list_output.h"
#include "cli/project.h"
#include "engine/crawl_settings.h"
#include "storage/templates.h"

namespace tq::cli {
namespace {

namespace fs = std::filesystem;

// What the project commands share on their command lines.
struct TProjectArgs {
  std::string ProjectFile;   // the .web file; empty: the crawl is not saved
  std::string TemplateFile;  // applied before a new crawl; empty: none
  std::string ListName;      // --list; empty: every list
  std::optional<TVornLinkList> OnlyList;
};

void AddListOption(CLI::App& command, TProjectArgs& args) {
  command.add_option("--list", args.ListName, "Print only this list")
      ->check(CLI::IsMember(ListNames()));
}

int PrintAndFinish(TProject& p, const TProjectArgs& args) {
  PrintLists(std::cout, *p.Download, args.OnlyList);
  std::cout.flush();
  if (!std::cout.good()) {
    Fail("could not write the lists");
    return 1;
  }
  return 0;
}

// A new project from url crawled to its end (or to Ctrl-C), printed, and saved when asked.
int CrawlCommand(const std::string& url, const TCrawlArgs& crawl, const TProjectArgs& args) {
  TProject p(!args.ProjectFile.empty() || !args.TemplateFile.empty());
  ApplyNewProjectSettings(p.Download->Settings());
  if (!args.TemplateFile.empty() && !p.ApplyTemplate(args.TemplateFile)) return 1;
  p.Download->General().BaseUrl = url;
  p.Options.LoadOptions();
  ApplyCrawlArgs(crawl, *p.Download, p.Options);
  int signal = 0;
  const bool finished = RunCrawl(*p.Download, &signal);
  const int printed = PrintAndFinish(p, args);
  if (!args.ProjectFile.empty() && !p.Save(args.ProjectFile)) return 1;
  return CrawlCommandStatus(*p.Download, finished, signal, printed, 0, 0);
}

// Loads a project, continues its Queue (an update first puts its stored pages back in it), saves
// it and prints its lists; an update then says what changed.
int ContinueCommand(const TCrawlArgs& crawl, const TProjectArgs& args, bool update) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  p.Options.LoadOptions();
  ApplyCrawlArgs(crawl, *p.Download, p.Options);
  const auto readyBefore = static_cast<size_t>(p.Download->ReadyLinks().Count());
  const auto failedBefore = static_cast<size_t>(p.Download->FailedLinks().Count());
  int signal = 0;
  const bool finished = RunCrawl(*p.Download, &signal, update);
  const int printed = PrintAndFinish(p, args);
  if (update) {
    const TVornUpdateSummary& summary = p.Download->UpdateSummary();
    std::cerr << "Updated: " << UpdateSummaryText(summary) << '\n';
    for (const std::string& url : summary.GoneUrls) std::cerr << "Gone: " << url << '\n';
  }
  // A damaged document of the loaded file is said, and marked, rather than saved on unseen;
  // not when a signal asks the program to end soon: then the save comes first.
  if (signal == 0) p.Document().CheckContents();
  if (!p.Save(args.ProjectFile)) return 1;
  return CrawlCommandStatus(*p.Download, finished, signal, printed, readyBefore, failedBefore);
}

int ListCommand(const TProjectArgs& args) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  return PrintAndFinish(p, args);
}

// Writes the document stored under url with its links at their online addresses.
int ShowCommand(const TProjectArgs& args, const std::string& url) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  if (p.Document().GetDocumentValue(url, kIndexStatus).empty()) {
    Fail(url + " is not in the project");
    return 1;
  }
  if (p.Document().GetDocumentValue(url, kIndexContent).empty()) {
    Fail("no document is stored for " + url);
    return 1;
  }
  std::string page;
  try {
    page = RenderStoredDocument(p.Document(), url);
  } catch (const EArchiveError& e) {
    Fail(e.what());
    return 1;
  }
  std::cout.write(page.data(), static_cast<std::streamsize>(page.size()));
  std::cout.flush();
  return std::cout.good() ? 0 : 1;
}

// Writes the project's settings as a template file.
int TemplateCommand(const TProjectArgs& args, const std::string& templateFile) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  const fs::path out = fs::absolute(templateFile);
  TVornTemplates templates;
  templates.SetTemplateFolder(out.parent_path().string() + "/");
  p.Document().SetTemplates(&templates);
  if (!p.Document().SaveAsTemplate(out.filename().string())) {
    Fail("could not write the template " + templateFile);
    return 1;
  }
  return 0;
}

// The state one command's options are parsed into, owned by its runner.
struct TCommandState {
  TProjectArgs Project;
  TCrawlOptions Crawl;
  std::string Url, TemplateOut;

  // Turns the parsed text options into their values; false (with a message) when one is wrong.
  bool Finish() {
    if (!Project.ListName.empty()) Project.OnlyList = ListNamed(Project.ListName);
    return Crawl.Resolve();
  }
};

const bool kCrawl = RegisterCommand(
    10, "crawl", "Crawl a site and print its link lists", [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TCommandState>();
      command.add_option("URL", s->Url, "Starting address")->required();
      command.add_option("-o,--output", s->Project.ProjectFile,
                         "Save the project to this .web file");
      command
          .add_option("--template", s->Project.TemplateFile, "Apply this template before the crawl")
          ->check(CLI::ExistingFile);
      AddListOption(command, s->Project);
      s->Crawl.AddTo(command);
      return [s] {
        return s->Finish() ? CrawlCommand(s->Url, s->Crawl.Args, s->Project) : kBadArguments;
      };
    });

// resume and update take the same arguments: a project file and the crawl options.
template <bool Update>
TCommandRunner AddContinueCommand(CLI::App& command) {
  auto s = std::make_shared<TCommandState>();
  command.add_option("FILE", s->Project.ProjectFile, "Project file")->required();
  AddListOption(command, s->Project);
  s->Crawl.AddTo(command);
  return [s] {
    return s->Finish() ? ContinueCommand(s->Crawl.Args, s->Project, Update) : kBadArguments;
  };
}

const bool kResume = RegisterCommand(
    20, "resume", "Continue a saved crawl, save it and print its lists", AddContinueCommand<false>);

const bool kUpdate = RegisterCommand(
    25, "update", "Bring a saved project's stored pages up to date, save it and print its lists",
    AddContinueCommand<true>);

const bool kList = RegisterCommand(
    30, "list", "Print the link lists of a project file", [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TCommandState>();
      command.add_option("FILE", s->Project.ProjectFile, "Project file")->required();
      AddListOption(command, s->Project);
      return [s] { return s->Finish() ? ListCommand(s->Project) : kBadArguments; };
    });

const bool kShow = RegisterCommand(
    40, "show", "Write a stored document with its online links",
    [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TCommandState>();
      command.add_option("FILE", s->Project.ProjectFile, "Project file")->required();
      command.add_option("URL", s->Url, "Address of the document")->required();
      return [s] { return ShowCommand(s->Project, s->Url); };
    });

const bool kTemplate = RegisterCommand(
    50, "template", "Write a project's settings as a template",
    [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TCommandState>();
      command.add_option("FILE", s->Project.ProjectFile, "Project file")->required();
      command.add_option("OUT", s->TemplateOut, "Template file to write (.etpl)")->required();
      return [s] { return TemplateCommand(s->Project, s->TemplateOut); };
    });

}  // namespace
}  // namespace tq::cli
