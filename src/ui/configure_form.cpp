#include "ui/configure_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_kit.h"
#include "ui/help_window.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

// A check list with its edit box and two buttons, over the list that list() returns at the
// moment (the keyword pages switch between two). Returns the function that shows the list anew.
std::function<void()> CheckListEditor(QBoxLayout* layout, std::function<TCheckListEdit&()> list,
                                      bool addChecked, const char* add, const char* remove) {
  QVBoxLayout* side = nullptr;
  QListWidget* view = AddListWithSide(layout, side);
  auto* edit = new QLineEdit();
  auto* addButton = new QPushButton(QString::fromLatin1(add));
  auto* removeButton = new QPushButton(QString::fromLatin1(remove));
  side->addWidget(edit);
  side->addWidget(addButton);
  side->addWidget(removeButton);
  side->addStretch();
  auto showSelection = [=] {
    const QSignalBlocker quiet(edit);
    edit->setText(ToQ(list().EditText()));
    edit->setEnabled(list().EditEnabled());
    removeButton->setEnabled(list().EditEnabled());
  };
  auto refresh = [=] {
    FillCheckList(view, list().Items);
    const QSignalBlocker quiet(view);
    view->setCurrentRow(list().Selected);
    showSelection();
  };
  QObject::connect(view, &QListWidget::currentRowChanged, view, [=](int current) {
    list().Selected = current;
    showSelection();
  });
  QObject::connect(view, &QListWidget::itemChanged, view, [=](QListWidgetItem* item) {
    const int index = view->row(item);
    if (index >= 0 && index < static_cast<int>(list().Items.size()))
      list().Items[index].Checked = item->checkState() == Qt::Checked;
  });
  QObject::connect(edit, &QLineEdit::textEdited, edit, [=](const QString& text) {
    list().RenameSelected(FromQ(text));
    if (QListWidgetItem* item = view->currentItem()) {
      const QSignalBlocker quiet(view);
      item->setText(text);
    }
  });
  QObject::connect(addButton, &QPushButton::clicked, view, [=] {
    list().AddEntry(addChecked);
    refresh();
  });
  QObject::connect(removeButton, &QPushButton::clicked, view, [=] {
    list().RemoveSelected();
    refresh();
  });
  refresh();
  return refresh;
}

QComboBox* BindCombo(QBoxLayout* layout, const char* caption,
                     const std::vector<std::string_view>& texts, int& value) {
  auto* row = new QHBoxLayout();
  layout->addLayout(row);
  auto* combo = new QComboBox();
  row->addWidget(CaptionLabel(QString::fromLatin1(caption), combo));
  for (std::string_view text : texts) combo->addItem(ToQ(std::string(text)));
  combo->setCurrentIndex(value);
  QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [&value](int index) {
    if (index >= 0) value = index;
  });
  row->addWidget(combo, 1);
  return combo;
}

// A group box whose content is laid out top to bottom.
QVBoxLayout* Group(QBoxLayout* layout, const char* caption, QGroupBox** box = nullptr) {
  auto* group = new QGroupBox(QString::fromLatin1(caption));
  layout->addWidget(group);
  if (box != nullptr) *box = group;
  return new QVBoxLayout(group);
}

}  // namespace

TConfigureForm::TConfigureForm(TVornCrawlSettings& settings, QWidget* parent)
    : QDialog(parent), m_model(settings) {
  setObjectName(QStringLiteral("ConfigureForm"));
  setWindowTitle(QStringLiteral("Project Properties"));
  auto* layout = new QVBoxLayout(this);
  m_selector = AddPageSelector(layout, m_stack);

  BuildGeneral();
  BuildPerformance();
  for (TConfigurePage page : {cpArchive, cpAudio, cpImages, cpText, cpVideo}) BuildFilter(page);
  BuildTags();
  BuildKeywords(cpServers, m_model.Servers);
  BuildKeywords(cpDirectories, m_model.Directories);
  BuildKeywords(cpFileNames, m_model.FileNames);
  BuildTranslation();
  BuildPasswords();
  BuildSelector();

  const auto [ok, cancel, help] = AddOkCancelHelp(layout);
  connect(ok, &QPushButton::clicked, this, [this] {
    m_model.TakeOver();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowManual("new-project.html", this); });
  SyncChecks();
  resize(720, 520);
}

