// The command that finds links of a project by their address.
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/project.h"
#include "cli/text_escape.h"
#include "foundation/main_loop.h"
#include "search/find_files.h"

namespace tq::cli {
namespace {

// Prints a row per link of the Ready, Queue, Failed and Ignored lists whose address holds the
// keyword (address, list, level, page), and their number on standard error.
int FindCommand(const std::string& file, const std::string& keyword, bool caseSensitive) {
  TProject p;
  if (!p.Load(file)) return 1;
  TVornFindFiles find(*p.Download);
  find.OnItemsAdded = [](TVornFindFiles& sender, int first, int count) {
    for (int i = first; i < first + count; ++i) {
      const TFindFileItem& row = sender.Items()[static_cast<std::size_t>(i)];
      std::cout << EscapeControls(row.Url) << '\t' << row.Status << '\t' << row.Level << '\t'
                << EscapeControls(row.Page) << '\n';
    }
  };
  find.Search(keyword, caseSensitive);
  ProcessEventsUntil([&] { return find.Idle(); });
  std::cout.flush();
  if (!std::cout.good()) {
    Fail("could not write the results");
    return 1;
  }
  std::cerr << find.StatusText() << '\n';
  return 0;
}

struct TFindArgs {
  std::string ProjectFile, Keyword;
  bool CaseSensitive = false;
};

const bool kFind = RegisterCommand(
    110, "find", "Print the links whose address holds a keyword",
    [](CLI::App& command) -> TCommandRunner {
      auto s = std::make_shared<TFindArgs>();
      command.add_option("FILE", s->ProjectFile, "Project file")->required();
      command.add_option("KEYWORD", s->Keyword, "Text to look for in the addresses")->required();
      command.add_flag("--case-sensitive", s->CaseSensitive, "Match letter case exactly");
      return [s] { return FindCommand(s->ProjectFile, s->Keyword, s->CaseSensitive); };
    });

}  // namespace
}  // namespace tq::cli
