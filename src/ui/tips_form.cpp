// The tips dialog and the Help menu's commands.
#include "ui/tips_form.h"

#include <array>

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/ini_file.h"
#include "ui/dialog_kit.h"
#include "ui/help_window.h"
#include "ui/main_window.h"

namespace tq {
namespace {

constexpr const char* kSection = "Tips";

constexpr std::array<const char*, 8> kTips = {
    "Copy an address anywhere while \"Monitor clipboard\" is on in the options, and Tarnquill "
    "offers to start a project for it.",
    "Open a project file from your file manager while Tarnquill runs: it opens in a new tab of "
    "the running program.",
    "Right-click a link in the project tree to browse it, copy it or open it with another "
    "program.",
    "The Find pane searches the text of every page you have downloaded, offline.",
    "Set Options - Disconnect/Exit to close Tarnquill, or shut the computer down, when all "
    "downloads are complete.",
    "Minimise Tarnquill and it keeps downloading in the background; double-click its tray icon "
    "to bring it back.",
    "Export a project as a folder, a ZIP archive or an e-book from the Tools menu.",
    "Save a project's settings as a template and start the next project from it.",
};

}  // namespace

TTipsForm::TTipsForm(int first, bool showOnStartup, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tips and Tricks"));
  setMinimumSize(420, 220);
  auto* layout = new QVBoxLayout(this);
  AddHeading(layout, QStringLiteral("Did you know..."));
  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("tip"));
  m_text->setWordWrap(true);
  m_text->setTextFormat(Qt::PlainText);
  m_text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  layout->addWidget(m_text, 1);
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  m_showOnStartup = new QCheckBox(QStringLiteral("&Show Tips on Startup"), this);
  m_showOnStartup->setChecked(showOnStartup);
  row->addWidget(m_showOnStartup);
  row->addStretch(1);
  auto* next = new QPushButton(QStringLiteral("&Next Tip"), this);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  row->addWidget(next);
  row->addWidget(close);
  connect(next, &QPushButton::clicked, this, [this] { NextTip(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  const int count = static_cast<int>(kTips.size());
  m_tip = ((first % count) + count) % count;
  m_text->setText(QString::fromUtf8(kTips[static_cast<size_t>(m_tip)]));
}

void TTipsForm::NextTip() {
  m_tip = (m_tip + 1) % static_cast<int>(kTips.size());
  m_text->setText(QString::fromUtf8(kTips[static_cast<size_t>(m_tip)]));
}

bool TipsOnStartup(const std::string& configFile) {
  try {
    return TVornIniFile(configFile).ReadBool(kSection, "ShowOnStartup", false);
  } catch (const std::exception&) {
    return false;
  }
}

void ShowTips(const std::string& configFile, QWidget* parent) {
  int next = 0;
  try {
    next = TVornIniFile(configFile).ReadInteger(kSection, "Next", 0);
  } catch (const std::exception&) {
  }
  TTipsForm form(next, TipsOnStartup(configFile), parent);
  ExecModal(form);
  try {
    TVornIniFile ini(configFile);
    ini.WriteInteger(kSection, "Next", form.Tip() + 1);
    ini.WriteBool(kSection, "ShowOnStartup", form.ShowOnStartup()->isChecked());
  } catch (const std::exception&) {
    // A settings file that cannot be written only forgets where the tips were.
  }
}

void WireHelpCommands(TMainForm& window) {
  const auto on = [&window](const char* name, auto handler) {
    QObject::connect(window.Action(name), &QAction::triggered, &window, handler);
  };
  // The manual comes with the program; there is no support desk or web site to send a user to.
  on("HelpHelp", [&window] { ShowManual(HelpPageFor(&window), nullptr); });
  window.Action("TehnicalsupportAction")->setVisible(false);
  window.Action("HelpHomePage")->setVisible(false);
  InstallHelpKey(&window);
  on("TipsAction", [&window] { ShowTips(window.Options().ConfigFile(), &window); });
}

}  // namespace tq
