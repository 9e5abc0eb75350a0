// TVornIndexFile: the content index in memory. It reads and writes the settings-file syntax of
// TVornMemIniFile, but a section is found by its exact name, because its name is an address and
// addresses that differ only in letter case are different pages (and mail boxes); key names
// still compare without regard to case ("CONTENT" is "Content"). An address is also found under
// another spelling of it: a section is found by the canonical form of its name
// (foundation/canonical_url.h) when no section has the exact name, so the raw spellings of
// projects stored before addresses had one form are found by the canonical ones.
//
// It is kept small, as a project's index may hold hundreds of thousands of sections: a section
// is one string (its name, then its lines, each ended by '\n'), found through a hash set of
// positions. A section name met twice in a file is one section with the lines of the later
// occurrence, in the place of the first (what lookups of the settings store find, too).
//
// Not thread-safe: one user at a time (the project document's jobs).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/ini_file.h"

namespace tq {

class TVornIndexFile : public TVornCustomIniFile {
 public:
  explicit TVornIndexFile(std::string fileName = {});
  ~TVornIndexFile() override;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  void ReadSection(std::string_view section, std::vector<std::string>& names) const override;
  void ReadSections(std::vector<std::string>& names) const override;
  void ReadSectionValues(std::string_view section, std::vector<std::string>& lines) const override;
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view key) override;
  // Writes GetText() to the file, atomically; raises EIniFileException when that fails.
  void UpdateFile() override;

  // Replaces the whole content by parsing text / gives the text UpdateFile writes: every section
  // as "[name]", its lines and one empty line, CR LF ended.
  void SetText(std::string_view text);
  std::string GetText() const;

  // GetText's text read in order without building it whole, for writing a large index out in
  // pieces. The index must not change while a reader is in use.
  class TTextReader {
   public:
    explicit TTextReader(const TVornIndexFile& index);
    uint64_t Size() const { return m_size; }
    // Copies up to size bytes of the text at offset; fewer only at its end. Reads are meant to
    // go forward: one before the last starts again from the first section.
    size_t ReadAt(uint64_t offset, char* buffer, size_t size);

   private:
    static constexpr size_t kPiece = 16 * 1024;
    const TVornIndexFile& m_index;
    uint64_t m_size = 0;
    size_t m_slot = 0;       // the next section to render
    std::string m_piece;     // rendered sections
    uint64_t m_pieceAt = 0;  // where m_piece starts in the text
  };

  // Sections are kept in slots, in file order; an erased section leaves its slot empty until
  // Compact, so slot numbers stay valid while a caller walks them in steps. SectionAt gives the
  // name in a slot, false for an empty one.
  size_t SlotCount() const { return m_sections.size(); }
  bool SectionAt(size_t slot, std::string_view& name) const;
  size_t ErasedCount() const { return m_erased; }
  // Frees the empty slots; slot numbers change.
  void Compact();

 private:
  struct TNameHash {
    using is_transparent = void;
    const TVornIndexFile* owner;
    size_t operator()(uint32_t slot) const noexcept;
    size_t operator()(std::string_view name) const noexcept;
  };
  struct TNameEqual {
    using is_transparent = void;
    const TVornIndexFile* owner;
    bool operator()(uint32_t a, uint32_t b) const noexcept { return a == b; }
    bool operator()(std::string_view name, uint32_t slot) const noexcept;
    bool operator()(uint32_t slot, std::string_view name) const noexcept;
  };

  // Appends a section's text as GetText writes it; nothing for an erased one.
  static void AppendText(const std::string& section, std::string& text);
  std::string_view NameOf(uint32_t slot) const;
  // The slot of the section named name, or of the one whose name has name's canonical form;
  // -1 when none.
  int64_t Find(std::string_view name) const;
  int64_t FindExact(std::string_view name) const;
  // Keeps the canonical form of a section's name found when it is not the name itself.
  void AddAlias(uint32_t slot);
  void Add(std::string text);
  void Clear();

  std::vector<std::string> m_sections;  // "" for an erased section
  std::unordered_set<uint32_t, TNameHash, TNameEqual> m_byName;
  struct TTextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  // Canonical forms of the names that are not canonical, to their slots (the first one holding
  // such a form wins); empty for projects written since addresses have one spelling.
  std::unordered_map<std::string, uint32_t, TTextHash, std::equal_to<>> m_aliases;
  size_t m_erased = 0;
};

}  // namespace tq
