// The export's file list and the paths it hands out.
#include "export/dep_files.h"

#include <unordered_set>

#include "export/export_path.h"
#include "foundation/ansi.h"
#include "foundation/ascii_case.h"
#include "foundation/canonical_url.h"

namespace tq {
namespace {

// Paths compared as a reader that ignores letter case would: ASCII letters only, so UTF-8
// names are never folded into each other.
std::string PathKey(std::string_view path) {
  return AsciiLowerCase(path);
}

}  // namespace

void TVornDepFiles::Clear() {
  m_files.clear();
  m_byUrl.clear();
}

TVornDepFile& TVornDepFiles::Add(std::string url, std::string_view contentType) {
  TVornDepFile& file = m_files.emplace_back();
  file.PageNumber = Count() - 1;
  file.ContentType = AnsiUpperCase(contentType);
  file.LocalPath = MakeExportPath(url, file.PageNumber, file.ContentType);
  m_byUrl.emplace(CanonicalUrl(url), file.PageNumber);
  file.Url = std::move(url);
  return file;
}

void TVornDepFiles::MakePathsUnique() {
  // A folder wins over a file of the same name: the folder may hold many files, the file is one.
  std::unordered_set<std::string> folders;
  for (const TVornDepFile& file : m_files) {
    const std::string key = PathKey(file.LocalPath);
    for (size_t slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
      folders.insert(key.substr(0, slash));
  }
  std::unordered_set<std::string> taken;
  for (TVornDepFile& file : m_files) {
    const auto free = [&](const std::string& path) {
      const std::string key = PathKey(path);
      return folders.count(key) == 0 && taken.count(key) == 0;
    };
    if (!free(file.LocalPath)) {
      const size_t slash = file.LocalPath.rfind('/');
      const std::string folder = file.LocalPath.substr(0, slash + 1);
      const std::string name = file.LocalPath.substr(slash + 1);
      const bool isPage = IsPageContentType(file.ContentType);
      const std::string id = std::to_string(file.PageNumber);
      std::string renamed = folder + AppendPageId(name, id, isPage);
      for (int again = 2; !free(renamed); ++again)
        renamed = folder + AppendPageId(name, id + "-" + std::to_string(again), isPage);
      file.LocalPath = std::move(renamed);
    }
    taken.insert(PathKey(file.LocalPath));
  }
}

const TVornDepFile* TVornDepFiles::Find(std::string_view url) const {
  std::string scratch;
  const auto it = m_byUrl.find(CanonicalUrlView(url, scratch));
  return it == m_byUrl.end() ? nullptr : &m_files[static_cast<size_t>(it->second)];
}

}  // namespace tq
