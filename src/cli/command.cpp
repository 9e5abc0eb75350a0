// The command registry and the program's entry into it.
#include "cli/command.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QCoreApplication>

namespace tq::cli {
namespace {

struct TRegistration {
  int Order;
  const char* Name;
  const char* Description;
  TCommandFactory Factory;
};

// A function-local list: registrations run from static initialisers of other files.
std::vector<TRegistration>& Registry() {
  static std::vector<TRegistration> registry;
  return registry;
}

}  // namespace

bool RegisterCommand(int order, const char* name, const char* description,
                     TCommandFactory factory) {
  Registry().push_back({order, name, description, std::move(factory)});
  return true;
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Tarnquill: download a website into one project file and browse it offline."};
  app.set_version_flag("--version", "tarnquill-cli 0.1.0");
  app.require_subcommand(1);

  std::vector<TRegistration> commands = Registry();
  std::stable_sort(
      commands.begin(), commands.end(),
      [](const TRegistration& a, const TRegistration& b) { return a.Order < b.Order; });
  std::vector<std::pair<CLI::App*, TCommandRunner>> runners;
  for (const TRegistration& command : commands) {
    CLI::App* sub = app.add_subcommand(command.Name, command.Description);
    runners.emplace_back(sub, command.Factory(*sub));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kBadArguments;
  }
  QCoreApplication qtApp(argc, argv);
  for (auto& [sub, run] : runners) {
    if (sub->parsed()) return run();
  }
  return kBadArguments;
}

}  // namespace tq::cli
