// The export wizard's pages without widgets: where each start mode opens, where Next and Back
// lead, the pages that refuse to go on, and the text files it writes.
// ctest: timeout=60
#include "dialogs/export_wizard_model.h"

#include <gtest/gtest.h>

#include "engine/download.h"
#include "foundation/main_loop.h"
#include "storage/archive_test_util.h"
#include "support/fake_dialog_service.h"

namespace tq {
namespace {

void Add(TVornBaseLinks& list, const std::string& text) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://h/");
  link->SetText(text);
  list.Add(link);
}

class ExportWizardModel : public ::testing::Test {
 protected:
  void SetUp() override { SetDialogService(m_dialogs); }
  void TearDown() override { SetDialogService(nullptr); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& asked : m_dialogs->Questions()) texts.push_back(asked.text);
    return texts;
  }

  std::shared_ptr<test::TFakeDialogService> m_dialogs =
      std::make_shared<test::TFakeDialogService>();
  TVornDownload m_download;
};

TEST_F(ExportWizardModel, StartModesOpenTheirPageWithBackDisabled) {
  const int firstPages[] = {0, 3, 6, 8, 12, 12, 12, 14};
  for (int mode = 0; mode < kExportStartModes; ++mode) {
    TExportWizardModel wizard(m_download, nullptr, mode);
    EXPECT_EQ(wizard.Page(), firstPages[mode]) << mode;
    EXPECT_FALSE(wizard.BackEnabled()) << mode;
  }
  // Start modes 4 to 6 choose the destination kind themselves.
  const TVornStorageType kinds[] = {estEbook, estFolder, estZip};
  for (int mode = 4; mode <= 6; ++mode) {
    TExportWizardModel wizard(m_download, nullptr, mode);
    EXPECT_EQ(wizard.Manager().StorageType, kinds[mode - 4]);
    EXPECT_FALSE(wizard.NextEnabled());  // no destination chosen yet
  }
}

TEST_F(ExportWizardModel, NextFollowsTheChoicesAndBackRetracesThem) {
  struct Case {
    int what, objects, type;
    std::vector<int> pages;  // from page 0, by Next
  };
  const Case cases[] = {
      {ewSelected, eoLinks, 0, {0, 1, 2, 3, 4}},
      {ewSelected, eoPages, 0, {0, 1, 2, 8}},
      {ewEntire, 0, edtZip, {0, 1, 11, 12}},
      {ewTemplate, 0, 0, {0, 1, 14}},
  };
  for (const Case& c : cases) {
    TExportWizardModel wizard(m_download, nullptr, 0);
    wizard.What = c.what;
    wizard.Objects = c.objects;
    wizard.DestinationType = c.type;
    std::vector<int> pages{wizard.Page()};
    while (pages.size() < c.pages.size()) {
      wizard.Next();
      pages.push_back(wizard.Page());
    }
    EXPECT_EQ(pages, c.pages);
    for (auto back = c.pages.rbegin() + 1; back != c.pages.rend(); ++back) {
      ASSERT_TRUE(wizard.BackEnabled()) << wizard.Page();
      wizard.Back();
      EXPECT_EQ(wizard.Page(), *back);
    }
    EXPECT_FALSE(wizard.BackEnabled());
  }
  // Reached through the choice of page 11, page 12 keeps Back, and the choice sets the kind.
  TExportWizardModel entire(m_download, nullptr, 0);
  entire.What = ewEntire;
  entire.DestinationType = edtEbook;
  entire.Next();
  entire.Next();
  entire.Next();
  EXPECT_EQ(entire.Page(), epDestination);
  EXPECT_TRUE(entire.BackEnabled());
  EXPECT_EQ(entire.Manager().StorageType, estEbook);
  EXPECT_EQ(entire.Manager().FilesKind, kAllDeployFileKinds);
}

TEST_F(ExportWizardModel, IncompletePagesWarnAndStay) {
  Add(m_download.EmailLinks(), "mailto:ann@h");
  Add(m_download.EmailLinks(), "mailto:bob@h?subject=x");
  test::TScratchFolder dir;

  TExportWizardModel emails(m_download, nullptr, 2);
  ASSERT_EQ(emails.Emails.size(), 2u);
  EXPECT_EQ(emails.Emails[1].Address, "bob@h");
  for (TExportEmailRow& row : emails.Emails) row.Checked = false;
  emails.Next();
  EXPECT_EQ(emails.Page(), epEmails);
  emails.Emails[1].Checked = true;
  emails.Next();
  ASSERT_EQ(emails.Page(), epEmailsFile);
  emails.EmailsFile = dir / "no/such/folder/emails.txt";
  emails.Next();
  EXPECT_EQ(emails.Page(), epEmailsFile);
  emails.EmailsFile = dir / "emails.txt";
  emails.Next();
  EXPECT_EQ(emails.Page(), epDone);
  EXPECT_TRUE(emails.Finished());
  EXPECT_EQ(test::ReadFile(dir / "emails.txt"), "bob@h\r\n");

  TExportWizardModel kinds(m_download, nullptr, 3);
  kinds.Kinds.reset();
  kinds.Next();
  EXPECT_EQ(kinds.Page(), epKinds);
  kinds.Kinds.set(edfkVideo);
  kinds.Next();
  EXPECT_EQ(kinds.Page(), epPagesFolder);
  EXPECT_FALSE(kinds.NextEnabled());  // an empty folder field

  TExportWizardModel templateless(m_download, nullptr, 7);
  templateless.Next();  // no project document to take the settings from
  EXPECT_EQ(templateless.Page(), epTemplate);

  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                "Must to select at least one email address",
                "Unable to save emails to \"" + (dir / "no/such/folder/emails.txt") + "\" file",
                "You have selected nothing to save",
                "Unable to copy the settings to template library.Please try with a "
                "different name !"}));
}

TEST_F(ExportWizardModel, TheLinkListThreadWritesTheTickedListsAndEnds) {
  Add(m_download.ReadyLinks(), "http://h/r.html");
  Add(m_download.FailedLinks(), "http://h/f1.html");
  Add(m_download.FailedLinks(), "http://h/f2.html");
  test::TScratchFolder dir;
  TExportWizardModel wizard(m_download, nullptr, 1);
  wizard.Lists = {false, false, true, false};
  wizard.LinksFile = dir / "no/such/folder/links.txt";
  wizard.Next();
  wizard.Next();
  ASSERT_TRUE(RunUntil([&] { return wizard.Page() != epLinksRunning; }));
  EXPECT_EQ(wizard.Page(), epLinksFile);  // told, and back to choose another file
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Unable to save links to \"" + wizard.LinksFile +
                                                  "\" file"}));
  wizard.LinksFile = dir / "links.txt";
  wizard.Next();
  EXPECT_EQ(wizard.Page(), epLinksRunning);
  EXPECT_FALSE(wizard.BackEnabled());
  EXPECT_FALSE(wizard.NextEnabled());
  ASSERT_TRUE(RunUntil([&] { return wizard.Finished(); }));
  EXPECT_EQ(test::ReadFile(dir / "links.txt"),
            "[Failed Links]\r\nhttp://h/f1.html\r\nhttp://h/f2.html\r\n");
}

}  // namespace
}  // namespace tq
