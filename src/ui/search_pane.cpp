// The search list's rows, their drawing, the progress dialog and the clicks that open a page.
#include "ui/search_pane.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "storage/document.h"
#include "ui/dialog_kit.h"
#include "ui/link_images.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

constexpr int kTextLeft = 20;  // every line starts after the row's icon
constexpr int kLongPage = 40;
constexpr int kPageEnds = 18;
const QString kDots = QStringLiteral("..");

}  // namespace

QString ShortenEnd(const QString& text, int width, const TTextWidth& measure) {
  if (measure(text) <= width) return text;
  QString rest = text;
  do {
    rest.chop(1);
  } while (!rest.isEmpty() && measure(rest + kDots) > width);
  return rest + kDots;
}

QString ShortenMiddle(const QString& text, int width, const TTextWidth& measure) {
  if (measure(text) <= width) return text;
  const qsizetype half = text.size() / 2;
  QString left = text.left(half);
  QString right = text.mid(half);
  while (!left.isEmpty() && !right.isEmpty() && measure(left + kDots + right) > width) {
    left.chop(1);
    right.remove(0, 1);
  }
  return left + kDots + right;
}

QString SearchPageLabel(const QString& page) {
  if (page.size() < kLongPage) return page;
  return page.left(kPageEnds) + QStringLiteral("....") + page.right(kPageEnds);
}

TSearchRowLayout LayoutSearchRow(const QRect& row, int titleHeight, int textHeight) {
  TSearchRowLayout layout;
  layout.ItemRect =
      QRect(QPoint(row.left() + 5, row.top()), QPoint(row.right() - 5 - 1, row.bottom() - 1));
  const int width = layout.ItemRect.width();
  layout.TitleRect = QRect(QPoint(kTextLeft, 2), QPoint(width - kTextLeft, titleHeight + 4));
  const int textTop = titleHeight + 4;
  layout.TextRect = QRect(0, textTop, width, textHeight);
  const int urlTop = titleHeight + textHeight + 6;
  layout.UrlRect = QRect(0, urlTop, width, textHeight);
  return layout;
}

TSearchListModel::TSearchListModel(TVornContentSearch& search, QObject* parent)
    : QAbstractListModel(parent), m_search(search) {}

int TSearchListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_search.Items().size());
}

QVariant TSearchListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TSearchListBoxItem& item = m_search.Items()[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(item.Title + "\n" + item.Text + "\n") + ToQ(item.Url);
    // Titles and texts come decoded from the page; addresses are the core's 8-bit text.
    case TitleRole:
      return QString::fromStdString(item.Title);
    case TextRole:
      return QString::fromStdString(item.Text);
    case UrlRole:
      return ToQ(item.Url);
    case ClickedRole:
      return item.LinkColor == slcBtnShadow;
    default:
      return {};
  }
}

void TSearchListModel::Reset(const std::function<void()>& change) {
  beginResetModel();
  change();
  endResetModel();
}

void TSearchListModel::Appended(int first, int count) {
  // The rows are in the search's list already; the view learns of them now.
  beginInsertRows({}, first, first + count - 1);
  endInsertRows();
}

void TSearchListModel::RowChanged(int row) {
  Q_EMIT dataChanged(index(row), index(row));
}

void TSearchItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const TSearchRowLayout layout = LayoutSearchRow(option.rect, metrics.height(), metrics.height());
  const QRect& item = layout.ItemRect;
  const int width = item.width() - kTextLeft;
  const auto measure = [&metrics](const QString& text) { return metrics.horizontalAdvance(text); };

  painter->save();
  painter->setFont(option.font);
  if (option.state & QStyle::State_Selected)
    painter->fillRect(option.rect, option.palette.highlight().color().lighter(170));
  LinkImage(0).paint(painter, QRect(item.left() + 2, item.top() + 2, 16, 16));

  const int x = item.left() + kTextLeft;
  painter->setPen(option.palette.color(QPalette::WindowText));
  painter->drawText(QPoint(x, item.top() + 2 + metrics.ascent()),
                    ShortenEnd(index.data(TSearchListModel::TitleRole).toString(), width, measure));
  painter->setPen(option.palette.color(QPalette::Dark));
  painter->drawText(QPoint(x, item.top() + layout.TextRect.top() + metrics.ascent()),
                    ShortenEnd(index.data(TSearchListModel::TextRole).toString(), width, measure));
  QFont underlined = option.font;
  underlined.setUnderline(true);
  painter->setFont(underlined);
  const bool clicked = index.data(TSearchListModel::ClickedRole).toBool();
  painter->setPen(clicked ? option.palette.color(QPalette::Dark) : QColor(Qt::blue));
  painter->drawText(
      QPoint(x, item.top() + layout.UrlRect.top() + metrics.ascent()),
      ShortenMiddle(index.data(TSearchListModel::UrlRole).toString(), width, measure));
  painter->restore();
}

