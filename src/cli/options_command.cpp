// tarnquill-cli options: prints the application options as SECTION.KEY=VALUE lines, and changes
// and saves them with --set. The file is the one the desktop program uses (TARNQUILL_CONFIG
// names another).
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/project.h"
#include "cli/text_escape.h"
#include "foundation/ansi.h"
#include "foundation/mem_ini_file.h"
#include "options/options.h"

namespace tq::cli {
namespace {

struct TSetting {
  std::string Section, Key, Value;
};

// "SECTION.KEY=VALUE": the key ends at the first "=", the section at the first ".".
std::optional<TSetting> ParseSetting(const std::string& text) {
  const size_t eq = text.find('=');
  const size_t dot = text.find('.');
  if (eq == std::string::npos || dot == std::string::npos || dot == 0 || dot + 1 >= eq) {
    return std::nullopt;
  }
  return TSetting{text.substr(0, dot), text.substr(dot + 1, eq - dot - 1), text.substr(eq + 1)};
}

// The options as a file holds them; what a load would read back from it.
std::unique_ptr<TVornMemIniFile> AsFile(const TVornOptions& options) {
  TVornMemIniFile written("");
  options.SaveToIni(written);
  auto reread = std::make_unique<TVornMemIniFile>("");
  reread->SetText(written.GetText());
  return reread;
}

// The options of the settings file, with the projects a scheduled exit saved kept for the
// desktop program to reopen: loading hands them over, and nobody here opens them.
class TLoadedOptions {
 public:
  TLoadedOptions() {
    m_options.OnFindBrowsers = FindInstalledBrowsers;
    m_options.OnDocNeedToOpen = [this](const std::string& file) { m_autoSaved.push_back(file); };
  }
  TVornOptions& Options() { return m_options; }

  void LoadFromFile() {
    KeepAutoSaved([&] { m_options.LoadOptions(); });
  }
  void LoadFrom(const TVornCustomIniFile& ini) {
    KeepAutoSaved([&] { m_options.LoadFromIni(ini); });
  }

 private:
  template <class Fn>
  void KeepAutoSaved(Fn load) {
    m_autoSaved.clear();
    load();
    for (const auto& file : m_autoSaved)
      m_options.InternetDisconnect.AutoSavedDocs.Add().FileName = file;
  }

  TVornOptions m_options;
  std::vector<std::string> m_autoSaved;
};

int PrintOptions(const TVornOptions& options) {
  const auto file = AsFile(options);
  std::vector<std::string> sections, lines;
  file->ReadSections(sections);
  for (const auto& section : sections) {
    file->ReadSectionValues(section, lines);
    for (const auto& line : lines) std::cout << EscapeControls(section + "." + line) << '\n';
  }
  std::cout.flush();
  return std::cout.good() ? 0 : 1;
}

// A value is taken when a load of the saved file reads it back as given (a date-time in any of
// its accepted forms); "yes" for a switch, 300 for a byte or an unknown key are refused.
bool ReadsBack(const std::string& given, const std::string& stored) {
  if (given == stored) return true;
  const auto a = ParseStoredDateTime(given);
  const auto b = ParseStoredDateTime(stored);
  return a && b && *a == *b;
}

int SetOptions(const std::vector<std::string>& texts) {
  std::vector<TSetting> settings;
  for (const auto& text : texts) {
    auto setting = ParseSetting(text);
    if (!setting) {
      Fail("an option is set as SECTION.KEY=VALUE, not \"" + EscapeControls(text) + "\"");
      return kBadArguments;
    }
    settings.push_back(std::move(*setting));
  }
  TLoadedOptions loaded;
  loaded.LoadFromFile();
  TVornOptions& options = loaded.Options();

  const auto edited = AsFile(options);
  std::vector<std::string> known;
  edited->ReadSections(known);
  for (const auto& s : settings) {
    bool found = false;
    for (const auto& section : known) found = found || AnsiSameText(section, s.Section);
    if (!found) {
      Fail("there is no option section " + EscapeControls(s.Section));
      return kBadArguments;
    }
    edited->WriteString(s.Section, s.Key, s.Value);
  }
  loaded.LoadFrom(*edited);

  const auto result = AsFile(options);
  for (const auto& s : settings) {
    const std::string stored = result->ReadString(s.Section, s.Key, "\x01");
    if (!ReadsBack(s.Value, stored)) {
      Fail(EscapeControls(s.Section + "." + s.Key) +
           (stored == "\x01" ? " is not an option"
                             : " cannot hold \"" + EscapeControls(s.Value) +
                                   "\" (it reads back as \"" + EscapeControls(stored) + "\")"));
      return kBadArguments;
    }
  }
  try {
    options.SaveOptions();
  } catch (const EIniFileException& e) {
    Fail(e.what());
    return 1;
  }
  return 0;
}

struct TOptionsArgs {
  std::vector<std::string> Settings;
  bool Path = false;
};

const bool kOptions = RegisterCommand(
    90, "options", "Print the application options as SECTION.KEY=VALUE, or change and save them",
    [](CLI::App& command) -> TCommandRunner {
      auto args = std::make_shared<TOptionsArgs>();
      command.footer(
          "The options live in config.dat in $XDG_CONFIG_HOME/tarnquill (~/.config/tarnquill), "
          "or beside the program when a config.dat is already there (a portable copy); the "
          "environment variable TARNQUILL_CONFIG names another file. The crawl and resume "
          "commands read them before their own options.");
      auto* set =
          command.add_option("--set", args->Settings, "SECTION.KEY=VALUE to change and save")
              ->expected(1, -1);
      command.add_flag("--path", args->Path, "Print where the options file is")->excludes(set);
      return [args] {
        if (args->Path) {
          std::cout << EscapeControls(TVornOptions().ConfigFile()) << '\n';
          return 0;
        }
        if (!args->Settings.empty()) return SetOptions(args->Settings);
        TLoadedOptions loaded;
        loaded.LoadFromFile();
        return PrintOptions(loaded.Options());
      };
    });

}  // namespace
}  // namespace tq::cli