QBoxLayout* TConfigureForm::NewPage(TConfigurePage page) {
  auto* widget = new QWidget();
  m_pages[page] = widget;
  m_content[page] = widget;
  m_stack->addWidget(widget);
  auto* layout = new QVBoxLayout(widget);
  AddHeading(layout, ToQ(std::string(ConfigurePageHeading(page))));
  return layout;
}

void TConfigureForm::BuildGeneral() {
  QBoxLayout* group = Group(NewPage(cpGeneral), "Common");
  BindEdit(group, "Project name", m_model.ProjectName)->setObjectName(QStringLiteral("name"));
  BindEdit(group, "Base url", m_model.BaseUrl)->setObjectName(QStringLiteral("baseUrl"));
  BindSpin(group, "Level", 0, kLevelLimitMax, m_model.LevelLimit);
  BindCheck(group, kPageRequisitesCaption.data(), m_model.PageRequisites)
      ->setObjectName(QStringLiteral("pageRequisites"));
  QGroupBox* check = nullptr;
  BindRadios(
      Group(group, "File modification check", &check),
      {"Download only modified files", "Download &all files", "Do not download existing files"},
      m_model.FileModificationCheck);
  check->setObjectName(QStringLiteral("modificationCheck"));
  group->addStretch();
}

void TConfigureForm::BuildPerformance() {
  QBoxLayout* page = NewPage(cpPerformance);
  BindCombo(page, "Process Priority", {kThreadPriorityTexts.begin(), kThreadPriorityTexts.end()},
            m_model.ThreadsPriority);
  BindSpin(page, "Threads Number", kThreadsCountMin, kThreadsCountMax, m_model.ThreadsCount);
  BindSpin(page, kMaxRateCaption.data(), 0, kMaxRateMax, m_model.MaxRequestsPerSecond)
      ->setSpecialValueText(QString::fromUtf8(kNoRateLimitText.data()));
  BindCheck(page, kObeyRobotsCaption.data(), m_model.ObeyRobots);
  BindSpin(page, "Connection Timeout", kTimeoutMin, kTimeoutMax, m_model.ConnectionTimeout,
           kTimeoutStep)
      ->setSuffix(QStringLiteral(" sec"));
  BindSpin(page, "Retires on Failed", 0, kRetriesMax, m_model.RetriesOnFailed);
  BindCheck(page, "Build Ready Links Tree", m_model.BuildAllTree);
  BindCheck(page, "Build Ignored Links List", m_model.BuildIgnored);
  BindCheck(page, "Build Emails List", m_model.BuildEmails);
  page->addStretch();
}

