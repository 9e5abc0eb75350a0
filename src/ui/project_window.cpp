// The project window's parts and what the user does with them; engine and document events are
// in project_window_events.cpp.
#include "ui/project_window.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "foundation/ansi.h"
#include "foundation/url.h"
#include "platform/dialog_service.h"
#include "server/server.h"
#include "ui/link_images.h"
#include "ui/link_lists_pane.h"
#include "ui/options_popup_menu.h"
#include "ui/project_browser.h"
#include "ui/qt_text.h"
#include "ui/search_pane.h"

namespace tq {
namespace {

const QString kSearchPlaceholder = QStringLiteral("<Search keyword>");
constexpr const char* kInvalidUrlText =
    "Please type the full path including the protocol. Ex: http://www.example.com/";

QTreeView* MakeTreeView(TVornLinkTree* model, QWidget* parent) {
  auto* view = new QTreeView(parent);
  view->setHeaderHidden(true);
  view->setUniformRowHeights(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setModel(model);
  return view;
}

}  // namespace

TWWWDocForm::TWWWDocForm(IProjectHost& host, TVornOptions* options, TVornTemplates* templates,
                         QWidget* parent)
    : QWidget(parent), m_host(host) {
  setWindowTitle(QString::fromLatin1(kUntitledDocName.data(), qsizetype(kUntitledDocName.size())));
  m_document = std::make_unique<TVornDocument>();
  m_document->SetTemplates(templates);
  m_document->ProposedName = [this] { return m_engine->General().ProjectName(); };
  m_allTree = new TVornLinkTree(this);
  m_readyTree = new TVornLinkTree(this);
  m_allUpdater = std::make_unique<TVornTreeUpdater>();
  m_readyUpdater = std::make_unique<TVornTreeUpdater>();
  m_allUpdater->SetTree(m_allTree);
  m_readyUpdater->SetTree(m_readyTree);

  m_engine = std::make_unique<TVornDownload>();
  ApplyNewProjectSettings(m_engine->Settings());
  m_engine->SetVornOptions(options);
  m_engine->SetVornDocument(m_document.get());
  m_engine->SetAllTreeUpdater(m_allUpdater.get());
  m_engine->SetReadyTreeUpdater(m_readyUpdater.get());

  BuildLayout();
  WireBrowser();
  WireEngine();
  WireDocument();
  StartServer();
}

TWWWDocForm::~TWWWDocForm() {
  m_state.Detach();
  // Both read the engine and the document, which go before the child widgets would.
  delete m_searchPane;
  delete m_linkMenu;
  try {
    m_engine->StopDownload();
  } catch (const std::exception&) {
  }
  // Nothing of the engine reaches this window's parts any more, whatever it still delivers.
  m_engine->Handlers() = TVornEventHandlers();
  m_engine->OnProjectNameChange = nullptr;
  m_engine->OnBuildAllTree = nullptr;
  m_engine->OnBuildIgnored = nullptr;
  m_engine->OnBuildEmails = nullptr;
  m_server.reset();
  m_engine.reset();
  m_allUpdater.reset();
  m_readyUpdater.reset();
  const std::string name = m_document->DocName();
  m_document.reset();
  SetBusyCursor(false);
  if (name != kUntitledDocName) m_host.AddRecentProject(name);
  m_host.SyncActiveTab();
}

void TWWWDocForm::BuildLayout() {
  m_browser = CreateProjectBrowser(this);
  m_browserStatus = new QLabel(QStringLiteral("Done"), this);
  m_browserStatus->setTextFormat(Qt::PlainText);
  auto* centre = new QWidget(this);
  auto* centreLayout = new QVBoxLayout(centre);
  centreLayout->setContentsMargins(0, 0, 0, 0);
  centreLayout->setSpacing(2);
  centreLayout->addWidget(m_browser, 1);
  centreLayout->addWidget(m_browserStatus);

  m_leftPane = BuildLeftPane();
  m_lists = new TLinkListsPane(*m_engine, this);
  m_lists->OnBrowse = [this](const std::string& url, bool offline) { OpenLink(url, offline); };
  m_lists->OnGoToFile = [this](const std::string& url) { GoToFile(url); };
  m_lists->OnSendMail = [](const std::string& address) {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + ToQ(address)));
  };

