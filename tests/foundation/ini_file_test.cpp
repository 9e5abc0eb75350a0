// The settings store: file syntax, typed values and writes, in both forms and across them.
#include "foundation/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>

#include "foundation/atomic_file.h"
#include "foundation/mem_ini_file.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tq-ini-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(m_path); }
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

std::string Slurp(const std::string& path) {
  std::string text;
  ReadWholeFile(path, text);
  return text;
}

void Put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

using Factory = std::function<std::unique_ptr<TVornCustomIniFile>(const std::string&)>;

struct Form {
  const char* name;
  Factory make;
};

const Form kForms[] = {
    {"Mem", [](const std::string& f) { return std::make_unique<TVornMemIniFile>(f); }},
    {"Direct", [](const std::string& f) { return std::make_unique<TVornIniFile>(f); }},
};

class IniForms : public ::testing::TestWithParam<Form> {
 protected:
  // A store of the form under test over a file holding text.
  std::unique_ptr<TVornCustomIniFile> Open(const std::string& text) {
    Put(m_file, text);
    return GetParam().make(m_file);
  }
  // Saves (mem form) and reopens, so a check sees what reached the disk.
  std::unique_ptr<TVornCustomIniFile> Reopen(std::unique_ptr<TVornCustomIniFile> ini) {
    ini->UpdateFile();
    ini.reset();
    return GetParam().make(m_file);
  }
  TempFolder m_folder;
  std::string m_file = m_folder.File("store.ini");
};

INSTANTIATE_TEST_SUITE_P(Both, IniForms, ::testing::ValuesIn(kForms),
                         [](const auto& p) { return std::string(p.param.name); });

struct ReadCase {
  const char* file;
  const char* section;
  const char* key;
  const char* expected;  // "<default>" when the default comes back
};

TEST_P(IniForms, ReadsTheFileSyntax) {
  const ReadCase cases[] = {
      {"[A]\r\nx = 1 \r\n[a]\r\nx=2\r\n", "A", "x", "2"},  // later same-named section wins
      {"[A]\r\nx=1\r\nX=2\r\n", "a", "x", "2"},            // later same-named key wins
      {"[S]\nkey=a=b\n", "S", "key", "a=b"},
      {"[S]\rk=v\r", "S", "k", "v"},
      {"  [ S ]  \r\n  k  =  v w  \r\n", "s", "K", "v w"},
      {"k=before\r\n[S]\r\n", "S", "k", "<default>"},
      {"[S]\r\n;k=v\r\n", "S", ";k", "<default>"},
      {"[S]\r\n=v\r\n", "S", "", "<default>"},
      {"[S]\r\nk=\r\n", "S", "k", ""},
      {"[S]\r\nk=v", "S", "k", "v"},  // no line end at the end of the file
      {"[S]\r\n[T]\r\nk=v\r\n", "S", "k", "<default>"},
      {"[\xE9t\xE9]\r\n\xC9T\xC9=1\r\n", "\xC9T\xC9", "\xE9t\xE9", "1"},  // Windows-1252 case
      {"[]\r\nk=v\r\n", "", "k", "v"},
      {"[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
  };
  for (const auto& c : cases) {
    auto ini = Open(c.file);
    EXPECT_EQ(ini->ReadString(c.section, c.key, "<default>"), c.expected) << c.file;
  }
}

TEST_P(IniForms, SectionExistsNeedsALine) {
  auto ini = Open("[Comment]\r\n; only this\r\n[Junk]\r\nno equals sign\r\n[Empty]\r\n");
  EXPECT_FALSE(ini->SectionExists("Comment"));
  EXPECT_TRUE(ini->SectionExists("junk"));
  EXPECT_FALSE(ini->SectionExists("Empty"));
  EXPECT_FALSE(ini->SectionExists("Missing"));
  std::vector<std::string> names;
  ini->ReadSection("Junk", names);
  EXPECT_EQ(names, std::vector<std::string>{""});
  ini->ReadSections(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Comment", "Junk", "Empty"}));
}

TEST_P(IniForms, ListsSectionsKeysAndLines) {
  auto ini = Open("[S]\r\nb = 2\r\na=1\r\nloose line\r\n[T]\r\n[S]\r\nc=3\r\n");
  std::vector<std::string> list;
  ini->ReadSections(list);
  EXPECT_EQ(list, (std::vector<std::string>{"S", "T", "S"}));
  ini->ReadSection("s", list);  // the later S
  EXPECT_EQ(list, std::vector<std::string>{"c"});
  ini->EraseSection("S");  // removes the later one, the earlier shows again
  ini = Reopen(std::move(ini));
  ini->ReadSection("S", list);
  EXPECT_EQ(list, (std::vector<std::string>{"b", "a", ""}));
  ini->ReadSectionValues("S", list);
  EXPECT_EQ(list, (std::vector<std::string>{"b=2", "a=1", "loose line"}));
}

TEST_P(IniForms, WritesReplaceInPlaceAndAppendNewKeysAndSections) {
  auto ini = Open("; settings\r\n[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nc=3\r\n");
  ini->WriteString("s", "A", "10");
  ini->WriteString("S", "d", "4");
  ini->WriteString("New", "e", "5");
  ini->WriteInteger("T", "c", -30);
  ini->DeleteKey("S", "b");
  ini->DeleteKey("Missing", "b");
  ini = Reopen(std::move(ini));
  std::vector<std::string> lines;
  ini->ReadSectionValues("S", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"A=10", "d=4"}));
  ini->ReadSections(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"S", "T", "New"}));
  EXPECT_EQ(ini->ReadInteger("T", "c", 0), -30);
  EXPECT_EQ(ini->ReadString("new", "E", ""), "5");
}

