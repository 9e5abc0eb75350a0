// The commands of tarnquill-cli once its arguments are parsed. Each returns the exit code:
// 0 done, 1 failed (the reason is on standard error).
#pragma once

#include <optional>
#include <string>

#include "cli/crawl_session.h"
#include "engine/link_lists.h"

namespace tq::cli {

struct TProjectArgs {
  std::string ProjectFile;   // the .web file; empty: the crawl is not saved
  std::string TemplateFile;  // applied before a new crawl; empty: none
  std::optional<TVornLinkList> OnlyList;
};

// A new project from url crawled to its end (or to Ctrl-C), printed, and saved when asked.
int CrawlCommand(const std::string& url, const TCrawlArgs& crawl, const TProjectArgs& project);
// Loads a project, continues its Queue, saves it and prints its lists.
int ResumeCommand(const TCrawlArgs& crawl, const TProjectArgs& project);
int ListCommand(const TProjectArgs& project);
// Writes the document stored under url with its links at their online addresses.
int ShowCommand(const TProjectArgs& project, const std::string& url);
// Writes the project's settings as a template file.
int TemplateCommand(const TProjectArgs& project, const std::string& templateFile);

}  // namespace tq::cli
