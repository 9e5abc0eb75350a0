// Project templates: listing the folder, saving a project's settings as a template and applying
// one to another project's settings (which keeps its own name and starting address), deleting.
#include "storage/templates.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive_test_util.h"
#include "engine/crawl_settings.h"
#include "storage/document.h"

namespace tq {
namespace {

using test::ReadFile;
using test::TScratchFolder;
using test::WriteFile;
namespace fs = std::filesystem;

std::vector<std::string> Names(TVornTemplates& templates) {
  std::vector<std::string> names;
  for (int i = 0; i < templates.Count(); ++i) names.push_back(templates.Items(i).Name());
  return names;
}

class TemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir / "Templates");
    m_folder = m_dir / "Templates";
    m_doc.SetTemplates(&m_templates);
    m_doc.OnSaveSettings = [&](TVornCustomIniFile& ini, bool mode) {
      m_source.SaveToIni(ini, mode);
    };
    m_doc.OnLoadSettings = [&](TVornCustomIniFile& ini, bool mode) {
      m_target.LoadFromIni(ini, mode);
    };
  }

  TScratchFolder m_dir;
  std::string m_folder;
  TVornTemplates m_templates;
  TVornDocument m_doc{m_dir / "cache", m_dir.Path().string()};
  TVornCrawlSettings m_source;
  TVornCrawlSettings m_target;
};

TEST_F(TemplatesTest, ListsOnlyTemplateFilesByName) {
  for (const char* name : {"b.etpl", "a.etpl", "notes.txt", "C.ETPL"}) {
    WriteFile(m_folder + "/" + name, "[General]\r\n");
  }
  fs::create_directories(m_folder + "/folder.etpl");
  m_templates.SetTemplateFolder(m_folder);
  EXPECT_EQ(m_templates.TemplateFolder(), m_folder + "/");
  EXPECT_EQ(Names(m_templates), (std::vector<std::string>{"C.ETPL", "a.etpl", "b.etpl"}));
  EXPECT_EQ(m_templates.IndexOf("a.etpl"), 1);
  EXPECT_EQ(m_templates.IndexOf("A.etpl"), -1);
  m_templates.SetTemplateFolder(m_dir / "missing");
  EXPECT_EQ(m_templates.Count(), 0);
}

TEST_F(TemplatesTest, SavedTemplateAppliesWithoutNameAndStartingAddress) {
  m_templates.SetTemplateFolder(m_folder);
  m_source.General.SetProjectName("Source");
  m_source.General.BaseUrl = "http://source.example/";
  m_source.General.LevelLimit = 4;
  m_source.System.ThreadsCount = 9;
  ASSERT_TRUE(m_doc.SaveAsTemplate("Deep.etpl"));
  // The file is there at once and listed without reading the folder again.
  EXPECT_TRUE(fs::exists(m_folder + "/Deep.etpl"));
  EXPECT_EQ(Names(m_templates), std::vector<std::string>{"Deep.etpl"});
  EXPECT_EQ(ReadFile(m_folder + "/Deep.etpl").find("source.example"), std::string::npos);

  m_target.General.SetProjectName("Mine");
  m_target.General.BaseUrl = "http://mine.example/";
  m_doc.ApplyTemplate("deep.etpl");  // letter case counts: nothing happens
  EXPECT_EQ(m_target.System.ThreadsCount, 5);
  m_doc.ApplyTemplate("Deep.etpl");
  EXPECT_EQ(m_target.General.LevelLimit, 4);
  EXPECT_EQ(m_target.System.ThreadsCount, 9);
  EXPECT_EQ(m_target.General.ProjectName(), "Mine");
  EXPECT_EQ(m_target.General.BaseUrl, "http://mine.example/");

  // Saving again under the same name rewrites that template instead of listing it twice.
  m_source.System.ThreadsCount = 2;
  ASSERT_TRUE(m_doc.SaveAsTemplate("Deep.etpl"));
  EXPECT_EQ(m_templates.Count(), 1);
  m_doc.ApplyTemplate("Deep.etpl");
  EXPECT_EQ(m_target.System.ThreadsCount, 2);
}

TEST_F(TemplatesTest, NamesOutsideTheFolderAreRefused) {
  m_templates.SetTemplateFolder(m_folder);
  for (const char* name : {"../escape.etpl", "a/b.etpl", "", "..", "x\\y.etpl"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(m_doc.SaveAsTemplate(name));
    EXPECT_THROW(m_templates.Add(name), EVornError);
  }
  EXPECT_FALSE(fs::exists(m_dir / "escape.etpl"));
  EXPECT_EQ(m_templates.Count(), 0);
  TVornDocument without(m_dir / "cache", m_dir.Path().string());
  EXPECT_FALSE(without.SaveAsTemplate("a.etpl"));
  without.ApplyTemplate("a.etpl");  // no store: nothing to do
}

TEST_F(TemplatesTest, DeleteRemovesTheFileOnlyWhenAsked) {
  m_templates.SetTemplateFolder(m_folder);
  ASSERT_TRUE(m_doc.SaveAsTemplate("keep.etpl"));
  ASSERT_TRUE(m_doc.SaveAsTemplate("gone.etpl"));
  m_templates.Delete(m_templates.IndexOf("gone.etpl"), true);
  m_templates.Delete(m_templates.IndexOf("keep.etpl"), false);
  m_templates.Delete(7, true);  // out of range: ignored
  EXPECT_EQ(m_templates.Count(), 0);
  m_templates.SetTemplateFolder(m_folder);  // the next start
  EXPECT_EQ(Names(m_templates), std::vector<std::string>{"keep.etpl"});
  m_templates.Clear(true);
  EXPECT_TRUE(fs::is_empty(m_folder));
}

}  // namespace
}  // namespace tq
