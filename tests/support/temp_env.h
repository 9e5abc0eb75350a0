// Test scaffolding for code that touches the file system and the user's environment: a temporary
// folder removed with everything in it, and environment variables set for one test and put back.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tq::test {

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tq-test-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data());
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets environment variables for one test and puts the old values back.
class TEnvOverride {
 public:
  TEnvOverride() = default;
  TEnvOverride(const TEnvOverride&) = delete;
  TEnvOverride& operator=(const TEnvOverride&) = delete;

  void Set(const char* name, const std::string& value) {
    Save(name);
    ::setenv(name, value.c_str(), 1);
  }
  void Unset(const char* name) {
    Save(name);
    ::unsetenv(name);
  }
  // HOME and the XDG folders inside folder, so nothing reaches the real user's files.
  void IsolateHome(const std::filesystem::path& folder) {
    Set("HOME", folder.string());
    Set("XDG_CONFIG_HOME", (folder / "config").string());
    Set("XDG_DATA_HOME", (folder / "data").string());
    Set("XDG_CACHE_HOME", (folder / "cache").string());
  }
  ~TEnvOverride() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

 private:
  void Save(const char* name) {
    const char* old = std::getenv(name);
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace tq::test