  m_inner = new QSplitter(Qt::Horizontal, this);
  m_inner->addWidget(m_leftPane);
  m_inner->addWidget(centre);
  m_inner->setStretchFactor(1, 1);
  m_inner->setSizes({260, 700});
  m_outer = new QSplitter(Qt::Vertical, this);
  m_outer->addWidget(m_inner);
  m_outer->addWidget(m_lists);
  m_outer->setStretchFactor(0, 1);
  m_outer->setSizes({500, 220});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(BuildAddressBar());
  layout->addWidget(m_outer, 1);
}

QWidget* TWWWDocForm::BuildAddressBar() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  auto* tools = new QToolBar(bar);
  tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  QStyle* look = style();
  const auto tool = [&](QStyle::StandardPixmap image, const char* caption, auto&& action) {
    QAction* item = tools->addAction(look->standardIcon(image), QString::fromLatin1(caption));
    connect(item, &QAction::triggered, this, [action] {
      try {
        action();
      } catch (const std::exception&) {
      }
    });
    return item;
  };
  tool(QStyle::SP_ArrowBack, "Back", [this] { m_browser->GoBack(); });
  tool(QStyle::SP_ArrowForward, "Forward", [this] { m_browser->GoForward(); });
  tool(QStyle::SP_BrowserStop, "Stop", [this] { m_browser->StopLoading(); });
  tool(QStyle::SP_BrowserReload, "Refresh", [this] { m_browser->Refresh(); });
  tool(QStyle::SP_FileDialogContentsView, "Search in page", [this] { m_browser->FindInPage(); });
  QAction* full = tool(QStyle::SP_TitleBarMaxButton, "Full screen", [] {});
  full->setCheckable(true);
  connect(full, &QAction::toggled, this, [this](bool on) { SetFullScreen(on); });
  m_fullScreen = qobject_cast<QToolButton*>(tools->widgetForAction(full));
  row->addWidget(tools);

  row->addWidget(new QLabel(QStringLiteral("Address :"), bar));
  m_address = new QComboBox(bar);
  m_address->setEditable(true);
  m_address->setInsertPolicy(QComboBox::NoInsert);
  m_address->setEditText(QStringLiteral("about:blank"));
  m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  m_address->lineEdit()->installEventFilter(this);
  row->addWidget(m_address, 1);
  m_go = new QPushButton(QStringLiteral("&GO"), bar);
  connect(m_go, &QPushButton::clicked, this, [this] { Navigate(m_address->currentText()); });
  row->addWidget(m_go);
  m_download = new QPushButton(QStringLiteral("&Download"), bar);
  connect(m_download, &QPushButton::clicked, this, [this] { DownloadClick(); });
  row->addWidget(m_download);
  m_busy = new QProgressBar(bar);
  m_busy->setRange(0, 0);
  m_busy->setTextVisible(false);
  m_busy->setFixedSize(40, 12);
  m_busy->setVisible(false);
  row->addWidget(m_busy);
  return bar;
}

