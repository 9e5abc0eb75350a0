// The shipped manual: its pages and the links between them, and F1 opening the page about the
// window in front, from the main window and from inside a modal dialog.
// ctest: timeout=120
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <QTest>

#include "support/temp_env.h"
#include "ui/help_window.h"
#include "ui/options_form.h"
#include "ui/project_browser.h"
#include "ui/stats_form.h"
#include "ui_fixture.h"

namespace tq::test {
namespace {

namespace fs = std::filesystem;

TEST(Manual, EveryTaskHasAPageAndEveryLinkLeadsToAShippedFile) {
  const fs::path folder = ManualFolder();
  ASSERT_FALSE(folder.empty()) << "the build folder links the shipped data";
  const std::string index = test::ReadFile(folder / "index.html");
  for (const char* page : {"new-project.html", "crawl.html", "browse.html", "search.html",
                           "export.html", "update.html", "options.html", "cli.html"}) {
    EXPECT_NE(index.find(std::string("href=\"") + page + "\""), std::string::npos) << page;
  }
  const std::regex href("(href|src)=\"([^\"#:]+)[\"#]");
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".html") continue;
    const std::string text = test::ReadFile(entry.path());
    for (std::sregex_iterator it(text.begin(), text.end(), href), end; it != end; ++it) {
      EXPECT_TRUE(fs::exists(folder / (*it)[2].str())) << entry.path() << " -> " << (*it)[2];
    }
  }
}

class HelpTest : public MainWindowFixture {
 protected:
  void TearDown() override {
    if (THelpWindow* help = OpenHelpWindow()) delete help;
    MainWindowFixture::TearDown();
  }
  std::string Shown() const {
    THelpWindow* help = OpenHelpWindow();
    if (help == nullptr) return "<none>";
    return QUrl(help->Browser().Address()).fileName().toStdString();
  }
};

TEST_F(HelpTest, F1OpensThePageAboutTheWindowInFront) {
  TMainForm& window = Window();
  window.show();
  window.Action("HelpHelp")->trigger();
  EXPECT_EQ(Shown(), "index.html");
  window.NewBlankProject();
  window.Action("HelpHelp")->trigger();
  EXPECT_EQ(Shown(), "crawl.html");

  // In a modal dialog the key reaches the dialog, and the help window belongs to it so that it
  // takes input while the dialog runs.
  struct TCase {
    std::function<QDialog*()> make;
    const char* page;
  };
  const TCase cases[] = {
      {[&] { return new TOptionsForm(window.Options(), {}, &window); }, "options.html"},
      {[&] { return new TStatsForm(window.Documents().Items(0)->Engine(), &window); },
       "crawl.html"},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<QDialog> dialog(c.make());
    THelpWindow* help = nullptr;
    SetModalHandler([&](QDialog& shown) {
      QTest::keyClick(&shown, Qt::Key_F1);
      help = OpenHelpWindow();
      return int(QDialog::Rejected);
    });
    ExecModal(*dialog);
    SetModalHandler(FinishWizard);
    ASSERT_NE(help, nullptr) << c.page;
    EXPECT_EQ(help->parentWidget(), dialog.get());
    EXPECT_EQ(Shown(), c.page);
  }
}

}  // namespace
}  // namespace tq::test
