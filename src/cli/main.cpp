// tarnquill-cli: the headless front end. Crawling, saving and listing projects arrive as the
// engine grows; for now it only describes itself.
#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Tarnquill: download a website into one project file and browse it offline."};
  app.set_version_flag("--version", "tarnquill-cli 0.1.0");
  app.require_subcommand(0);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
