// The new project dialog: when OK may be pressed, and deleting a template from it.
#include "dialogs/new_project_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "storage/templates.h"
#include "support/fake_dialog_service.h"
#include "support/temp_env.h"

namespace tq::test {
namespace {

TEST(NewProjectDialog, OkNeedsASelectionOnTheShownPageAndAValidAddress) {
  TVornTemplates templates;
  TNewProjectModel m(templates);
  EXPECT_EQ(m.TypeLabel(), "Project type : none");
  EXPECT_EQ(m.TemplateLabel(), "none");
  struct Case {
    TNewProjectPage page;
    int type;
    const char* url;
    bool ok;
  };
  const Case cases[] = {
      {npStandard, nptBlank, "http://", false},
      {npStandard, nptBlank, "http://www.example.com/", true},
      {npStandard, -1, "http://www.example.com/", false},
      {npTemplate, nptBlank, "http://www.example.com/", false},  // no template to select
      {npStandard, nptWizard, "ftp://files.example.com", true},
      {npStandard, nptWizard, "www.example.com", false},
  };
  for (const Case& c : cases) {
    m.Page = c.page;
    m.TypeIndex = c.type;
    m.Url = c.url;
    EXPECT_EQ(m.OkEnabled(), c.ok) << c.url << " page " << c.page << " type " << c.type;
  }
  m.TypeIndex = nptWizard;
  EXPECT_EQ(m.TypeLabel(), "Project type : Wizard");
}

TEST(NewProjectDialog, DeletingATemplateAsksAndRemovesItsFileOnlyOnYes) {
  TTempDir dir;
  for (const char* name : {"a.etpl", "b.etpl"}) WriteFile(dir.Path() / name, "[x]\n");
  TVornTemplates templates;
  templates.SetTemplateFolder(dir.Path().string() + "/");
  auto dialogs = std::make_shared<TFakeDialogService>();
  SetDialogService(dialogs);
  dialogs->messageAnswers = {mrNo, mrYes};

  TNewProjectModel m(templates);
  m.Page = npTemplate;
  m.TemplateIndex =
      static_cast<int>(std::find(m.TemplateNames().begin(), m.TemplateNames().end(), "b.etpl") -
                       m.TemplateNames().begin());
  m.Url = "http://www.example.com/";
  EXPECT_TRUE(m.OkEnabled());
  m.DeleteTemplate();  // No
  EXPECT_EQ(m.TemplateNames().size(), 2u);
  m.DeleteTemplate();  // Yes
  EXPECT_EQ(m.TemplateNames(), std::vector<std::string>{"a.etpl"});
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "b.etpl"));
  EXPECT_FALSE(m.OkEnabled());
  ASSERT_EQ(dialogs->Questions().size(), 2u);
  EXPECT_EQ(dialogs->Questions()[0].text, "Do you want to delete b.etpl ?");
  m.DeleteTemplate();  // nothing selected: nothing asked
  EXPECT_EQ(dialogs->Questions().size(), 2u);
  SetDialogService(nullptr);
}

}  // namespace
}  // namespace tq::test
