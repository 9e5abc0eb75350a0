// The serve command: a saved project browsed through the offline server, until Ctrl-C or TERM.
#include <sys/resource.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <QCoreApplication>

#include "cli/command.h"
#include "cli/interrupt_watch.h"
#include "cli/project.h"
#include "cli/text_escape.h"
#include "server/server.h"

namespace tq::cli {
namespace {

struct TServeArgs {
  std::string ProjectFile;
  int Port = 0;  // 0: the first free one from 80 on
  bool AllowRemote = false;
};

// A browser opens several connections per page and keeps them; the usual soft limit of 1024
// descriptors would make the server close idle ones early.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::string ErrorText(TVornServerError error, const TServeArgs& args) {
  if (error == eseNoAdapter) return "no network interface is up";
  if (args.Port != 0)
    return "cannot serve on port " + std::to_string(args.Port) +
           " (in use, reserved for the superuser, or refused by browsers)";
  return "no free port from " + std::to_string(kFirstServerPort) + " to " +
         std::to_string(kLastServerPort);
}

// Serves until a signal asks to stop; the project file is only read.
int ServeCommand(const TServeArgs& args) {
  TProject p;
  if (!p.Load(args.ProjectFile)) return 1;
  p.Options.InternetConnection.AllowLocalConnectionOnly = !args.AllowRemote;
  p.Download->SetVornOptions(&p.Options);
  RaiseDescriptorLimit();

  TVornServer server;
  server.SetVornDownload(p.Download.get());
  if (args.Port != 0) server.SetPortRange(args.Port, args.Port);
  std::optional<TVornServerError> error;
  server.OnError = [&error](TVornServer&, TVornServerError e) { error = e; };
  server.SetActive(true);
  if (!server.Active()) {
    Fail(ErrorText(error.value_or(eseNoPortAvailable), args));
    return 1;
  }
  // Watch for signals before the addresses appear: whoever reads them may stop us at once.
  TInterruptWatch interrupt([] { QCoreApplication::quit(); }, {SIGINT, SIGTERM});
  std::cout << server.ServerPrefix() << '\n'
            << EscapeControls(server.ServerPrefix() + p.Download->General().BaseUrl) << std::endl;
  QCoreApplication::exec();
  server.SetActive(false);
  return 0;
}

const bool kServe =
    RegisterCommand(45, "serve", "Browse a project file: serve its stored pages on a local port",
                    [](CLI::App& command) -> TCommandRunner {
                      auto args = std::make_shared<TServeArgs>();
                      command.add_option("FILE", args->ProjectFile, "Project file")->required();
                      command.add_option("--port", args->Port, "Serve on this port only")
                          ->check(CLI::Range(1, 65535));
                      command.add_flag("--allow-remote", args->AllowRemote,
                                       "Listen on every interface and answer other machines too");
                      return [args] { return ServeCommand(*args); };
                    });

}  // namespace
}  // namespace tq::cli
