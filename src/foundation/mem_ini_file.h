// The in-memory form of the settings store: the file is parsed once when the object is made,
// reads and writes work on memory, and only UpdateFile writes the file (atomically, as a whole).
// Destroying the object discards unsaved changes. Not thread-safe.
//
// Section and key lookups go through hash indexes that follow every change, so a store with tens
// of thousands of sections can be written and read alternately at constant cost per call.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "foundation/hashed_string_list.h"
#include "foundation/ini_file.h"

namespace tq {

class TVornMemIniFile : public TVornCustomIniFile {
 public:
  // Parses the file when it exists; a missing file gives an empty store. Raises
  // EIniFileException ("Unable to read <file name>") when the file exists but cannot be read.
  explicit TVornMemIniFile(std::string fileName);
  ~TVornMemIniFile() override;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  void ReadSection(std::string_view section, std::vector<std::string>& names) const override;
  void ReadSections(std::vector<std::string>& names) const override;
  void ReadSectionValues(std::string_view section, std::vector<std::string>& lines) const override;
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view key) override;
  // Writes every section as "[name]", its lines and one empty line, CR LF ended. Raises
  // EIniFileException ("Unable to write to <file name>") when the file cannot be written.
  void UpdateFile() override;

  // Replaces the whole content by parsing text / gives the text UpdateFile would write.
  void SetText(std::string_view text);
  std::string GetText() const;
  void Clear();

 private:
  struct TSection {
    std::string Name;
    std::string Folded;  // the name as lookups compare it; the index points into it
    std::unique_ptr<THashedStringList> Lines;
    uint64_t Order = 0;  // higher for a later section: a name met twice answers with the later
  };
  using TSectionList = std::list<TSection>;

  THashedStringList* AddSection(std::string name);
  TSectionList::iterator FindSectionAt(std::string_view name) const;
  THashedStringList* FindSection(std::string_view name) const;

  // Sections in file order, and found by their folded name without counting positions, so that
  // erasing one from the middle of a large store costs the same as erasing the last.
  mutable TSectionList m_sections;
  std::unordered_multimap<std::string_view, TSectionList::iterator> m_byName;
  uint64_t m_nextOrder = 0;
};

}  // namespace tq
