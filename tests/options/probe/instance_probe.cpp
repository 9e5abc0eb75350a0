// A stand-in for the desktop program's start, for the single-instance tests: "tq_instance_probe
// NAME [ARGS...]" either finds another instance holding NAME, hands ARGS over to it and ends (0
// when it took them, 3 when not), or becomes the instance: prints "ready", then "open:FILE" or
// "links:LINE|LINE..." for every hand-over it receives, and ends when its standard input closes.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "options/integration.h"
#include "options/one_instance.h"
#include "platform/hand_over.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  tq::TOneInstance instance(argv[1]);
  const std::vector<std::string> arguments(argv + 2, argv + argc);
  if (instance.Check()) return tq::HandOverToRunningInstance(instance.Name(), arguments) ? 0 : 3;

  tq::TVornIntegration integration;
  integration.OnOpenFile = [](const std::string& file) {
    std::printf("open:%s\n", file.c_str());
    std::fflush(stdout);
  };
  integration.OnIELinks = [](const std::vector<std::string>& lines, bool, bool) {
    std::string joined;
    for (const auto& line : lines) joined += (joined.empty() ? "" : "|") + line;
    std::printf("links:%s\n", joined.c_str());
    std::fflush(stdout);
  };
  tq::THandOverServer server;
  server.OnHandOver = [&](const std::vector<std::string>& lines) {
    integration.ExecuteMacro(lines);
  };
  server.Listen(instance.Name());

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char byte = 0;
    if (::read(STDIN_FILENO, &byte, 1) <= 0) QCoreApplication::quit();
  });
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}
