// The command that searches the text of a project's stored pages.
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/project.h"
#include "cli/text_escape.h"
#include "foundation/main_loop.h"
#include "search/content_search.h"

namespace tq::cli {
namespace {

// Prints a row per page whose text holds the keyword (title, found text, address) in the order
// of the Ready list, and their number on standard error.
int SearchCommand(const std::string& file, const std::string& keyword) {
  TProject p;
  if (!p.Load(file)) return 1;
  TVornContentSearch search;
  search.SetVornDownload(p.Download.get());
  search.SetDocument(&p.Document());
  search.OnItemsAdded = [](TVornContentSearch& sender, int first, int count) {
    for (int i = first; i < first + count; ++i) {
      const TSearchListBoxItem& row = sender.Items()[static_cast<std::size_t>(i)];
      std::cout << EscapeControls(row.Title) << '\t' << EscapeControls(row.Text) << '\t'
                << EscapeControls(row.Url) << '\n';
    }
  };
  search.StartSearch(keyword);
  ProcessEventsUntil([&] { return !search.Searching(); });
  std::cout.flush();
  if (!std::cout.good()) {
    Fail("could not write the results");
    return 1;
  }
  std::cerr << search.Items().size() << " pages found\n";
  return 0;
}

struct TSearchArgs {
  std::string ProjectFile, Keyword;
};

const bool kSearch = RegisterCommand(
    100, "search", "Print the stored pages whose text holds a keyword",
    [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TSearchArgs>();
      command.add_option("FILE", s->ProjectFile, "Project file")->required();
      command.add_option("KEYWORD", s->Keyword, "Text to look for, letter case ignored")
          ->required();
      return [s] { return SearchCommand(s->ProjectFile, s->Keyword); };
    });

}  // namespace
}  // namespace tq::cli
