#include "ui/options_form.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>

#include "options/internet_connection.h"
#include "ui/dialog_kit.h"
#include "ui/help_window.h"
#include "ui/hot_key.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

QVBoxLayout* Group(QBoxLayout* layout, const char* caption) {
  auto* group = new QGroupBox(QString::fromLatin1(caption));
  layout->addWidget(group);
  return new QVBoxLayout(group);
}

// A masked "hh:nn" box whose first hour digit may be blank.
QLineEdit* TimeBox(QBoxLayout* layout, std::string& value) {
  auto* box = new QLineEdit();
  box->setInputMask(QStringLiteral("09:99; "));
  box->setText(ToQ(value));
  QObject::connect(box, &QLineEdit::textChanged, box, [&value, box] {
    // The shown text keeps the blanks of unfilled places, which the model reads as such.
    value = FromQ(box->displayText());
  });
  layout->addWidget(box);
  return box;
}

}  // namespace

TOptionsForm::TOptionsForm(TVornOptions& options, std::vector<std::string> phonebook,
                           QWidget* parent)
    : QDialog(parent), m_model(options, std::move(phonebook)) {
  setObjectName(QStringLiteral("OptionsForm"));
  setWindowTitle(QStringLiteral("Tarnquill"));
  auto* layout = new QVBoxLayout(this);
  m_selector = AddPageSelector(layout, m_stack);
  for (const TOptionsTreeNode& node : kOptionsTree) {
    auto* item = new QTreeWidgetItem({ToQ(std::string(node.Caption))});
    item->setData(0, Qt::UserRole, static_cast<int>(node.Page));
    if (node.Level == 0) {
      m_selector->addTopLevelItem(item);
    } else {
      m_selector->topLevelItem(m_selector->topLevelItemCount() - 1)->addChild(item);
    }
  }
  m_selector->expandAll();

  BuildInternet();
  BuildProxy(opProxyHTTP, m_model.ProxyHTTP);
  BuildProxy(opProxyFTP, m_model.ProxyFTP);
  BuildBrowsers();
  BuildAdvanced();
  connect(m_selector, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) m_stack->setCurrentWidget(m_pages.at(item->data(0, Qt::UserRole).toInt()));
  });
  m_selector->setCurrentItem(m_selector->topLevelItem(0));

  const auto [ok, cancel, help] = AddOkCancelHelp(layout);
  connect(ok, &QPushButton::clicked, this, [this] { TakeOver(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowManual("options.html", this); });
  resize(680, 500);
}

QBoxLayout* TOptionsForm::NewPage(TOptionsPage page) {
  auto* widget = new QWidget();
  m_pages[page] = widget;
  m_stack->insertWidget(page, widget);
  auto* layout = new QVBoxLayout(widget);
  AddHeading(layout, ToQ(std::string(OptionsPageTitle(page))));
  return layout;
}

