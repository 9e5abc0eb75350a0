// The subcommands of tarnquill-cli. Each command lives in a file of its own and registers
// itself at program start with RegisterCommand; main builds the command line from the
// registrations in their order and runs the one the user named.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

namespace tq::cli {

inline constexpr int kBadArguments = 2;

// Runs a parsed command on the interface thread (a QCoreApplication exists); returns the exit
// code: 0 done, 1 failed (the reason is on standard error), 2 bad arguments.
using TCommandRunner = std::function<int()>;

// Adds one subcommand (with its options) to app and returns the function that runs it. The
// options' values must live as long as the runner: keep them in state the runner owns.
using TCommandFactory = std::function<TCommandRunner(CLI::App& command)>;

// Called from a static initialiser of the command's file. order sorts the commands in --help
// (crawl 10, resume 20, list 30, show 40, template 50; later commands pick free numbers).
bool RegisterCommand(int order, const char* name, const char* description, TCommandFactory factory);

// Builds the command line from every registration, parses argv and runs the chosen command.
int RunCommandLine(int argc, char** argv);

}  // namespace tq::cli
