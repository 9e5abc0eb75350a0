#include "ui/wizard_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "options/option_groups.h"
#include "storage/templates.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {

TWizardForm::TWizardForm(TWizardModel model, TVornTemplates* templates,
                         TVornCrawlSettings* settings, const TVornConfirmations* confirmations,
                         QWidget* parent)
    : QDialog(parent),
      m_model(std::move(model)),
      m_templates(templates),
      m_settings(settings),
      m_confirmations(confirmations) {
  setObjectName(QStringLiteral("WizardForm"));
  setWindowTitle(ToQ(std::string(m_model.Title())));
  auto* layout = new QVBoxLayout(this);
  m_titleBar = new QWidget();
  auto* title = new QVBoxLayout(m_titleBar);
  AddHeading(title, ToQ(std::string(m_model.Title())));
  m_subtitle = new QLabel();
  m_subtitle->setObjectName(QStringLiteral("subtitle"));
  title->addWidget(m_subtitle);
  layout->addWidget(m_titleBar);
  m_stack = new QStackedWidget();
  layout->addWidget(m_stack, 1);
  BuildPages();

  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  m_back = new QPushButton(QStringLiteral("< &Back"));
  m_next = new QPushButton(QStringLiteral("&Next >"));
  m_cancel = new QPushButton(QStringLiteral("&Cancel"));
  m_finish = new QPushButton(QStringLiteral("&Finish"));
  for (QPushButton* button : {m_back, m_next, m_cancel, m_finish}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
  connect(m_back, &QPushButton::clicked, this, [this] {
    m_model.Back();
    ShowPage();
  });
  connect(m_next, &QPushButton::clicked, this, [this] {
    m_model.Next();
    ShowPage();
  });
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_finish, &QPushButton::clicked, this, [this] {
    if (m_settings != nullptr) m_model.Apply(*m_settings);
    accept();
  });
  ShowPage();
  resize(520, 380);
}

void TWizardForm::BuildPages() {
  auto page = [this](TWizardPage which) {
    auto* widget = new QWidget();
    m_pages[which] = widget;
    m_stack->addWidget(widget);
    return new QVBoxLayout(widget);
  };
  QVBoxLayout* welcome = page(wpWelcome);
  AddHeading(welcome, QStringLiteral("Welcome to Download Wizard"));
  welcome->addStretch();
  welcome->addWidget(new QLabel(QStringLiteral("To continue press next")));

  QVBoxLayout* address = page(wpAddress);
  QLineEdit* url = BindEdit(address, "Project URL :", m_model.Address, [this] { UpdateNext(); });
  url->setObjectName(QStringLiteral("address"));
  url->setToolTip(QStringLiteral("Type the address here\n(http://address)"));
  BindEdit(address, "Project name :", m_model.Name)->setObjectName(QStringLiteral("name"));
  address->addStretch();

  QVBoxLayout* templates = page(wpTemplate);
  templates->addWidget(new QLabel(QStringLiteral("Existing Templates :")));
  m_templateList = new QListWidget();
  templates->addWidget(m_templateList);
  auto* nameRow = new QHBoxLayout();
  nameRow->addWidget(new QLabel(QStringLiteral("Template name :")));
  m_templateName = new QLabel();
  m_templateName->setObjectName(QStringLiteral("templateName"));
  nameRow->addWidget(m_templateName, 1);
  templates->addLayout(nameRow);
  connect(m_templateList, &QListWidget::currentRowChanged, this, [this](int row) {
    m_model.TemplateName = row < 0 ? std::string() : FromQ(m_templateList->item(row)->text());
    m_templateName->setText(ToQ(m_model.TemplateName));
  });

  QVBoxLayout* level = page(wpLevel);
  BindSpin(level, "Levels limit :", 0, kWizardLevelMax, m_model.Level);
  level->addStretch();

  QVBoxLayout* types = page(wpFileTypes);
  auto enableBoxes = [this] {
    for (QWidget* box : m_typeBoxes) box->setEnabled(m_model.TypeBoxesEnabled());
  };
  BindRadios(types,
             {"Download all files that are linked to the starting page",
              "Skip loading the following file types :"},
             m_model.SkipTypes, enableBoxes);
  m_typeBoxes = {BindCheck(types, "Graphics (images)", m_model.Graphics),
                 BindCheck(types, "Audio (sounds, music)", m_model.Audio),
                 BindCheck(types, "Video", m_model.Video),
                 BindCheck(types, "Archive (ZIP, RAR, etc)", m_model.Archive)};
  enableBoxes();
  types->addStretch();

  QVBoxLayout* location = page(wpLocation);
  BindRadios(location,
             {"Load only within the starting URL :", "Load only from the starting server",
              "Load from any location"},
             m_model.Location);
  m_serverLabel = new QLabel();
  m_folderLabel = new QLabel();
  location->insertWidget(1, m_folderLabel);
  location->insertWidget(3, m_serverLabel);
  location->addStretch();

  QVBoxLayout* next = page(wpNextStep);
  next->addWidget(new QLabel(QStringLiteral("What would you like to do next : ")));
  BindRadios(
      next, {"Download the Project now", "Download the Project later", "Setup advanced properties"},
      m_model.NextStep);
  next->addStretch();
}

void TWizardForm::ShowPage() {
  const TWizardPage current = m_model.Page();
  m_stack->setCurrentWidget(m_pages[current]);
  m_titleBar->setVisible(m_model.TitleBarVisible());
  m_subtitle->setText(ToQ(std::string(m_model.Subtitle())));
  m_back->setEnabled(m_model.BackEnabled());
  for (QPushButton* button : {m_back, m_next, m_cancel})
    button->setVisible(m_model.NavigationVisible());
  m_finish->setVisible(m_model.FinishVisible());
  if (current == wpTemplate) {
    const QSignalBlocker quiet(m_templateList);
    m_templateList->clear();
    for (int i = 0; m_templates != nullptr && i < m_templates->Count(); ++i)
      m_templateList->addItem(ToQ(m_templates->Items(i).Name()));
    m_templateList->setCurrentRow(-1);
    m_model.TemplateName.clear();
    m_templateName->clear();
  }
  if (current == wpLocation) {
    m_serverLabel->setText(ToQ(m_model.ServerLabel()));
    m_folderLabel->setText(ToQ(m_model.FolderLabel()));
  }
  UpdateNext();
}

void TWizardForm::UpdateNext() {
  m_next->setEnabled(m_model.NextEnabled());
}

void TWizardForm::done(int result) {
  // The new-project wizard finishes without asking; every other close may be refused.
  const bool ask = result != QDialog::Accepted || m_settings != nullptr;
  if (ask && m_confirmations != nullptr && !m_model.ConfirmClose(*m_confirmations)) return;
  QDialog::done(result);
}

}  // namespace tq
