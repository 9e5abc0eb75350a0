// tarnquill-cli: the headless front end: crawl a site into a project file, continue it, list it,
// read its stored documents and write its settings as a template.
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>
#include <QCoreApplication>

#include "cli/crawl_session.h"
#include "cli/list_output.h"
#include "cli/project_commands.h"

namespace {

using namespace tq;
using namespace tq::cli;

constexpr int kBadArguments = 2;

struct TSocksOptions {
  std::string Socks4, Socks4A, Socks5;
};

void AddCrawlOptions(CLI::App& command, TCrawlArgs& args, TSocksOptions& socks) {
  command.add_option("--threads", args.Threads, "Transfers at once (1-99)")
      ->check(CLI::Range(1, 99));
  command.add_option("--level", args.Level, "Deepest link level followed")
      ->check(CLI::Range(0, 1000000));
  command.add_option("--retries", args.Retries, "Extra attempts after a failed one (0-255)")
      ->check(CLI::Range(0, 255));
  command.add_option("--timeout", args.Timeout, "Read time-out in seconds (0: none)")
      ->check(CLI::Range(0, 86400));
  auto* agent = command.add_option("--agent", args.Agent, "Browser identity number (0-11)")
                    ->check(CLI::Range(0, 11));
  command.add_option("--agent-string", args.AgentString, "User-Agent text sent as typed")
      ->excludes(agent);
  auto* s4 = command.add_option("--socks4", socks.Socks4, "SOCKS 4 proxy HOST:PORT");
  auto* s4a = command.add_option("--socks4a", socks.Socks4A, "SOCKS 4A proxy HOST:PORT");
  auto* s5 = command.add_option("--socks5", socks.Socks5, "SOCKS 5 proxy HOST:PORT");
  s4->excludes(s4a)->excludes(s5);
  s4a->excludes(s5);
  command.add_option("--user", args.User, "User name of the default login");
  command.add_option("--password", args.Password, "Password of the default login");
  command.add_option("--dispatch-interval", args.DispatchIntervalMs,
                     "Milliseconds between dispatches (0: as fast as workers are free)")
      ->check(CLI::Range(0, 60000));
}

// Fills in the SOCKS choice; false (with a message) when its address is not HOST:PORT.
bool ResolveSocks(const TSocksOptions& socks, TCrawlArgs& args) {
  const std::pair<const std::string*, TSocksVersion> choices[] = {
      {&socks.Socks4, svSocks4}, {&socks.Socks4A, svSocks4A}, {&socks.Socks5, svSocks5}};
  for (const auto& [text, version] : choices) {
    if (text->empty()) continue;
    if (!ParseHostPort(*text, args.Socks.Host, args.Socks.Port)) {
      std::cerr << "tarnquill-cli: a SOCKS proxy is given as HOST:PORT, not \"" << *text << "\"\n";
      return false;
    }
    args.Socks.Version = version;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tarnquill: download a website into one project file and browse it offline."};
  app.set_version_flag("--version", "tarnquill-cli 0.1.0");
  app.require_subcommand(1);

  TCrawlArgs crawlArgs;
  TSocksOptions socks;
  TProjectArgs project;
  std::string url, listName, templateOut;
  const auto addListOption = [&](CLI::App& command) {
    command.add_option("--list", listName, "Print only this list")
        ->check(CLI::IsMember({"ready", "queue", "failed", "ignored", "emails"}));
  };

  auto* crawl = app.add_subcommand("crawl", "Crawl a site and print its link lists");
  crawl->add_option("URL", url, "Starting address")->required();
  crawl->add_option("-o,--output", project.ProjectFile, "Save the project to this .web file");
  crawl->add_option("--template", project.TemplateFile, "Apply this template before the crawl")
      ->check(CLI::ExistingFile);
  addListOption(*crawl);
  AddCrawlOptions(*crawl, crawlArgs, socks);

  auto* resume = app.add_subcommand("resume", "Continue a saved crawl, save it and print its lists");
  resume->add_option("FILE", project.ProjectFile, "Project file")->required();
  addListOption(*resume);
  AddCrawlOptions(*resume, crawlArgs, socks);

  auto* list = app.add_subcommand("list", "Print the link lists of a project file");
  list->add_option("FILE", project.ProjectFile, "Project file")->required();
  addListOption(*list);

  auto* show = app.add_subcommand("show", "Write a stored document with its online links");
  show->add_option("FILE", project.ProjectFile, "Project file")->required();
  show->add_option("URL", url, "Address of the document")->required();

  auto* saveTemplate = app.add_subcommand("template", "Write a project's settings as a template");
  saveTemplate->add_option("FILE", project.ProjectFile, "Project file")->required();
  saveTemplate->add_option("OUT", templateOut, "Template file to write (.etpl)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kBadArguments;
  }
  if (!ResolveSocks(socks, crawlArgs)) return kBadArguments;
  if (!listName.empty()) project.OnlyList = PrintedListNamed(listName);

  QCoreApplication qtApp(argc, argv);
  if (crawl->parsed()) return CrawlCommand(url, crawlArgs, project);
  if (resume->parsed()) return ResumeCommand(crawlArgs, project);
  if (list->parsed()) return ListCommand(project);
  if (show->parsed()) return ShowCommand(project, url);
  return TemplateCommand(project, templateOut);
}
