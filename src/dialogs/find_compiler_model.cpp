// The compiler finder.
#include "dialogs/find_compiler_model.h"

#include <unistd.h>

namespace tq {
namespace {

std::string Shortened(const std::string& text) {
  if (text.size() < 50) return text;
  return text.substr(0, 23) + "...." + text.substr(text.size() - 23);
}

}  // namespace

TFindCompilerModel::TFindCompilerModel() {
  m_scanner.Files = kCompilerNames;
  m_scanner.ScanStrategy = ssGlobal;
  m_scanner.ScanDrives = sdHard | sdCDROM | sdRAM | sdNetwork;
  m_scanner.Attributes = faArchive;
  m_scanner.Recursive = true;
  m_scanner.OnProcess = [this](uint32_t, uint64_t, const std::string& current) {
    m_current = Shortened(current);
    Changed();
  };
  m_scanner.OnFileFound = [this](const std::string& name, const std::string& path, unsigned,
                                 int64_t, TDateTime) {
    const std::string file = path.ends_with('/') ? path + name : path + "/" + name;
    if (::access(file.c_str(), X_OK) != 0) return;
    m_found.push_back(file);
    Changed();
  };
  m_scanner.OnProcessDone = [this](uint32_t, uint64_t) {
    m_current.clear();
    Changed();
  };
}

void TFindCompilerModel::PressStart() {
  if (Searching()) {
    m_scanner.Stop();
    return;
  }
  m_found.clear();
  m_selected = -1;
  m_scanner.Start();
  Changed();
}

void TFindCompilerModel::Select(int index) {
  m_selected = index >= 0 && index < static_cast<int>(m_found.size()) ? index : -1;
  Changed();
}

std::string TFindCompilerModel::SelectedFile() const {
  return m_selected >= 0 ? m_found[static_cast<size_t>(m_selected)] : std::string();
}

}  // namespace tq