// A hostile address used as a section name, or a value holding a line break, must not be able
// to add lines (sections, keys) to the file.
TEST_P(IniForms, LineBreaksNeverReachTheFile) {
  auto ini = Open("");
  ini->WriteString("http://x/\r\n[Evil]\r\nInjected=1", "k\nz", "a\r\nb\rc\nd");
  ini->WriteString("S", "k", "v\n[Evil2]");
  ini = Reopen(std::move(ini));
  std::vector<std::string> sections;
  ini->ReadSections(sections);
  EXPECT_EQ(sections, (std::vector<std::string>{"http://x/  [Evil]  Injected=1", "S"}));
  EXPECT_EQ(ini->ReadString("http://x/\r\n[Evil]\r\nInjected=1", "k\nz", ""), "a  b c d");
  EXPECT_EQ(ini->ReadString("S", "k", ""), "v [Evil2]");
  EXPECT_EQ(Slurp(m_file).find('\n'), Slurp(m_file).find("\r\n") + 1);
}

TEST_P(IniForms, IntegersAndBooleans) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"0x1F", 31},
      {"0X1f", 31},
      {"$1F", 31},
      {"-$10", -16},
      {"12abc", -7},
      {"0x", -7},
      {"$", -7},
      {"", -7},
      {"-12", -12},
      {"+12", 12},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", -7},
      {"$FFFFFFFF", -1},
      {"$100000000", -7},
      {"1 2", -7},
      {"--1", -7},
  };
  auto ini = Open("");
  for (const auto& c : cases) {
    ini->WriteString("S", "k", c.text);
    EXPECT_EQ(ini->ReadInteger("S", "k", -7), c.expected) << c.text;
  }
  const struct {
    const char* text;
    bool fallback;
    bool expected;
  } bools[] = {{"2", false, true}, {"-1", false, true}, {"0", true, false},
               {"", true, true},   {"", false, false},  {"yes", true, true}};
  for (const auto& c : bools) {
    ini->WriteString("S", "b", c.text);
    EXPECT_EQ(ini->ReadBool("S", "b", c.fallback), c.expected) << c.text;
  }
  ini->WriteBool("S", "b", true);
  EXPECT_EQ(ini->ReadString("S", "b", ""), "1");
}

