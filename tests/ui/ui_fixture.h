// What the desktop tests share: a main window with its settings in a scratch folder, the scripted
// dialog service, project files written straight into the archive format, and widget look-ups.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

#include "engine/link_lists.h"
#include "storage/archive.h"
#include "support/fake_dialog_service.h"
#include "support/http_test_server.h"
#include "ui/dialog_kit.h"
#include "ui/link_lists_pane.h"
#include "ui/main_window.h"
#include "ui/project_window.h"
#include "ui/wizard_form.h"

namespace tq::test {

// How these tests answer a modal dialog unless a test says otherwise: a wizard is walked to its
// last page and finished (cancelled when an invalid address stops it), a new project keeping the
// file types and locations a new project starts with (archives and video skipped, only the
// starting server); any other dialog is cancelled.
inline int FinishWizard(QDialog& dialog) {
  auto* wizard = dynamic_cast<TWizardForm*>(&dialog);
  if (wizard == nullptr) return QDialog::Rejected;
  for (const char* choice :
       {"Skip loading the following file types :", "Load only from the starting server"}) {
    if (auto* radio = FindByText<QRadioButton>(wizard, QString::fromLatin1(choice))) radio->click();
  }
  for (size_t i = 0; i < wizard->Model().Pages().size() && !wizard->Model().FinishVisible(); ++i)
    wizard->NextButton()->click();
  if (!wizard->Model().FinishVisible()) return QDialog::Rejected;
  wizard->FinishButton()->click();
  return wizard->result();
}

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    m_dir = std::filesystem::temp_directory_path() /
            ("tq_ui_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(m_dir / "Templates");
    m_dialogs = std::make_shared<TFakeDialogService>();
    SetDialogService(m_dialogs);
    SetModalHandler(FinishWizard);
  }
  void TearDown() override {
    m_window.reset();
    SetModalHandler(nullptr);
    SetDialogService(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  TMainForm& Window() {
    if (!m_window) {
      m_window =
          std::make_unique<TMainForm>(TMainFormSetup{Path("config.dat"), Path("Templates") + "/"});
    }
    return *m_window;
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  // A project file whose Ready list holds pages pages under http://h.org/.
  std::string WriteProject(const std::string& name, int pages) const {
    std::string index;
    for (int i = 0; i < pages; ++i) {
      index += "[http://h.org/d" + std::to_string(i % 50) + "/p" + std::to_string(i) +
               ".html]\r\nSTATUS=" + std::to_string(kStatusReady) +
               "\r\nLEVEL=1\r\nPAGE=http://h.org/\r\nSIZE=100\r\n";
    }
    const std::string file = Path(name);
    TVornArchive archive(file);
    archive.AddStream("settings.dat", "[FGeneral]\r\nFProjectName=" + name + "\r\n");
    archive.AddStream("index.dat", index);
    return file;
  }

  // The texts of the messages shown so far.
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& asked : m_dialogs->Questions()) {
      if (asked.kind == "message") texts.push_back(asked.text);
    }
    return texts;
  }

  bool Enabled(const char* command) { return Window().Action(command)->isEnabled(); }

  // A project for url with every list built, crawling without retries.
  TWWWDocForm* Crawl(const std::string& url, int threads = 5) {
    Window().NewProjectFromAddress({{url, "site"}, true, true, true, false, true});
    TWWWDocForm* project = Window().Documents().ActiveDoc();
    project->Engine().System().RetriesOnFailed = 0;
    project->Engine().System().ThreadsCount = static_cast<uint8_t>(threads);
    Window().Action("DownloadResume")->trigger();
    return project;
  }
  bool CrawlEnded() {
    return Window().LastBalloon().startsWith(QLatin1String("Download completed"));
  }

  std::filesystem::path m_dir;
  std::shared_ptr<TFakeDialogService> m_dialogs;
  std::unique_ptr<TMainForm> m_window;
  HttpTestServer m_server;
};

// A page that starts and never ends: its crawl stays busy until it is stopped.
inline TestRoute Stall() {
  return [](const TestRequest&, TestConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n<p>");
    c.WaitForPeerClose();
  };
}

inline void ShowList(TWWWDocForm& project, const char* tab) {
  QTabBar* tabs = project.Lists().Tabs();
  for (int i = 0; i < tabs->count(); ++i) {
    if (tabs->tabText(i).startsWith(QLatin1String(tab))) tabs->setCurrentIndex(i);
  }
}

}  // namespace tq::test