void TConfigureForm::BuildFilter(TConfigurePage which) {
  QBoxLayout* page = NewPage(which);
  auto* panel = new QWidget();
  m_content[which] = panel;
  page->addWidget(panel, 1);
  auto* layout = new QVBoxLayout(panel);
  TFilterPage& filter = m_model.Filter(which);
  BindCombo(layout, "Locations",
            {"Load only from starting server", "Load only from starting directory",
             "Load from any site (using Servers Filter)"},
            filter.Location);
  auto* sizeBox = new QVBoxLayout();
  layout->addLayout(sizeBox);
  auto refresh = [this] {
    for (auto& run : m_refresh) run();
  };
  BindRadios(sizeBox, {"Load all sizes", "Load only selected files sizes"}, filter.SelectedSizes,
             refresh);
  QCheckBox* minCheck = BindCheck(sizeBox, "Minimun Size", filter.MinEnabled, refresh);
  QSpinBox* minSpin = BindSpin(sizeBox, "", 0, kFileSizeMax, filter.MinSize);
  minSpin->setSuffix(QStringLiteral(" Kb"));
  QCheckBox* maxCheck = BindCheck(sizeBox, "Maximum Size", filter.MaxEnabled, refresh);
  QSpinBox* maxSpin = BindSpin(sizeBox, "", 0, kFileSizeMax, filter.MaxSize);
  maxSpin->setSuffix(QStringLiteral(" Kb"));
  m_refresh.push_back([&filter, minCheck, maxCheck, minSpin, maxSpin] {
    minCheck->setEnabled(filter.SizeChecksEnabled());
    maxCheck->setEnabled(filter.SizeChecksEnabled());
    minSpin->setEnabled(filter.MinEditEnabled());
    maxSpin->setEnabled(filter.MaxEditEnabled());
  });
  BindRadios(layout, {"Load all files listed below", "Load only selected files types"},
             filter.SelectedTypes);
  CheckListEditor(
      layout, [&filter]() -> TCheckListEdit& { return filter.Extensions; }, false, "<< &Add",
      "&Remove >>");
}

void TConfigureForm::BuildTags() {
  QBoxLayout* page = NewPage(cpTags);
  page->addWidget(new QLabel(QStringLiteral("Html Tags")));
  auto* tags = new QListWidget();
  tags->setObjectName(QStringLiteral("tags"));
  std::vector<TCheckString> items;
  for (size_t i = 0; i < kTagEntries.size(); ++i)
    items.push_back({std::string(kTagEntries[i].Caption), m_model.Tags[i]});
  FillCheckList(tags, items);
  connect(tags, &QListWidget::itemChanged, this, [this, tags](QListWidgetItem* item) {
    const int row = tags->row(item);
    if (row >= 0) m_model.Tags.at(static_cast<size_t>(row)) = item->checkState() == Qt::Checked;
  });
  page->addWidget(tags, 1);
  m_aggressive = !m_model.BasicMode;
  BindRadios(page, {"Basic mode", "Aggresive Mode"}, m_aggressive,
             [this] { m_model.BasicMode = !m_aggressive; });
  auto* html = new QCheckBox(QStringLiteral("HTML/DHTML"));
  html->setChecked(true);
  html->setEnabled(false);
  html->setVisible(false);
  page->addWidget(html);
  BindCheck(page, "JAVA", m_model.Java);
  BindCheck(page, "CSS", m_model.Css);
}

void TConfigureForm::BuildKeywords(TConfigurePage which, TKeywordPage& keywords) {
  QBoxLayout* page = NewPage(which);
  if (which == cpServers) {
    BindRadios(
        page,
        {"Load all protocols", "Load only starting protocol", "Load the starting protocol and "},
        keywords.Rule);
    auto* protocols = new QHBoxLayout();
    page->addLayout(protocols);
    BindCheck(protocols, "HTTP", m_model.ServerHTTP);
    BindCheck(protocols, "HTTPS", m_model.ServerHTTPS);
    BindCheck(protocols, "FTP", m_model.ServerFTP);
  } else if (which == cpDirectories) {
    BindRadios(page,
               {"Load files only from starting directory and below",
                "Load files from all directories", "Load using custom configuration (keywords)"},
               keywords.Rule);
  } else {
    BindRadios(page, {"Load all files", "Load files using custom configuration (keywords)"},
               keywords.Rule);
  }
  auto* lists = new QWidget();
  auto* listLayout = new QVBoxLayout(lists);
  BindCheck(page, "Keywords : ", keywords.Enabled,
            [lists, &keywords] { lists->setEnabled(keywords.Enabled); });
  if (which == cpServers)
    BindCheck(page, "Follow apropiate domains", m_model.FollowApropiateDomains);
  page->addWidget(lists, 1);
  lists->setEnabled(keywords.Enabled);
  auto refresh = std::make_shared<std::function<void()>>();
  BindRadios(listLayout, {"Show included Keywords", "Show excluded Keywords"},
             keywords.ShowExcluded, [refresh] { (*refresh)(); });
  *refresh = CheckListEditor(
      listLayout, [&keywords]() -> TCheckListEdit& { return keywords.Shown(); }, true, "&Add >>",
      "&Remove <<");
}

