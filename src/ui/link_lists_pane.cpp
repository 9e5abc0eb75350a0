#include "ui/link_lists_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine/admission.h"
#include "ui/link_images.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

QString TabText(TLinkListKind kind) {
  return QString::fromLatin1(LinkListLook(kind).Tab);
}

QIcon TabImage(TLinkListKind kind) {
  if (kind == llEmails)
    return QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView);
  return LinkImage(static_cast<int>(kind == llReady ? 0 : kind));
}

// A tab carries its list's kind: its text changes with the list's count.
int TabIndexOf(const QTabBar* tabs, TLinkListKind kind) {
  for (int i = 0; i < tabs->count(); ++i) {
    if (tabs->tabData(i).toInt() == kind) return i;
  }
  return -1;
}

// The tab's caption with the number of links in the list, once there are any.
QString CountedTabText(TLinkListKind kind, int count) {
  return count == 0 ? TabText(kind) : TabText(kind) + QStringLiteral(" (%1)").arg(count);
}

int AddTab(QTabBar* tabs, int at, TLinkListKind kind, int count) {
  const int tab = tabs->insertTab(at, TabImage(kind), CountedTabText(kind, count));
  tabs->setTabData(tab, static_cast<int>(kind));
  return tab;
}

void PutTextOnClipboard(const std::string& text) {
  QGuiApplication::clipboard()->setText(ToQ(text));
}

}  // namespace

TLinkListsPane::TLinkListsPane(TVornDownload& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
  m_tabs = new QTabBar(this);
  m_tabs->setObjectName(QStringLiteral("ListTabs"));
  m_tabs->setExpanding(false);
  m_pages = new QStackedWidget(this);
  m_menu = new QMenu(this);
  for (int k = 0; k < kLinkListKinds; ++k) {
    const auto kind = static_cast<TLinkListKind>(k);
    TList& list = m_lists[size_t(k)];
    list.Page = new QWidget(m_pages);
    list.Page->setObjectName(TabText(kind));
    list.Counter = new QLabel(list.Page);
    list.Model = new TVornLinkListModel(kind, this);
    list.Counter->setText(list.Model->CounterText());
    list.Model->OnCounterChange = [this, kind, label = list.Counter](const QString& text) {
      label->setText(text);
      const int tab = TabIndexOf(m_tabs, kind);
      if (tab >= 0) m_tabs->setTabText(tab, CountedTabText(kind, Model(kind).rowCount()));
    };
    list.View = new QTreeView(list.Page);
    list.View->setRootIsDecorated(false);
    list.View->setItemsExpandable(false);
    list.View->setUniformRowHeights(true);  // rows of one height scroll through 100 000 quickly
    list.View->setSelectionMode(QAbstractItemView::SingleSelection);
    list.View->setSelectionBehavior(QAbstractItemView::SelectRows);
    list.View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.View->setModel(list.Model);
    list.View->header()->setSectionsClickable(kind != llWorking);
    list.View->header()->setStretchLastSection(false);
    const auto& columns = LinkListLook(kind).Columns;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (columns[c].second > 0) list.View->setColumnWidth(int(c), columns[c].second);
    }
    // The user sizes every column; the address (or mail address) takes what they leave.
    list.View->header()->setSectionResizeMode(QHeaderView::Interactive);
    list.View->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(list.View->header(), &QHeaderView::sectionClicked, this,
            [model = list.Model](int column) { model->ClickColumn(column); });
    list.View->installEventFilter(this);
    connect(list.View, &QTreeView::doubleClicked, this, [this, kind] {
      if (kind == llReady) OpenSelected(kind, false);
    });
    list.View->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list.View, &QWidget::customContextMenuRequested, this, [this, kind](const QPoint& at) {
      if (kind == llWorking) return;
      QMenu* menu = BuildMenu(kind);
      menu->popup(View(kind)->viewport()->mapToGlobal(at));
    });
    auto* layout = new QVBoxLayout(list.Page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(list.Counter);
    layout->addWidget(list.View);
    m_pages->addWidget(list.Page);
    AddTab(m_tabs, m_tabs->count(), kind, 0);
  }
  connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
    // A tab being inserted has no kind yet; it is shown once it has one.
    const QVariant kind = index >= 0 ? m_tabs->tabData(index) : QVariant();
    if (kind.isValid()) m_pages->setCurrentIndex(kind.toInt());
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_tabs);
  layout->addWidget(m_pages);
  WireEvents();
}

void TLinkListsPane::WireEvents() {
  TVornEventHandlers& events = m_engine.Handlers();
  const auto wire = [this](TLinksEvent& onNew, TLinksEvent& onDel, TLinkListKind kind) {
    TVornLinkListModel* model = &Model(kind);
    onNew = [model](TVornBaseLinks* sender, const TVornLinkPtr& link) {
      model->NewLink(sender, link);
    };
    onDel = [model](TVornBaseLinks*, const TVornLinkPtr& link) { model->DelLink(link); };
  };
  wire(events.OnNewReady, events.OnDelReady, llReady);
  events.OnNewReady = [this, model = &Model(llReady)](TVornBaseLinks* sender,
                                                      const TVornLinkPtr& link) {
    model->NewLink(sender, link);
    if (link) m_readyBytes += link->Size;
  };
  wire(events.OnNewWorking, events.OnDelWorking, llWorking);
  wire(events.OnNewQueue, events.OnDelQueue, llQueue);
  wire(events.OnNewFailed, events.OnDelFailed, llFailed);
  wire(events.OnNewIgnored, events.OnDelIgnored, llIgnored);
  wire(events.OnNewEmail, events.OnDelEmail, llEmails);
  TVornLinkListModel* working = &Model(llWorking);
  events.OnWork = [working](const TVornPagePtr&, TWorkMode, const TVornConnectionInfo& info,
                            const TVornLinkPtr& link) { working->UpdateWork(link, info); };
  events.OnStatus = [working](const TVornPagePtr&, TVornConnectionStatus, const std::string& text,
                              const TVornLinkPtr& link) {
    if (link) working->UpdateStatus(link, text);
  };
  events.OnFetchStart = [working](const TVornPagePtr&, const TVornLinkPtr& link) {
    working->FetchStarted(link);
  };
}