QWidget* TWWWDocForm::BuildLeftPane() {
  m_leftTabs = new QTabWidget(this);
  auto* treePage = new QWidget(m_leftTabs);
  m_selectorRow = new QWidget(treePage);
  auto* selectorLayout = new QHBoxLayout(m_selectorRow);
  selectorLayout->setContentsMargins(0, 0, 0, 0);
  selectorLayout->addWidget(new QLabel(QStringLiteral("View : "), m_selectorRow));
  m_selector = new QComboBox(m_selectorRow);
  m_selector->addItems({QStringLiteral("All"), QStringLiteral("Ready")});
  m_selector->setToolTip(QStringLiteral("Select which links you want to see"));
  selectorLayout->addWidget(m_selector, 1);
  connect(m_selector, &QComboBox::currentIndexChanged, this,
          [this](int index) { ShowTree(index); });
  m_trees = new QStackedWidget(treePage);
  m_allView = MakeTreeView(m_allTree, m_trees);
  m_readyView = MakeTreeView(m_readyTree, m_trees);
  m_trees->addWidget(m_allView);
  m_trees->addWidget(m_readyView);
  m_linkMenu = new TVornOptionsPopupMenu(
      *m_engine, *m_document, [this] { return ServerPrefix(); }, this);
  m_linkMenu->OnBrowse = [this](const std::string& url) { OpenLink(url, true); };
  for (QTreeView* view : {m_allView, m_readyView}) {
    view->installEventFilter(this);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QTreeView::customContextMenuRequested, this, [this, view](const QPoint& at) {
      m_linkMenu->Popup(view, view->viewport()->mapToGlobal(at));
    });
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this, view] {
      if (m_editTree == view) EditTargetFocused(view);
    });
    connect(view, &QTreeView::doubleClicked, this, [this, view](const QModelIndex& index) {
      const std::string url = static_cast<TVornLinkTree*>(view->model())->UrlOf(index);
      if (!url.empty()) OpenLink(url, true);
    });
  }
  auto* treeLayout = new QVBoxLayout(treePage);
  treeLayout->setContentsMargins(2, 2, 2, 2);
  treeLayout->addWidget(m_selectorRow);
  treeLayout->addWidget(m_trees, 1);
  m_leftTabs->addTab(treePage, QStringLiteral("Project Tree"));

  auto* findPage = new QWidget(m_leftTabs);
  m_searchBox = new QLineEdit(kSearchPlaceholder, findPage);
  m_searchBox->setToolTip(QStringLiteral("Type your search keyword here"));
  m_searchBox->installEventFilter(this);
  m_searchButton = new QToolButton(findPage);
  m_searchButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  m_searchButton->setToolTip(QStringLiteral("Click to search through all pages"));
  connect(m_searchBox, &QLineEdit::textChanged, this, [this] { UpdateSearchButton(); });
  UpdateSearchButton();
  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(m_searchBox, 1);
  searchRow->addWidget(m_searchButton);
  auto* findLayout = new QVBoxLayout(findPage);
  findLayout->setContentsMargins(2, 2, 2, 2);
  findLayout->addLayout(searchRow);
  m_searchPane = new TSearchPane(*m_engine, *m_document, findPage);
  m_searchPane->OnNavigateLink = [this](const std::string& url) { OpenLink(url, true); };
  m_searchPane->OnBusy = [this](bool busy) {
    m_state.Set(&TWWWState::SaveEnabled, !busy);
    m_state.Set(&TWWWState::CloseEnabled, !busy && m_engine->State() == edsReady);
    m_state.Set(&TWWWState::FindContentEnabled, !busy);
  };
  connect(m_searchButton, &QToolButton::clicked, this,
          [this] { m_searchPane->StartSearch(m_searchBox->text().toStdString()); });
  // Enter searches as the button does, and only when the button would.
  connect(m_searchBox, &QLineEdit::returnPressed, this, [this] {
    if (m_searchButton->isEnabled()) m_searchButton->click();
  });
  findLayout->addWidget(m_searchPane, 1);
  m_leftTabs->addTab(findPage, QStringLiteral("Find"));
  return m_leftTabs;
}

void TWWWDocForm::UpdateSearchButton() {
  const QString text = m_searchBox->text();
  m_searchButton->setEnabled(!text.trimmed().isEmpty() && text != kSearchPlaceholder);
}

void TWWWDocForm::ShowFind() {
  m_leftTabs->setCurrentIndex(1);
  m_searchBox->setFocus();
}

void TWWWDocForm::WireBrowser() {
  connect(m_browser, &TProjectBrowser::StatusTextChange, this, [this](const QString& text) {
    m_browserStatus->setText(text.isEmpty() ? QStringLiteral("Done") : text);
  });
  connect(m_browser, &TProjectBrowser::NavigateComplete, this,
          [this](const QString& address) { m_address->setEditText(address); });
  connect(m_browser, &TProjectBrowser::DownloadBegin, this, [this] { m_busy->setVisible(true); });
  connect(m_browser, &TProjectBrowser::DownloadComplete, this,
          [this] { m_busy->setVisible(false); });
  connect(m_browser, &TProjectBrowser::DocumentComplete, this,
          [this] { m_busy->setVisible(false); });
}

void TWWWDocForm::Navigate(const QString& address) {
  try {
    m_browser->Navigate(address);
  } catch (const std::exception&) {
  }
}