void TConfigureForm::BuildTranslation() {
  QBoxLayout* page = NewPage(cpLinkTranslation);
  auto* content = new QWidget();
  m_content[cpLinkTranslation] = content;
  page->addWidget(content, 1);
  auto* layout = new QVBoxLayout(content);
  BindRadios(Group(layout, "Folowed Links"),
             {"Do NOT convert followed links ", "Convert followed ALL links to ONLINE paths",
              "Convert ALL followed links to OFFLINE paths"},
             m_model.Followed);
  BindRadios(Group(layout, "Unfolowed Links"),
             {"Do NOT convert unfollowed links ", "Convert unfollowed ALL links to ONLINE paths",
              "Convert ALL unfollowed links to OFFLINE paths"},
             m_model.UnFollowed);
}

void TConfigureForm::BuildPasswords() {
  QBoxLayout* page = NewPage(cpPasswords);
  QGroupBox* group = nullptr;
  QVBoxLayout* layout = Group(page, "Passwords", &group);
  m_content[cpPasswords] = group;
  layout->addWidget(new QLabel(QStringLiteral("Select type of login to view")));
  int shown = m_model.ShownCredentials - ccHTTP;
  auto selectorRow = new QHBoxLayout();
  layout->addLayout(selectorRow);

  QVBoxLayout* side = nullptr;
  QListWidget* servers = AddListWithSide(layout, side);
  servers->setObjectName(QStringLiteral("servers"));
  QLineEdit* server = AddCaptionedEdit(side, "Server :");
  server->setObjectName(QStringLiteral("server"));
  QLineEdit* user = AddCaptionedEdit(side, "User :");
  QLineEdit* password = AddCaptionedEdit(side, "Password :");
  auto* add = new QPushButton(QStringLiteral("<< &Add"));
  auto* remove = new QPushButton(QStringLiteral("&Remove >>"));
  side->addWidget(add);
  side->addWidget(remove);
  side->addStretch();

  auto current = [this]() -> TCredentialEdit& {
    return m_model.Credentials[m_model.ShownCredentials];
  };
  auto showSelection = [=] {
    TCredentialEdit& list = current();
    const bool on = list.EditsEnabled();
    const TAuthorization none;
    const TAuthorization& entry = on ? list.Items[list.Selected] : none;
    for (auto [box, text] : {std::pair{server, &entry.Address}, std::pair{user, &entry.User},
                             std::pair{password, &entry.Password}}) {
      const QSignalBlocker quiet(box);
      box->setText(ToQ(*text));
      box->setEnabled(on);
    }
    remove->setEnabled(on);
  };
  auto refresh = [=] {
    const QSignalBlocker quiet(servers);
    servers->clear();
    for (const TAuthorization& entry : current().Items) {
      auto* item = new QListWidgetItem(ToQ(entry.Address), servers);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(entry.Enabled ? Qt::Checked : Qt::Unchecked);
    }
    servers->setCurrentRow(current().Selected);
    showSelection();
  };
  auto* selector = new QComboBox();
  selector->addItems(
      {QStringLiteral("HTTP 1.1 login"), QStringLiteral("HTTPS login"), QStringLiteral("FTP")});
  selector->setCurrentIndex(shown);
  selectorRow->addWidget(selector);
  connect(selector, &QComboBox::currentIndexChanged, this, [this, refresh](int index) {
    m_model.ShownCredentials = static_cast<TCredentialPage>(ccHTTP + index);
    refresh();
  });
  connect(servers, &QListWidget::currentRowChanged, this, [=](int selected) {
    current().Selected = selected;
    showSelection();
  });
  connect(servers, &QListWidget::itemChanged, this, [=](QListWidgetItem* item) {
    const int index = servers->row(item);
    if (index >= 0 && index < static_cast<int>(current().Items.size()))
      current().Items[index].Enabled = item->checkState() == Qt::Checked;
  });
  connect(server, &QLineEdit::textEdited, this, [=](const QString& text) {
    if (!current().EditsEnabled()) return;
    current().Items[current().Selected].Address = FromQ(text);
    const QSignalBlocker quiet(servers);
    servers->currentItem()->setText(text);
  });
  connect(server, &QLineEdit::editingFinished, this, [this, server, servers, current] {
    std::string text = FromQ(server->text());
    if (!m_model.LeaveServerEdit(m_model.ShownCredentials, text)) {
      server->setFocus();
      return;
    }
    server->setText(ToQ(text));
    if (QListWidgetItem* item = servers->currentItem()) {
      const QSignalBlocker quiet(servers);
      item->setText(ToQ(text));
    }
  });
  connect(user, &QLineEdit::textEdited, this, [current](const QString& text) {
    if (current().EditsEnabled()) current().Items[current().Selected].User = FromQ(text);
  });
  connect(password, &QLineEdit::textEdited, this, [current](const QString& text) {
    if (current().EditsEnabled()) current().Items[current().Selected].Password = FromQ(text);
  });
  connect(add, &QPushButton::clicked, this, [=] {
    current().AddEntry();
    refresh();
  });
  connect(remove, &QPushButton::clicked, this, [=] {
    current().RemoveSelected();
    refresh();
  });
  refresh();

  BindCheck(page, "Automatically add the new login", m_model.AutoAdd);
  BindRadios(page, {"Prompt for password if not listed below", "Use default login"},
             m_model.UseDefaultLogin);
  QBoxLayout* login = Group(page, "Default login");
  BindEdit(login, "Username : ", m_model.DefaultUser);
  BindEdit(login, "Password :", m_model.DefaultPassword)->setEchoMode(QLineEdit::Password);
}

