// The settings store: INI-style text files of [sections] holding name=value lines. Every
// persistent object reads and writes itself through TVornCustomIniFile, one section per object,
// so it works with either form: TVornMemIniFile (foundation/mem_ini_file.h) keeps the whole file in
// memory until UpdateFile; TVornIniFile (below) goes to the file on every call.
//
// A store object is not thread-safe; give each one a single user at a time.
//
// Files are CR LF text (CR, LF and CR LF read). Section and key names compare without regard to
// letter case (Windows-1252 table); blanks around names and values are dropped on reading; lines
// starting with ";" and lines before the first section are ignored; when a section or a key
// occurs twice, the later one is read and written. Nothing is escaped, so a line break cannot be
// stored: every CR and LF in a section name, key name or value is written as a blank, and
// section and key names are taken without surrounding blanks, as a file would return them. Key
// names are the program's own: they must not hold "=" nor start with "[" or ";".
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/date_time.h"
#include "foundation/errors.h"
#include "foundation/file_system.h"

namespace tq {

// A settings file could not be written (message "Unable to write to <file name>") or read.
class EIniFileException : public EVornError {
 public:
  using EVornError::EVornError;
};

// The text a section or key name is stored and looked up as: line breaks blanked, trimmed.
std::string IniName(std::string_view name);
// The text a value is stored as: line breaks blanked.
std::string IniValue(std::string_view value);

class TVornCustomIniFile {
 public:
  explicit TVornCustomIniFile(std::string fileName) : m_fileName(std::move(fileName)) {}
  TVornCustomIniFile(const TVornCustomIniFile&) = delete;
  TVornCustomIniFile& operator=(const TVornCustomIniFile&) = delete;
  virtual ~TVornCustomIniFile() = default;

  const std::string& FileName() const { return m_fileName; }

  // Missing section or key gives the default.
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const = 0;
  virtual void WriteString(std::string_view section, std::string_view key,
                           std::string_view value) = 0;

  // Typed values are written as text and read back through ReadString; a missing, empty or
  // malformed value gives the default, never an error.
  // Integers: decimal with optional sign, or hexadecimal after "$", "0x" or "0X".
  virtual int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  virtual void WriteInteger(std::string_view section, std::string_view key, int value);
  // Written "1" / "0"; any non-zero integer reads as true.
  virtual bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  virtual void WriteBool(std::string_view section, std::string_view key, bool value);
  // Decodes upper- or lower-case hexadecimal digit pairs and writes the bytes at the stream's put
  // position, which is restored afterwards; decoding stops at the first pair that is not hex.
  // Returns the number of bytes written.
  virtual int ReadBinaryStream(std::string_view section, std::string_view key,
                               std::ostream& stream) const;
  // Dates and times in the fixed forms of foundation/date_time.h; floats as the shortest
  // decimal text that reads back to the same double, with "." and no locale.
  virtual TDateTime ReadDate(std::string_view section, std::string_view key,
                             TDateTime defaultValue) const;
  virtual TDateTime ReadDateTime(std::string_view section, std::string_view key,
                                 TDateTime defaultValue) const;
  virtual double ReadFloat(std::string_view section, std::string_view key,
                           double defaultValue) const;
  virtual TDateTime ReadTime(std::string_view section, std::string_view key,
                             TDateTime defaultValue) const;
  // Writes the bytes from the stream's get position to its end as upper-case hex pairs.
  virtual void WriteBinaryStream(std::string_view section, std::string_view key,
                                 std::istream& stream);
  virtual void WriteDate(std::string_view section, std::string_view key, TDateTime value);
  virtual void WriteDateTime(std::string_view section, std::string_view key, TDateTime value);
  virtual void WriteFloat(std::string_view section, std::string_view key, double value);
  virtual void WriteTime(std::string_view section, std::string_view key, TDateTime value);

  // Key names of the section in file order; a line without "=" gives an empty name.
  virtual void ReadSection(std::string_view section, std::vector<std::string>& names) const = 0;
  // All section names in file order, duplicates included.
  virtual void ReadSections(std::vector<std::string>& names) const = 0;
  // The section's lines as name=value (lines without "=" as they are).
  virtual void ReadSectionValues(std::string_view section,
                                 std::vector<std::string>& lines) const = 0;
  virtual void EraseSection(std::string_view section) = 0;
  virtual void DeleteKey(std::string_view section, std::string_view key) = 0;
  virtual void UpdateFile() = 0;

  // True when the section holds at least one line; an empty section counts as missing.
  bool SectionExists(std::string_view section) const;

 private:
  std::string m_fileName;
};

// The direct form: every read parses the file afresh and every write replaces the file before
// it returns, atomically (temporary file, fsync, rename), so a crash leaves the old or the new
// content. A new key goes after the last line of its section, a new section at the end of the
// file. A value reads back at most kMaxValueLength characters. A missing or unreadable file
// reads as empty; WriteString and EraseSection raise EIniFileException when the file cannot be
// written (or exists but cannot be read, as rewriting it would lose its content); DeleteKey
// ignores failures.
class TVornIniFile : public TVornCustomIniFile {
 public:
  static constexpr size_t kMaxValueLength = 2047;
  static constexpr size_t kMaxSectionNamesLength = 1048576;
  static constexpr size_t kMaxKeyNamesLength = 16384;

  explicit TVornIniFile(std::string fileName, TFileSystem& fileSystem = RealFileSystem())
      : TVornCustomIniFile(std::move(fileName)), m_fileSystem(fileSystem) {}
  ~TVornIniFile() override;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  void ReadSection(std::string_view section, std::vector<std::string>& names) const override;
  void ReadSections(std::vector<std::string>& names) const override;
  void ReadSectionValues(std::string_view section, std::vector<std::string>& lines) const override;
  void EraseSection(std::string_view section) override;
  void DeleteKey(std::string_view section, std::string_view key) override;
  // Nothing is ever pending: every write is on disk when it returns.
  void UpdateFile() override {}

 private:
  struct TLines;
  bool Load(TLines& lines) const;
  bool Save(const TLines& lines) const;
  [[noreturn]] void RaiseWriteError() const;

  TFileSystem& m_fileSystem;
};

}  // namespace tq