std::string TWWWDocForm::ServerPrefix() const {
  return m_server->ServerPrefix();
}

bool TWWWDocForm::IsOfflineAddress(const std::string& text) const {
  if (m_server->IsOfflineAddress(text)) return true;  // a site's own name of the server
  const std::string prefix = ServerPrefix();
  if (text.find(prefix) != std::string::npos) return true;
  // On port 80 the browser shows its addresses without the port.
  constexpr std::string_view kDefaultPort = ":80/";
  if (!prefix.ends_with(kDefaultPort)) return false;
  const std::string shown = prefix.substr(0, prefix.size() - kDefaultPort.size()) + "/";
  return text.find(shown) != std::string::npos;
}

void TWWWDocForm::OpenLink(const std::string& url, bool offline) {
  try {
    Navigate(ToQ(offline ? ServerPrefix() + url : url));
  } catch (const std::exception&) {
  }
}

void TWWWDocForm::DownloadClick() {
  const std::string typed = FromQ(m_address->currentText());
  if (m_engine->State() != edsReady) {
    // A busy project does not change its address: the typed one becomes a project of its own.
    if (!IsOfflineAddress(typed))
      m_host.NewProjectFromAddress({{typed, "noname.web"}, false, false, false, true, true});
    return;
  }
  const std::string server = AnsiUpperCase(ExtractUrlServer(m_engine->General().BaseUrl));
  const std::string upper = AnsiUpperCase(typed);
  const bool blankProject = server == "HTTP://" || server == "FTP://" || server == "HTTPS://";
  const bool full =
      upper.starts_with("HTTP://") || upper.starts_with("HTTPS://") || upper.starts_with("FTP://");
  if (!blankProject || !full) {
    DialogService().ShowMessageDlg(kInvalidUrlText, mdiWarning, mbOk, "Invalid Url", 0);
    return;
  }
  m_engine->General().BaseUrl = typed;
  m_engine->StartDownload();
}

void TWWWDocForm::ShowTree(int which) {
  m_trees->setCurrentIndex(which);
  if (m_selector->currentIndex() != which) m_selector->setCurrentIndex(which);
}

void TWWWDocForm::GoToFile(const std::string& url) {
  m_leftTabs->setCurrentIndex(0);
  ShowTree(0);
  const QModelIndex node = m_allTree->FindUrlNode(url);
  if (!node.isValid()) return;
  m_allView->setFocus();
  m_allView->setUpdatesEnabled(false);
  for (QModelIndex up = node.parent(); up.isValid(); up = up.parent()) m_allView->expand(up);
  m_allView->setCurrentIndex(node);
  m_allView->expandRecursively(node);
  m_allView->scrollTo(node);
  m_allView->setUpdatesEnabled(true);
}

void TWWWDocForm::SetFullScreen(bool on) {
  const TWWWState& state = m_state.State();
  m_leftPane->setVisible(!on && state.TreePaneShown);
  m_lists->setVisible(!on && state.ListPaneShown);
}

void TWWWDocForm::SetCaption(const QString& caption) {
  if (windowTitle() == caption) return;
  setWindowTitle(caption);
  m_host.SetTabCaption(this, caption);
}

void TWWWDocForm::paintEvent(QPaintEvent* event) {
  // The caption follows the project's name whatever set it meanwhile.
  SetCaption(ToQ(m_engine->General().ProjectName()));
  QWidget::paintEvent(event);
}

void TWWWDocForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_shownOnce) return;
  m_shownOnce = true;
  const TSystem& system = m_engine->System();
  ApplyBuildAllTree(system.BuildAllTree());
  m_lists->ShowOptionalTab(llIgnored, system.BuildIgnored());
  m_lists->ShowOptionalTab(llEmails, system.BuildEmails());
}