TLinkListKind TLinkListsPane::Shown() const {
  const int page = m_pages->currentIndex();
  return static_cast<TLinkListKind>(page < 0 ? 0 : page);
}

void TLinkListsPane::ShowList(TLinkListKind kind) {
  const int tab = TabIndexOf(m_tabs, kind);
  if (tab >= 0) m_tabs->setCurrentIndex(tab);
}

void TLinkListsPane::ShowOptionalTab(TLinkListKind kind, bool shown) {
  const int at = TabIndexOf(m_tabs, kind);
  if (shown) {
    if (at >= 0) return;
    AddTab(m_tabs, kind == llIgnored ? 4 : m_tabs->count(), kind, Model(kind).rowCount());
    return;
  }
  if (at < 0) return;
  const bool wasShowing = Shown() == kind;
  const QSignalBlocker quiet(m_tabs);
  m_tabs->removeTab(at);
  if (wasShowing && m_tabs->count() > 0) {
    m_tabs->setCurrentIndex(m_tabs->count() - 1);
    m_pages->setCurrentIndex(m_tabs->tabData(m_tabs->count() - 1).toInt());
  } else {
    // Removing a tab before the current one moves the strip's selection: keep the page's tab.
    const int current = TabIndexOf(m_tabs, Shown());
    if (current >= 0) m_tabs->setCurrentIndex(current);
  }
}

std::string TLinkListsPane::SelectedText(TLinkListKind kind) const {
  const QModelIndexList rows = View(kind)->selectionModel()->selectedRows();
  if (rows.isEmpty()) return {};
  return FromQ(m_lists[size_t(kind)].Model->CaptionAt(rows.first().row()));
}

void TLinkListsPane::OpenSelected(TLinkListKind kind, bool enterKey) {
  const std::string text = SelectedText(kind);
  if (text.empty()) return;
  try {
    switch (kind) {
      case llReady:
        if (OnBrowse) OnBrowse(text, true);
        break;
      case llQueue:
      case llFailed:
      case llIgnored:
        if (enterKey && OnBrowse) OnBrowse(text, false);
        break;
      case llEmails:
        if (enterKey && OnSendMail) OnSendMail(text);
        break;
      case llWorking:
        break;
    }
  } catch (const std::exception&) {
  }
}

bool TLinkListsPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      for (int k = 0; k < kLinkListKinds; ++k) {
        const auto kind = TLinkListKind(k);
        if (watched != View(kind) || kind == llWorking || SelectedText(kind).empty()) continue;
        OpenSelected(kind, true);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

QMenu* TLinkListsPane::BuildMenu(TLinkListKind kind) {
  m_menu->clear();
  m_menu->addSeparator();
  const std::string text = SelectedText(kind);
  const bool selected = !text.empty();
  const auto add = [&](const char* caption, std::function<void()> action,
                       const QKeySequence& shortcut = {}) {
    QAction* item = m_menu->addAction(QString::fromLatin1(caption));
    item->setShortcut(shortcut);
    item->setEnabled(selected);
    connect(item, &QAction::triggered, this, [action = std::move(action)] {
      try {
        action();
      } catch (const std::exception&) {
      }
    });
  };
  const auto goTo = [this, text] {
    if (OnGoToFile) OnGoToFile(text);
  };
  const auto browse = [this, text, kind] {
    if (OnBrowse) OnBrowse(text, kind == llReady);
  };
  switch (kind) {
    case llReady:
      add("Go To File", goTo);
      add("Browse", browse);
      break;
    case llQueue:
      add("Go To File", goTo);
      add("Browse", browse);
      add("Ignore File",
          [this, text] { m_engine.MoveLink(ellQueue, ellIgnored, text, kReasonIgnoredByUser); });
      break;
    case llFailed:
      add("Go To File", goTo);
      add("Browse", browse);
      add("Retry", [this, text] { m_engine.MoveLink(ellFailed, ellQueue, text); });
      break;
    case llIgnored:
      add("Go To File", goTo);
      add("Browse", browse);
      add("Add to queue", [this, text] { m_engine.MoveLink(ellIgnored, ellQueue, text); });
      break;
    case llEmails:
      add(
          "Delete", [this, text] { m_engine.DeleteEmail(text); }, QKeySequence(Qt::Key_Delete));
      add(
          "Cut",
          [this, text] {
            if (m_engine.DeleteEmail(text)) PutTextOnClipboard(text);
          },
          QKeySequence(Qt::CTRL | Qt::Key_X));
      add(
          "Copy",
          [this, text] {
            if (m_engine.EmailLinks().Contains(kFindExact, text)) PutTextOnClipboard(text);
          },
          QKeySequence(Qt::CTRL | Qt::Key_C));
      add("Send email", [this, text] {
        if (OnSendMail) OnSendMail(text);
      });
      break;
    case llWorking:
      break;
  }
  return m_menu;
}

}  // namespace tq