void TOptionsForm::BuildInternet() {
  QBoxLayout* connection = NewPage(opConnection);
  // Each transfer keeps the cookies its site sets; there is no system browser's cookie jar to
  // share here, so the switch is not offered (its stored value is kept).
  BindCheck(connection, "Use Microsoft Internet Explorer cookies", m_model.UseMSIECookies)
      ->setVisible(false);
  BindCheck(Group(connection, "Internal HTTP Server"), "Allow local access only",
            m_model.AllowLocalConnectionOnly);
  BindRadios(connection, {"Use this Identification :", "Identify as :"}, m_model.IdentifyAsListed);
  auto* identities = new QComboBox();
  for (int i = 0; i < kAgentIdentifyCount; ++i)
    identities->addItem(
        ToQ(std::string(AgentIdentityName(static_cast<TVornAgentIdentifyType>(i)))));
  identities->setCurrentIndex(m_model.IdentityIndex < kAgentIdentifyCount ? m_model.IdentityIndex
                                                                          : -1);
  connect(identities, &QComboBox::currentIndexChanged, this,
          [this](int index) { m_model.IdentityIndex = index; });
  connection->addWidget(identities);
  BindEdit(connection, "", m_model.CustomIdentity);
  connection->addStretch();

  QBoxLayout* dial = NewPage(opDialUp);
  auto* dialControls = new QWidget();
  // Dialling here means bringing up one of NetworkManager's connection profiles.
  BindCheck(dial, "Bring a NetworkManager connection up before downloading", m_model.DialEnabled,
            [this, dialControls] { dialControls->setEnabled(m_model.DialEnabled); });
  dial->addWidget(dialControls);
  dialControls->setEnabled(m_model.DialEnabled);
  auto* dialLayout = new QVBoxLayout(dialControls);
  dialLayout->addWidget(new QLabel(QStringLiteral("Select NetworkManager connection :")));
  auto* entries = new QListWidget();
  entries->setObjectName(QStringLiteral("phonebook"));
  for (const std::string& entry : m_model.Phonebook) entries->addItem(ToQ(entry));
  entries->setCurrentRow(m_model.PhonebookIndex);
  connect(entries, &QListWidget::currentRowChanged, this,
          [this](int row) { m_model.PhonebookIndex = row; });
  dialLayout->addWidget(entries);
  BindEdit(dialLayout, "Login name :", m_model.DialUsername);
  BindEdit(dialLayout, "Password :", m_model.DialPassword)->setEchoMode(QLineEdit::Password);
  BindSpin(dialLayout, "Retry broken connection :", 0, kDialCountMax, m_model.RetryBrokenConnection)
      ->setSuffix(QStringLiteral(" times"));
  BindSpin(dialLayout, "Intervals between attempts :", 0, kDialCountMax,
           m_model.IntervalBetweenRetries)
      ->setSuffix(QStringLiteral(" seconds"));

  QBoxLayout* disconnect = NewPage(opDisconnect);
  BindCheck(disconnect, "Disconnect the NetworkManager connection when all downloads are complete",
            m_model.DisconnectWhenDownloadsComplete);
  QLineEdit** boxes[] = {&m_disconnectTime, &m_exitTime};
  struct TTimed {
    const char* caption;
    bool& on;
    std::string& time;
  };
  TTimed timed[] = {{"Disconnect at", m_model.DisconnectAt, m_model.DisconnectAtTime},
                    {"Exit at", m_model.ExitAt, m_model.ExitAtTime}};
  for (int i = 0; i < 2; ++i) {
    if (i == 1) {
      BindCheck(disconnect, "Exit Tarnquill when all downloads are complete",
                m_model.ExitWhenDownloadsComplete);
    }
    auto* row = new QHBoxLayout();
    disconnect->addLayout(row);
    QLineEdit** box = boxes[i];
    bool& on = timed[i].on;
    BindCheck(row, timed[i].caption, on, [box, &on] { (*box)->setEnabled(on); });
    *box = TimeBox(row, timed[i].time);
    (*box)->setEnabled(on);
  }
  BindCheck(disconnect, "Save download documents before exit", m_model.SaveDownloadsBeforeExit);
  BindCheck(disconnect, "Shutdown the system after Tarnquill exit", m_model.ShutDownOnExit);
  disconnect->addStretch();
}

void TOptionsForm::BuildProxy(TOptionsPage which, TProxyControls& proxy) {
  QBoxLayout* page = NewPage(which);
  BindRadios(page, {"No proxy", "Socks 4", "Socks 4A", "Socks 5"}, proxy.Version);
  BindEdit(page, "Proxy Address : ", proxy.Address);
  BindSpin(page, "Proxy Port : ", 0, kProxyPortMax, proxy.Port);
  QBoxLayout* login = Group(page, "Proxy authentication (leave blank if not required)");
  BindEdit(login, "Username : ", proxy.User);
  BindEdit(login, "Password :", proxy.Password)->setEchoMode(QLineEdit::Password);
  if (which == opProxyFTP) BindCheck(page, "PASV mode for FTP downloads", m_model.PasvMode);
  page->addStretch();
}

