// The file list of an export: one TVornDepFile per exported document, in export order, each with
// the path it is written under. The contents are not held here: the export reads, renders and
// writes one document at a time, so an export of any size keeps one page in memory.
//
// Threads: the export thread fills and reads the list while an export runs; the interface thread
// reads it between exports and inside the save phase's event handlers (the list does not change
// once the index is built). References to files stay valid until Clear.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tq {

struct TVornDepFile {
  std::string Url;          // absolute address of the document
  std::string LocalPath;    // where it is written inside the export: "/"-separated, relative
  std::string ContentType;  // the stored content type, upper-cased
  int PageNumber = 0;       // its 0-based position in the file list
};

class TVornDepFiles {
 public:
  void Clear();
  // Appends the document at url (contentType as stored) with the path MakeExportPath gives it.
  TVornDepFile& Add(std::string url, std::string_view contentType);
  // Gives every file a path no other file and no folder of another file claims, letter case
  // ignored (a ZIP or e-book may be read where case does not count): a later file, or a file
  // whose path names another's folder, gets "¿PageID=" and its page number in its name.
  void MakePathsUnique();

  int Count() const { return static_cast<int>(m_files.size()); }
  const TVornDepFile& operator[](int index) const { return m_files[static_cast<size_t>(index)]; }
  // The file exported for this address (case-sensitive; any spelling of it, as addresses are
  // compared in their canonical form), or null.
  const TVornDepFile* Find(std::string_view url) const;

 private:
  // Looks addresses up without copying them.
  struct THash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  std::deque<TVornDepFile> m_files;
  std::unordered_map<std::string, int, THash, std::equal_to<>> m_byUrl;
};

}  // namespace tq