void TWWWDocForm::EditTargetFocused(QObject* target) {
  TWWWOptions& s = m_state;
  if (target == m_address->lineEdit()) {
    QLineEdit* edit = m_address->lineEdit();
    m_editTree = nullptr;
    s.Set(&TWWWState::CutEnabled, true);
    s.Set(&TWWWState::CopyEnabled, true);
    s.Set(&TWWWState::PasteEnabled, !QGuiApplication::clipboard()->text().isEmpty());
    s.Set(&TWWWState::EditHandler, TEditHandler([edit](TEditCommand command) {
      if (command == ecCut) edit->cut();
      if (command == ecCopy) edit->copy();
      if (command == ecPaste) edit->paste();
    }));
    return;
  }
  m_editTree = static_cast<QTreeView*>(target);
  m_linkMenu->Build(m_editTree);
  s.Set(&TWWWState::DeleteEnabled, m_linkMenu->CanDelete());
  s.Set(&TWWWState::CutEnabled, m_linkMenu->CanCut());
  s.Set(&TWWWState::CopyEnabled, m_linkMenu->CanCopy());
  s.Set(&TWWWState::PasteEnabled, m_linkMenu->CanPaste());
  s.Set(&TWWWState::EditHandler, TEditHandler([this](TEditCommand command) {
    if (m_editTree == nullptr || !m_editTree->currentIndex().isValid()) return;
    m_linkMenu->Build(m_editTree);
    m_linkMenu->Run(command);
  }));
}

void TWWWDocForm::EditTargetLeft() {
  m_editTree = nullptr;
  for (auto field : {&TWWWState::DeleteEnabled, &TWWWState::CutEnabled, &TWWWState::CopyEnabled,
                     &TWWWState::PasteEnabled})
    m_state.Set(field, false);
  m_state.Set(&TWWWState::EditHandler, TEditHandler());
}

bool TWWWDocForm::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::FocusIn || type == QEvent::FocusOut) &&
      (watched == m_address->lineEdit() || watched == m_allView || watched == m_readyView)) {
    // A menu opening over the window takes the focus for a moment; its commands must stay.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason) {
      if (type == QEvent::FocusIn)
        EditTargetFocused(watched);
      else
        EditTargetLeft();
    }
  }
  if (watched == m_searchBox) {
    if (type == QEvent::FocusIn && m_searchBox->text() == kSearchPlaceholder) m_searchBox->clear();
    if (type == QEvent::FocusOut && m_searchBox->text().trimmed().isEmpty())
      m_searchBox->setText(kSearchPlaceholder);
    return QWidget::eventFilter(watched, event);
  }
  if (type != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return QWidget::eventFilter(watched, event);
  if (watched == m_address->lineEdit()) {
    Navigate(m_address->currentText());
    return true;
  }
  for (QTreeView* view : {m_allView, m_readyView}) {
    if (watched != view) continue;
    const std::string url = static_cast<TVornLinkTree*>(view->model())->UrlOf(view->currentIndex());
    if (url.empty()) break;
    OpenLink(url, true);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

namespace {

std::vector<int> ColumnWidths(const QTreeView* view) {
  std::vector<int> widths;
  for (int c = 0; c < view->header()->count(); ++c) widths.push_back(view->columnWidth(c));
  return widths;
}

}  // namespace

void TWWWDocForm::SaveLayout(TWindowState& state) const {
  const auto sizes = [](const QSplitter* splitter) {
    const QList<int> list = splitter->sizes();
    return std::vector<int>(list.begin(), list.end());
  };
  state.OuterSplit = sizes(m_outer);
  state.InnerSplit = sizes(m_inner);
  for (int k = 0; k < kLinkListKinds; ++k)
    state.Columns[size_t(k)] = ColumnWidths(m_lists->View(static_cast<TLinkListKind>(k)));
}

void TWWWDocForm::ApplyLayout(const TWindowState& state) {
  const auto apply = [](QSplitter* splitter, const std::vector<int>& sizes) {
    if (static_cast<int>(sizes.size()) == splitter->count())
      splitter->setSizes(QList<int>(sizes.begin(), sizes.end()));
  };
  apply(m_outer, state.OuterSplit);
  apply(m_inner, state.InnerSplit);
  for (int k = 0; k < kLinkListKinds; ++k) {
    QTreeView* view = m_lists->View(static_cast<TLinkListKind>(k));
    const std::vector<int>& widths = state.Columns[size_t(k)];
    if (static_cast<int>(widths.size()) != view->header()->count()) continue;
    // The address column stretches over what the others leave.
    for (int c = 1; c < view->header()->count(); ++c) view->setColumnWidth(c, widths[size_t(c)]);
  }
}

}  // namespace tq