void TOptionsForm::BuildBrowsers() {
  QBoxLayout* page = NewPage(opBrowsers);
  QVBoxLayout* side = nullptr;
  QListWidget* list = AddListWithSide(page, side);
  list->setObjectName(QStringLiteral("browsers"));
  QLineEdit* caption = AddCaptionedEdit(side, "&Caption : ");
  QLineEdit* file = AddCaptionedEdit(side, "&File :");
  auto* hotKey = new QKeySequenceEdit();
  side->addWidget(CaptionLabel(QStringLiteral("&Hotkey : "), hotKey));
  hotKey->setObjectName(QStringLiteral("hotKey"));
  hotKey->setClearButtonEnabled(true);
  side->addWidget(hotKey);
  auto* add = new QPushButton(QStringLiteral("<< &Add"));
  auto* remove = new QPushButton(QStringLiteral("&Remove >>"));
  side->addWidget(add);
  side->addWidget(remove);
  side->addStretch();
  TUtilityAppsEditor& editor = m_model.Browsers;
  auto showBoxes = [=, &editor] {
    const QSignalBlocker a(caption), b(file), c(hotKey);
    caption->setText(ToQ(editor.CaptionBox()));
    file->setText(ToQ(editor.FileBox()));
    hotKey->setKeySequence(HotKeySequence(editor.HotKeyBox()));
    for (QWidget* w : std::initializer_list<QWidget*>{caption, file, hotKey, remove})
      w->setEnabled(editor.BoxesEnabled());
  };
  auto refresh = [=, &editor] {
    const QSignalBlocker quiet(list);
    list->clear();
    for (int i = 0; i < editor.Apps().Count(); ++i) {
      auto* item = new QListWidgetItem(ToQ(editor.Apps().Items(i).Caption), list);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(editor.Apps().Items(i).Enabled ? Qt::Checked : Qt::Unchecked);
    }
    list->setCurrentRow(editor.Selected());
    showBoxes();
  };
  connect(list, &QListWidget::currentRowChanged, this, [=, &editor](int selected) {
    editor.Select(selected);
    showBoxes();
  });
  connect(list, &QListWidget::itemChanged, this, [list, &editor](QListWidgetItem* item) {
    editor.SetChecked(list->row(item), item->checkState() == Qt::Checked);
  });
  connect(caption, &QLineEdit::textEdited, this, [list, &editor](const QString& text) {
    editor.EditCaption(FromQ(text));
    const QSignalBlocker quiet(list);
    if (QListWidgetItem* item = list->currentItem()) item->setText(text);
  });
  connect(file, &QLineEdit::textEdited, this,
          [&editor](const QString& text) { editor.EditFile(FromQ(text)); });
  // A key a stored code cannot hold (Home, the Meta key) leaves no hot-key, and the box shows
  // what was stored once editing ends: the first chord only, or nothing.
  connect(hotKey, &QKeySequenceEdit::keySequenceChanged, this,
          [&editor](const QKeySequence& keys) { editor.EditHotKey(HotKeyCode(keys)); });
  connect(hotKey, &QKeySequenceEdit::editingFinished, this, [hotKey, &editor] {
    const QSignalBlocker quiet(hotKey);
    hotKey->setKeySequence(HotKeySequence(editor.HotKeyBox()));
  });
  connect(add, &QPushButton::clicked, this, [=, &editor] {
    editor.Add();
    refresh();
  });
  connect(remove, &QPushButton::clicked, this, [=, &editor] {
    editor.Remove();
    refresh();
  });
  refresh();
}