TEST_P(IniForms, FloatsDatesAndTimesRoundTripWithoutLocale) {
  auto ini = Open("");
  for (const double v : {0.1, -2.5e-300, 1.7976931348623157e308, 3.141592653589793, 0.0, 1e21}) {
    ini->WriteFloat("F", "v", v);
    EXPECT_EQ(ini->ReadFloat("F", "v", -1), v);
  }
  ini->WriteFloat("F", "v", 0.1);
  EXPECT_EQ(ini->ReadString("F", "v", ""), "0.1");
  for (const char* bad : {"", "1,5", "1.5x", "abc", " "}) {
    ini->WriteString("F", "v", bad);
    EXPECT_EQ(ini->ReadFloat("F", "v", -1), -1) << bad;
  }

  const TDateTime when = ComposeDateTime(*EncodeDate(2026, 12, 9), *EncodeTime(9, 5, 7, 123));
  ini->WriteDateTime("D", "dt", when);
  ini->WriteDate("D", "d", when);
  ini->WriteTime("D", "t", when);
  ini = Reopen(std::move(ini));
  EXPECT_EQ(ini->ReadString("D", "dt", ""), "2026-12-09 09:05:07.123");
  EXPECT_EQ(ini->ReadString("D", "d", ""), "2026-12-09");
  EXPECT_EQ(ini->ReadString("D", "t", ""), "09:05:07.123");
  EXPECT_EQ(ini->ReadDateTime("D", "dt", 0), when);
  EXPECT_EQ(ini->ReadDate("D", "d", 0), *EncodeDate(2026, 12, 9));
  EXPECT_EQ(ini->ReadTime("D", "t", 0), *EncodeTime(9, 5, 7, 123));
  // Each reader takes only its own form; anything else gives the default.
  EXPECT_EQ(ini->ReadDate("D", "dt", -1), -1);
  EXPECT_EQ(ini->ReadTime("D", "d", -1), -1);
  EXPECT_EQ(ini->ReadDateTime("D", "d", -1), *EncodeDate(2026, 12, 9));
}

TEST_P(IniForms, BinaryStreamsUseUpperCaseHexAndKeepThePosition) {
  auto ini = Open("");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::istringstream in("skip" + all);
  in.seekg(4);
  ini->WriteBinaryStream("B", "v", in);
  const std::string hex = ini->ReadString("B", "v", "");
  ASSERT_EQ(hex.size(), 512u);
  EXPECT_EQ(hex.substr(0, 6), "000102");
  EXPECT_EQ(hex.substr(506), "FDFEFF");

  std::stringstream out;
  out << "head";
  EXPECT_EQ(ini->ReadBinaryStream("B", "v", out), 256);
  EXPECT_EQ(out.tellp(), 4);
  EXPECT_EQ(out.str(), "head" + all);

  ini->WriteString("B", "v", "0aFfzz00");  // lower case is read; decoding stops at "zz"
  std::stringstream partial;
  EXPECT_EQ(ini->ReadBinaryStream("B", "v", partial), 2);
  EXPECT_EQ(partial.str(), "\x0a\xff");
  std::stringstream none;
  EXPECT_EQ(ini->ReadBinaryStream("B", "missing", none), 0);
}

TEST_P(IniForms, MissingFileReadsEmptyAndIsCreatedByWriting) {
  const std::string file = m_folder.File("new.ini");
  auto ini = GetParam().make(file);
  EXPECT_EQ(ini->ReadString("S", "k", "d"), "d");
  EXPECT_FALSE(fs::exists(file));
  ini->WriteString("S", "k", "v");
  ini->UpdateFile();
  EXPECT_EQ(Slurp(file), "[S]\r\nk=v\r\n\r\n");
}

TEST_P(IniForms, AnUnwritableFileRaisesWithTheFileName) {
  Put(m_folder.File("plain"), "x");
  const std::string file = m_folder.File("plain") + "/store.ini";  // parent is not a folder
  auto ini = GetParam().make(file);
  try {
    ini->WriteString("S", "k", "v");
    ini->UpdateFile();
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
  }
}

// The same edits made through either form leave byte-identical files, and both forms read every
// file alike, so a file can change hands between them freely.
TEST(IniFormsAgree, RandomEditsGiveTheSameFileThroughEitherForm) {
  TempFolder folder;
  const std::string memFile = folder.File("mem.ini");
  const std::string directFile = folder.File("direct.ini");
  std::mt19937 rng(7);
  const char* sections[] = {"A", "a", "B", "http://x/y?z=1", "C"};
  const char* keys[] = {"k", "K", "Count", "Auth0User", "e"};
  TVornMemIniFile mem(memFile);
  TVornIniFile direct(directFile);
  for (int step = 0; step < 400; ++step) {
    const char* s = sections[rng() % 5];
    const char* k = keys[rng() % 5];
    const std::string v = "v" + std::to_string(rng() % 50) + (rng() % 4 == 0 ? " = x" : "");
    const bool erase = rng() % 3 == 0;
    for (TVornCustomIniFile* ini :
         {static_cast<TVornCustomIniFile*>(&mem), static_cast<TVornCustomIniFile*>(&direct)}) {
      switch (step % 7) {
        case 5:
          ini->DeleteKey(s, k);
          break;
        case 6:
          if (erase) ini->EraseSection(s);
          break;
        default:
          ini->WriteString(s, k, v);
      }
    }
    mem.UpdateFile();
    ASSERT_EQ(Slurp(memFile), Slurp(directFile)) << "step " << step;
    TVornMemIniFile reread(directFile);
    for (const char* sec : sections) {
      std::vector<std::string> a, b;
      reread.ReadSectionValues(sec, a);
      direct.ReadSectionValues(sec, b);
      ASSERT_EQ(a, b);
    }
  }
}

