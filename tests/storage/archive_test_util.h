// Helpers shared by the archive tests: a scratch folder and whole-file reads and writes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tq::test {

class TScratchFolder {
 public:
  TScratchFolder() {
    static int counter = 0;
    m_path = std::filesystem::temp_directory_path() /
             ("tq_archive_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~TScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string operator/(const std::string& name) const { return (m_path / name).string(); }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

inline std::string Noise(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(rng());
  return out;
}

inline std::string Html(size_t size, uint32_t seed) {
  static const char* kParts[] = {
      "<p>The ",  "archive ",   "<a href=\"page",      ".html\">", "</a> ", "site ",
      "offline ", "copy</p>\n", "<div class=\"nav\">", "</div>\n"};
  std::mt19937 rng(seed);
  std::string out;
  while (out.size() < size) {
    out += kParts[rng() % std::size(kParts)];
    if (rng() % 5 == 0) out += std::to_string(rng() % 1000);
  }
  out.resize(size);
  return out;
}

}  // namespace tq::test
