// tarnquill-cli: the headless front end. Each command registers itself in its own file.
#include "cli/command.h"

int main(int argc, char** argv) {
  return tq::cli::RunCommandLine(argc, argv);
}
