// The export wizard's pages and how they follow the model.
#include "ui/export_wizard_form.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "options/options.h"
#include "platform/dialog_service.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

constexpr int kPageCount = epDone + 1;
constexpr const char* kTextFileFilter = "Text file|*.txt|Any file|*.*";

// The chosen text file, with ".txt" when it was named without an extension.
std::string ChooseTextFile(const std::string& current) {
  std::string chosen = DialogService().PromptSaveFile("Save As", current, kTextFileFilter);
  if (chosen.empty()) return current;
  const size_t slash = chosen.rfind('/');
  if (chosen.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
    chosen += ".txt";
  return chosen;
}

}  // namespace

TExportForm::TExportForm(TVornDownload& download, TVornDocument* document, int startMode,
                         const TVornOptions* options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      m_model(std::make_unique<TExportWizardModel>(download, document, startMode)) {
  setWindowTitle(QStringLiteral("Export Wizard"));
  if (options != nullptr) {
    m_model->Manager().HTMLCompiler = {options->HTMLCompiler.FileName,
                                       options->HTMLCompiler.FullSearch};
  }
  auto* layout = new QVBoxLayout(this);
  m_title = new QLabel(this);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);
  layout->addWidget(m_title);
  m_pages = new QStackedWidget(this);
  layout->addWidget(m_pages, 1);
  BuildPages();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  m_back = new QPushButton(QStringLiteral("< &Back"), this);
  m_next = new QPushButton(QStringLiteral("&Next >"), this);
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_finish = new QPushButton(QStringLiteral("&Finish"), this);
  for (QPushButton* button : {m_back, m_next, m_cancel, m_finish}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
  connect(m_back, &QPushButton::clicked, this, [this] { m_model->Back(); });
  connect(m_next, &QPushButton::clicked, this, [this] { m_model->Next(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(m_finish, &QPushButton::clicked, this, &QDialog::accept);

  m_model->OnChange = [this] { Refresh(); };
  resize(560, 400);
  Refresh();
}

TExportForm::~TExportForm() {
  // The model's export may still deliver events while it stops: the pages are still there.
  m_model.reset();
}

QWidget* TExportForm::AddPage(int page, QVBoxLayout*& layout) {
  QWidget* widget = m_pages->widget(page);
  layout = static_cast<QVBoxLayout*>(widget->layout());
  return widget;
}

QLineEdit* TExportForm::AddFileField(QVBoxLayout* layout, std::string& value) {
  QLineEdit* edit = BindEdit(layout, "File name :", value, [this] { Refresh(); });
  auto* browse = new QPushButton(QStringLiteral("Browse"));
  layout->addWidget(browse, 0, Qt::AlignRight);
  connect(browse, &QPushButton::clicked, this, [this, edit, &value] {
    value = ChooseTextFile(value);
    edit->setText(ToQ(value));
  });
  return edit;
}

void TExportForm::BuildPages() {
  for (int i = 0; i < kPageCount; ++i) {
    auto* page = new QWidget(m_pages);
    new QVBoxLayout(page);
    m_pages->addWidget(page);
  }
  TExportWizardModel& m = *m_model;
  const auto refresh = [this] { Refresh(); };
  QVBoxLayout* l = nullptr;

  AddPage(epWelcome, l);
  auto* welcome = new QLabel(QStringLiteral(
      "Welcome to the Export Wizard.\n\nIt saves the links or e-mail addresses of this project "
      "to a text file, copies its pages and media files to a folder, a ZIP file or an e-book, "
      "or keeps its settings as a template.\n\nClick Next to go on."));
  welcome->setWordWrap(true);
  l->addWidget(welcome);

  AddPage(epWhat, l);
  BindRadios(l, {"Selected project objects", "Entire project", "Settings (Template)"}, m.What,
             refresh);
  AddPage(epObjects, l);
  BindRadios(l, {"Links", "Emails", "Pages and Media Files"}, m.Objects, refresh);

  AddPage(epLinks, l);
  const char* lists[] = {"Ready", "Queue", "Failed", "Ignored"};
  for (size_t i = 0; i < m.Lists.size(); ++i) BindCheck(l, lists[i], m.Lists[i]);
  AddPage(epLinksFile, l);
  AddFileField(l, m.LinksFile);
  AddPage(epLinksRunning, l);
  m_linksGauge = new QProgressBar;
  m_linksGauge->setRange(0, 100);
  l->addWidget(m_linksGauge);

  AddPage(epEmails, l);
  m_emails = new QTreeWidget;
  m_emails->setRootIsDecorated(false);
  m_emails->setHeaderLabels(
      {QStringLiteral("Email"), QStringLiteral("Level"), QStringLiteral("Page")});
  connect(m_emails, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    const int row = m_emails->indexOfTopLevelItem(item);
    if (row >= 0 && row < static_cast<int>(m_model->Emails.size()))
      m_model->Emails[static_cast<size_t>(row)].Checked = item->checkState(0) == Qt::Checked;
  });
  l->addWidget(m_emails, 1);
  auto* checks = new QHBoxLayout;
  for (const auto& [caption, state] :
       {std::pair{"&Check All", Qt::Checked}, std::pair{"&Uncheck All", Qt::Unchecked}}) {
    auto* button = new QPushButton(QString::fromLatin1(caption));
    connect(button, &QPushButton::clicked, this, [this, state = state] {
      for (int i = 0; i < m_emails->topLevelItemCount(); ++i)
        m_emails->topLevelItem(i)->setCheckState(0, state);
    });
    checks->addWidget(button);
  }
  checks->addStretch(1);
  l->addLayout(checks);
  AddPage(epEmailsFile, l);
  AddFileField(l, m.EmailsFile);

  AddPage(epKinds, l);
  const std::pair<const char*, TVornDeployFileKind> kinds[] = {{"Archive", edfkArchive},
                                                               {"Audio", edfkAudio},
                                                               {"Images", edfkImages},
                                                               {"Text", edfkText},
                                                               {"Video", edfkVideo}};
  for (const auto& [caption, kind] : kinds) {
    auto* box = new QCheckBox(QString::fromLatin1(caption));
    box->setChecked(m.Kinds[kind]);
    connect(box, &QCheckBox::toggled, this,
            [this, kind = kind](bool on) { m_model->Kinds.set(kind, on); });
    l->addWidget(box);
  }
  AddPage(epPagesFolder, l);
  m_folder = BindEdit(l, "Folder :", m.Folder, refresh);
  auto* browseFolder = new QPushButton(QStringLiteral("Browse"));
  connect(browseFolder, &QPushButton::clicked, this, [this] { m_model->BrowseDestination(); });
  l->addWidget(browseFolder, 0, Qt::AlignRight);

  AddPage(epType, l);
  BindRadios(l, {"Microsoft HTML Help", "Folder", "Zip file"}, m.DestinationType, refresh);
  AddPage(epDestination, l);
  m_destination = new QLineEdit;
  m_destination->setReadOnly(true);
  l->addWidget(m_destination);
  auto* browse = new QPushButton(QStringLiteral("Browse"));
  connect(browse, &QPushButton::clicked, this, [this] { m_model->BrowseDestination(); });
  l->addWidget(browse, 0, Qt::AlignRight);

  AddPage(epRunning, l);
  m_status = new QLabel;
  m_status->setTextFormat(Qt::PlainText);
  l->addWidget(m_status);
  auto* fileRow = new QHBoxLayout;
  m_fileCaption = new QLabel;
  m_fileLine = new QLabel;
  m_fileLine->setTextFormat(Qt::PlainText);
  fileRow->addWidget(m_fileCaption);
  fileRow->addWidget(m_fileLine, 1);
  l->addLayout(fileRow);
  m_gauge = new QProgressBar;
  m_gauge->setRange(0, 100);
  l->addWidget(m_gauge);

  AddPage(epTemplate, l);
  m_templates = new QListWidget;
  connect(m_templates, &QListWidget::currentTextChanged, this, [this](const QString& name) {
    if (name.isEmpty()) return;
    m_model->TemplateName = FromQ(name);
    m_templateName->setText(name);
    Refresh();
  });
  l->addWidget(m_templates, 1);
  m_templateName = BindEdit(l, "Template name :", m.TemplateName, refresh);
  auto* remove = new QPushButton(QStringLiteral("Delete Selected Template"));
  connect(remove, &QPushButton::clicked, this, [this] {
    if (m_templates->currentItem() == nullptr) return;
    if (m_model->DeleteTemplate(FromQ(m_templates->currentItem()->text()))) FillPage(epTemplate);
  });
  l->addWidget(remove, 0, Qt::AlignRight);

  AddPage(epDone, l);
  l->addWidget(new QLabel(QStringLiteral("Click Finish to close the wizard.")));
  for (int i = 0; i < kPageCount; ++i)
    static_cast<QVBoxLayout*>(m_pages->widget(i)->layout())->addStretch(1);
}

void TExportForm::FillPage(int page) {
  if (page == epEmails) {
    const QSignalBlocker quiet(m_emails);
    m_emails->clear();
    for (const TExportEmailRow& row : m_model->Emails) {
      auto* item =
          new QTreeWidgetItem({ToQ(row.Address), QString::number(row.Level), ToQ(row.Page)});
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, row.Checked ? Qt::Checked : Qt::Unchecked);
      m_emails->addTopLevelItem(item);
    }
  } else if (page == epTemplate) {
    const QSignalBlocker quiet(m_templates);
    m_templates->clear();
    for (const std::string& name : m_model->TemplateNames()) m_templates->addItem(ToQ(name));
  }
}

void TExportForm::Refresh() {
  const TExportWizardModel& m = *m_model;
  const int page = m.Page();
  if (page != m_shownPage) {
    m_shownPage = page;
    FillPage(page);
    m_pages->setCurrentIndex(page);
    if (page == epDone && isMinimized() && OnNotice)
      OnNotice(QStringLiteral("Tarnquill Export Wizard"), ToQ(kExportWizardNotice));
  }
  m_title->setVisible(page != epWelcome);
  m_title->setText(ToQ(TExportWizardModel::Title(page)));
  m_back->setVisible(!m.Finished());
  m_next->setVisible(!m.Finished());
  m_cancel->setVisible(!m.Finished());
  m_finish->setVisible(m.Finished());
  m_back->setEnabled(m.BackEnabled());
  m_next->setEnabled(m.NextEnabled());
  m_cancel->setEnabled(m.CancelEnabled());

  m_linksGauge->setValue(m.Progress());
  if (m_folder->text() != ToQ(m.Folder)) m_folder->setText(ToQ(m.Folder));
  m_destination->setText(ToQ(m.Destination()));
  m_status->setText(ToQ(m.StatusText()));
  m_fileCaption->setText(ToQ(m.FileCaption()));
  m_fileLine->setText(ToQ(m.FileLine()));
  m_gauge->setVisible(m.ProgressVisible());
  m_gauge->setValue(m.Progress());
}

void TExportForm::reject() {
  if (m_model->Cancel()) QDialog::reject();
}

void TExportForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Minimising the wizard minimises the program.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && parentWidget() != nullptr)
    parentWidget()->window()->showMinimized();
}

}  // namespace tq