TEST(IniFormsAgree, MemoryFormWritesBackWhatItParsed) {
  TVornMemIniFile ini("unused.ini");
  ini.SetText("junk\r\n[A]\r\n x = 1 \r\n; note\r\n\r\n[a]\nx=2\nloose\n");
  EXPECT_EQ(ini.GetText(), "[A]\r\nx=1\r\n\r\n[a]\r\nx=2\r\nloose\r\n\r\n");
  // A name met twice: the later section answers and is the one erased, then the earlier one.
  EXPECT_EQ(ini.ReadString("A", "x", ""), "2");
  ini.EraseSection("A");
  EXPECT_EQ(ini.ReadString("a", "x", ""), "1");
  ini.WriteString("b", "y", "3");
  EXPECT_EQ(ini.GetText(), "[A]\r\nx=1\r\n\r\n[b]\r\ny=3\r\n\r\n");
  ini.EraseSection("a");
  EXPECT_FALSE(ini.SectionExists("A"));
}

TEST(IniDirect, CutsLongValuesOnReadingOnly) {
  TempFolder folder;
  const std::string file = folder.File("long.ini");
  const std::string value(3000, 'v');
  TVornIniFile direct(file);
  direct.WriteString("S", "k", value);
  EXPECT_EQ(direct.ReadString("S", "k", ""), value.substr(0, 2047));
  std::vector<std::string> lines;
  direct.ReadSectionValues("S", lines);
  EXPECT_EQ(lines, std::vector<std::string>{"k=" + value.substr(0, 2047)});
  EXPECT_EQ(TVornMemIniFile(file).ReadString("S", "k", ""), value);
}

TEST(IniDirect, ListsNamesUpToTheirBufferSizes) {
  TempFolder folder;
  const std::string file = folder.File("names.ini");
  TVornMemIniFile mem(file);
  for (int i = 0; i < 2000; ++i) mem.WriteString("S", "key" + std::to_string(100000 + i), "v");
  mem.UpdateFile();
  std::vector<std::string> names;
  TVornIniFile(file).ReadSection("S", names);
  EXPECT_EQ(names.size(), 16383u / 10);  // nine characters and a terminating zero each
  EXPECT_EQ(names.back(), "key" + std::to_string(100000 + 16383 / 10 - 1));
}

TEST(IniDirect, RefusesToRewriteAFileItCannotRead) {
  TempFolder folder;
  const std::string file = folder.File("dir.ini");
  fs::create_directory(file);  // exists, cannot be read as a file
  TVornIniFile direct(file);
  EXPECT_EQ(direct.ReadString("S", "k", "d"), "d");
  EXPECT_THROW(direct.WriteString("S", "k", "v"), EIniFileException);
  EXPECT_THROW(direct.EraseSection("S"), EIniFileException);
  EXPECT_NO_THROW(direct.DeleteKey("S", "k"));
  EXPECT_THROW(TVornMemIniFile{file}, EIniFileException);
}

TEST(IniDirect, KeepsUnrelatedLinesAndTheFileMode) {
  TempFolder folder;
  const std::string file = folder.File("keep.ini");
  Put(file, "; head\n[S]\nk=1\n; tail of S\n\n\n[T]\nx=1");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  TVornIniFile direct(file);
  direct.WriteString("S", "new", "2");
  direct.WriteString("T", "y", "3");
  EXPECT_EQ(Slurp(file),
            "; head\r\n[S]\r\nk=1\r\n; tail of S\r\nnew=2\r\n\r\n\r\n[T]\r\nx=1\r\ny=3\r\n");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace tq