void TOptionsForm::BuildAdvanced() {
  QBoxLayout* directories = NewPage(opDirectories);
  QBoxLayout* folderGroup = Group(directories, "Download Directory");
  auto* folderRow = new QHBoxLayout();
  folderGroup->addLayout(folderRow);
  auto* folder = new QLineEdit(ToQ(m_model.DownDirectory));
  folder->setReadOnly(true);
  folderRow->addWidget(folder, 1);
  auto* choose = new QPushButton(QStringLiteral("..."));
  folderRow->addWidget(choose);
  auto* freeSpace = new QLabel();
  auto showFree = [this, freeSpace] {
    freeSpace->setText(QStringLiteral("Hard disk free space : ") +
                       ToQ(FreeSpaceText(m_model.DownDirectory)));
  };
  showFree();
  directories->addWidget(freeSpace);
  connect(choose, &QPushButton::clicked, this, [this, folder, showFree] {
    m_model.ChooseDownDirectory();
    folder->setText(ToQ(m_model.DownDirectory));
    showFree();
  });
  BindSpin(directories, "Disk free space limit :", kDiskSpaceLimitMin, kDiskSpaceLimitMax,
           m_model.DiskSpaceLimit)
      ->setSuffix(QStringLiteral(" Mb"));
  directories->addStretch();

  QBoxLayout* integration = NewPage(opIntegration);
  BindCheck(integration, "Monitor Clipboard", m_model.MonitorClipboard);
  // No browser here takes a context-menu entry from a program; the switch is kept stored only.
  BindCheck(integration, "Integrate into MS Internet Explorer contextmenu", m_model.IntegrateIE)
      ->setVisible(false);
  QBoxLayout* adding = Group(integration, "When adding an URL");
  BindCheck(adding, "Select a template to use", m_model.WhenAddSelTemplate);
  BindCheck(adding, "Start download automatically", m_model.WhenAddStartDownload);
  auto* usage = new QComboBox();
  usage->addItems({QStringLiteral("Do not accept"), QStringLiteral("Accept only")});
  usage->setCurrentIndex(m_model.ClipboardUsage);
  connect(usage, &QComboBox::currentIndexChanged, this,
          [this](int index) { m_model.ClipboardUsage = index; });
  integration->addWidget(usage);
  integration->addWidget(new QLabel(QStringLiteral("URLs that end with (comma separated list) :")));
  QStringList lines;
  for (const std::string& line : m_model.ClipboardFilterLines) lines << ToQ(line);
  auto* filter = new QPlainTextEdit(lines.join(QLatin1Char('\n')));
  connect(filter, &QPlainTextEdit::textChanged, this, [this, filter] {
    m_model.ClipboardFilterLines.clear();
    for (const QString& line : filter->toPlainText().split(QLatin1Char('\n')))
      m_model.ClipboardFilterLines.push_back(FromQ(line));
  });
  integration->addWidget(filter, 1);

  QBoxLayout* confirmation = NewPage(opConfirmation);
  const char* switches[] = {"When closing document without save", "When closing Tarnquill",
                            "When quitting from wizards",         "When deleting files or folders",
                            "When hangging up a connection",      "When Project URL is changed"};
  for (size_t i = 0; i < m_model.Confirmations.size(); ++i)
    BindCheck(confirmation, switches[i], m_model.Confirmations[i]);
  confirmation->addStretch();

  QBoxLayout* exporting = NewPage(opExport);
  exporting->addWidget(
      new QLabel(QStringLiteral("E-book compiler (chmcmd, from the fp-utils package)")));
  auto* compilerRow = new QHBoxLayout();
  exporting->addLayout(compilerRow);
  auto* compiler = new QLineEdit(ToQ(m_model.CompilerFileName));
  compiler->setReadOnly(true);
  compiler->setObjectName(QStringLiteral("compiler"));
  compilerRow->addWidget(compiler, 1);
  auto* find = new QPushButton(QStringLiteral("Find"));
  compilerRow->addWidget(find);
  connect(find, &QPushButton::clicked, this, [this, compiler] {
    TFindCompilerForm finder(this);
    if (ExecModal(finder) != QDialog::Accepted) return;
    m_model.CompilerFileName = finder.Model().SelectedFile();
    compiler->setText(ToQ(m_model.CompilerFileName));
  });
  BindCheck(exporting, "Compile Full-text Search Information (large size)", m_model.FullSearch);
  exporting->addStretch();
}

void TOptionsForm::TakeOver() {
  TOptionsDialogModel::TFocus focus = TOptionsDialogModel::efNone;
  if (m_model.TakeOver(focus)) {
    accept();
    return;
  }
  QLineEdit* box = focus == TOptionsDialogModel::efExitAtTime ? m_exitTime : m_disconnectTime;
  m_selector->setCurrentItem(m_selector->topLevelItem(0)->child(2));
  box->setFocus();
}

TFindCompilerForm::TFindCompilerForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindCompilerForm"));
  setWindowTitle(QStringLiteral("Find compiler"));
  auto* layout = new QVBoxLayout(this);
  m_idle = new QLabel(QStringLiteral(
      "Press Start to let Tarnquill search your computer for the e-book compiler (chmcmd)."));
  m_idle->setWordWrap(true);
  layout->addWidget(m_idle);
  m_folder = new QLabel();
  layout->addWidget(m_folder);
  m_list = new QListWidget();
  layout->addWidget(m_list, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  m_start = new QPushButton();
  m_ok = new QPushButton(QStringLiteral("OK"));
  m_cancel = new QPushButton(QStringLiteral("Cancel"));
  for (QPushButton* button : {m_start, m_ok, m_cancel}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
  connect(m_start, &QPushButton::clicked, this, [this] { m_model.PressStart(); });
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
    m_model.Select(row);
    Update();
  });
  m_model.OnChange = [this] { Update(); };
  Update();
  resize(520, 360);
}

void TFindCompilerForm::reject() {
  if (m_model.CancelEnabled()) QDialog::reject();
}

void TFindCompilerForm::Update() {
  m_start->setText(QString::fromLatin1(m_model.StartCaption()));
  m_ok->setEnabled(m_model.OkEnabled());
  m_cancel->setEnabled(m_model.CancelEnabled());
  m_list->setEnabled(m_model.ListEnabled());
  m_idle->setVisible(!m_model.Searching());
  m_folder->setVisible(m_model.Searching());
  m_folder->setText(QStringLiteral("Searching in : ") + ToQ(m_model.CurrentFolder()));
  if (m_list->count() != static_cast<int>(m_model.Found().size())) {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (const std::string& found : m_model.Found()) m_list->addItem(PathToQ(found));
  }
}

}  // namespace tq
