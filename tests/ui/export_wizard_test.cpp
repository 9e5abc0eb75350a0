// The export wizard's window: the Archive command opens it on the destination page, and a ZIP
// export runs to the last page.
// ctest: timeout=60
#include "ui/export_wizard_form.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QLabel>
#include <QPushButton>

#include "formats/stored_document.h"
#include "foundation/main_loop.h"
#include "support/ready_document.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

using ExportWizardTest = MainWindowFixture;

TEST_F(ExportWizardTest, TheArchiveCommandExportsTheProjectToAZipFile) {
  TWWWDocForm* project = Window().NewBlankProject();
  for (const char* url : {"http://h.test/", "http://h.test/a.html"}) {
    TStoredDocumentWriter writer;
    AddReadyDocument(project->Engine(), project->Document(), url, "text/html",
                     writer.Build(url, "<p>page</p>"));
  }
  const std::string zip = Path("site.zip");
  m_dialogs->saveAnswers = {zip};
  std::vector<std::string> titles;
  SetModalHandler([&](QDialog& dialog) {
    auto* wizard = dynamic_cast<TExportForm*>(&dialog);
    if (wizard == nullptr) return int(QDialog::Rejected);
    TExportWizardModel& model = wizard->Model();
    EXPECT_EQ(model.Page(), epDestination);
    EXPECT_FALSE(wizard->BackButton()->isEnabled());
    EXPECT_FALSE(wizard->NextButton()->isEnabled());
    model.BrowseDestination();
    EXPECT_TRUE(wizard->NextButton()->isEnabled());
    wizard->NextButton()->click();
    titles.push_back(wizard->TitleLabel()->text().toStdString());
    EXPECT_TRUE(RunUntil([&] { return model.Finished(); }));
    titles.push_back(wizard->TitleLabel()->text().toStdString());
    EXPECT_EQ(wizard->StatusLabel()->text().toStdString(), "Done.");
    EXPECT_TRUE(wizard->BackButton()->isHidden());
    EXPECT_TRUE(wizard->CancelButton()->isHidden());
    EXPECT_FALSE(wizard->FinishButton()->isHidden());
    wizard->FinishButton()->click();
    return wizard->result();
  });
  Window().Action("ExportArchive")->trigger();
  EXPECT_EQ(titles, (std::vector<std::string>{"The wizard is now completing the job.",
                                              "Tarnquill has finished your request."}));
  std::ifstream file(zip, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(bytes.starts_with("PK"));
  EXPECT_NE(bytes.find("http/h.test/index.html"), std::string::npos);
  EXPECT_NE(bytes.find("http/h.test/a.html"), std::string::npos);
}

}  // namespace
}  // namespace tq::test