void TConfigureForm::BuildSelector() {
  for (const TConfigureNode& node : kConfigureTree) {
    auto* item = new QTreeWidgetItem({ToQ(std::string(node.Caption))});
    item->setData(0, Qt::UserRole, static_cast<int>(node.Page));
    if (node.Check != ncNone) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, m_model.NodeChecked(node.Page) ? Qt::Checked : Qt::Unchecked);
    }
    if (node.Level == 0) {
      m_selector->addTopLevelItem(item);
    } else {
      m_selector->topLevelItem(m_selector->topLevelItemCount() - 1)->addChild(item);
    }
  }
  m_selector->expandAll();
  connect(m_selector, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) m_stack->setCurrentWidget(m_pages.at(item->data(0, Qt::UserRole).toInt()));
  });
  connect(m_selector, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    const auto page = static_cast<TConfigurePage>(item->data(0, Qt::UserRole).toInt());
    if ((item->checkState(0) == Qt::Checked) != m_model.NodeChecked(page)) m_model.ToggleNode(page);
    SyncChecks();
  });
  m_selector->setCurrentItem(m_selector->topLevelItem(0)->child(0));
}

QTreeWidgetItem* TConfigureForm::Node(TConfigurePage page) const {
  for (QTreeWidgetItemIterator it(m_selector); *it != nullptr; ++it) {
    if ((*it)->parent() != nullptr && (*it)->data(0, Qt::UserRole).toInt() == page) return *it;
  }
  return nullptr;
}

void TConfigureForm::SyncChecks() {
  for (TConfigurePage page :
       {cpArchive, cpAudio, cpImages, cpText, cpVideo, cpLinkTranslation, cpPasswords}) {
    m_content[page]->setEnabled(m_model.NodeChecked(page));
  }
  for (auto& run : m_refresh) run();
}

}  // namespace tq