QSize TSearchItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  const int line = QFontMetrics(option.font).height();
  return {option.rect.width(), 3 * line + 10};
}

TSearchContentForm::TSearchContentForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  m_gauge = AddBusyGauge(layout, QStringLiteral("Searching"));
  layout->addWidget(new QLabel(QStringLiteral("Searching in : "), this));
  m_page = new QLabel(this);
  m_page->setWordWrap(true);
  m_page->setTextFormat(Qt::PlainText);
  m_page->setMinimumWidth(320);
  layout->addWidget(m_page);
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  layout->addWidget(m_cancel, 0, Qt::AlignRight);
  connect(m_cancel, &QPushButton::clicked, this, [this] {
    m_cancelled = true;
    m_cancel->setEnabled(false);
  });
}

void TSearchContentForm::Begin() {
  m_cancelled = false;
  m_cancel->setEnabled(true);
  m_gauge->reset();
  m_page->clear();
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
}

void TSearchContentForm::Progress(int percent, const std::string& page) {
  m_gauge->setValue(percent);
  m_page->setText(SearchPageLabel(ToQ(page)));
}

TSearchPane::TSearchPane(TVornDownload& download, TVornDocument& document, QWidget* parent)
    : QListView(parent) {
  m_search.SetVornDownload(&download);
  m_search.SetDocument(&document);
  m_model = new TSearchListModel(m_search, this);
  m_form = new TSearchContentForm(this);
  setModel(m_model);
  setItemDelegate(new TSearchItemDelegate(this));
  setEditTriggers(NoEditTriggers);
  setMouseTracking(true);
  setUniformItemSizes(true);

  m_search.OnSearchBegin = [this](TVornContentSearch&) {
    if (OnBusy) OnBusy(true);
    m_form->Begin();
  };
  m_search.OnSearchProgress = [this](TVornContentSearch&, int percent, const std::string& page,
                                     bool& cancel) {
    m_form->Progress(percent, page);
    cancel = m_form->Cancelled();
  };
  m_search.OnSearchEnd = [this](TVornContentSearch&) {
    m_form->hide();
    if (OnBusy) OnBusy(false);
  };
  m_search.OnItemsAdded = [this](TVornContentSearch&, int first, int count) {
    m_model->Appended(first, count);
  };
  m_search.OnNavigateLink = [this](TVornContentSearch&, const std::string& link) {
    if (OnNavigateLink) OnNavigateLink(link);
  };
}

TSearchPane::~TSearchPane() {
  m_search.OnSearchEnd = nullptr;
}

void TSearchPane::StartSearch(const std::string& keyword) {
  // The search clears its rows at once.
  m_model->Reset([&] { m_search.StartSearch(keyword); });
}

int TSearchPane::LinkRowAt(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return -1;
  const int line = fontMetrics().height();
  const TSearchRowLayout layout = LayoutSearchRow(visualRect(index), line, line);
  const QPoint inside = pos - layout.ItemRect.topLeft();
  return layout.TitleRect.contains(inside) || layout.UrlRect.contains(inside) ? index.row() : -1;
}

void TSearchPane::mouseMoveEvent(QMouseEvent* event) {
  if (LinkRowAt(event->position().toPoint()) >= 0) {
    viewport()->setCursor(Qt::PointingHandCursor);
  } else {
    viewport()->unsetCursor();
  }
  QListView::mouseMoveEvent(event);
}

void TSearchPane::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int row = LinkRowAt(event->position().toPoint());
  if (row < 0) return;
  m_search.NavigateLink(row);
  m_model->RowChanged(row);
}

}  // namespace tq
