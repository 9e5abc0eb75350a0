// The search list of a project window: the result rows of a content search drawn three lines
// each (title, the text found, the address as a link), the progress dialog shown while the
// search runs on its thread, and a click on a title or an address that opens the page.
//
// Threads: interface thread only; the search itself runs on its own thread.
#pragma once

#include <functional>
#include <string>

#include <QAbstractListModel>
#include <QDialog>
#include <QListView>
#include <QRect>
#include <QStyledItemDelegate>

#include "search/content_search.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tq {

class TVornDocument;
class TVornDownload;

using TTextWidth = std::function<int(const QString& text)>;

// The text shortened from its end until it and ".." fit width (at least one character goes once
// it does not fit); text that fits comes back unchanged.
QString ShortenEnd(const QString& text, int width, const TTextWidth& measure);
// The text shortened in its middle: split at half its length, then one character dropped from the
// end of the left half and one from the start of the right half together, until left, "..",
// right fits or a half is empty.
QString ShortenMiddle(const QString& text, int width, const TTextWidth& measure);
// The page shown after "Searching in : ": from 40 characters on, the first 18, "...." and the
// last 18.
QString SearchPageLabel(const QString& page);

// Where a row's parts are drawn, relative to the row's drawing rectangle.
struct TSearchRowLayout {
  QRect ItemRect;  // the row's rectangle on the control
  QRect TitleRect, TextRect, UrlRect;
};
TSearchRowLayout LayoutSearchRow(const QRect& row, int titleHeight, int textHeight);

// The rows of a content search; the display role holds title, text and address on three lines.
class TSearchListModel : public QAbstractListModel {
 public:
  enum TRole { TitleRole = Qt::UserRole + 1, TextRole, UrlRole, ClickedRole };

  explicit TSearchListModel(TVornContentSearch& search, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The search's rows change: all of them in change, appended, or one row's colour.
  void Reset(const std::function<void()>& change);
  void Appended(int first, int count);
  void RowChanged(int row);

 private:
  TVornContentSearch& m_search;
};

class TSearchItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The borderless progress dialog of a running search.
class TSearchContentForm : public QDialog {
 public:
  explicit TSearchContentForm(QWidget* parent = nullptr);
  void Begin();
  void Progress(int percent, const std::string& page);
  bool Cancelled() const { return m_cancelled; }

  QProgressBar* Gauge() const { return m_gauge; }
  QLabel* PageLabel() const { return m_page; }
  QPushButton* CancelButton() const { return m_cancel; }

 private:
  QProgressBar* m_gauge;
  QLabel* m_page;
  QPushButton* m_cancel;
  bool m_cancelled = false;
};

class TSearchPane : public QListView {
 public:
  TSearchPane(TVornDownload& download, TVornDocument& document, QWidget* parent = nullptr);
  ~TSearchPane() override;

  // Starts a search for keyword (UTF-8, as typed).
  void StartSearch(const std::string& keyword);
  TVornContentSearch& Search() { return m_search; }
  TSearchContentForm* ProgressForm() const { return m_form; }

  // A search began (true) or ended (false): the project's save, close and find commands follow.
  std::function<void(bool busy)> OnBusy;
  // A result was clicked: the page's online address.
  std::function<void(const std::string& url)> OnNavigateLink;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The row whose title or address is under pos, or -1.
  int LinkRowAt(const QPoint& pos) const;

  TVornContentSearch m_search;
  TSearchListModel* m_model;
  TSearchContentForm* m_form;
};

}  // namespace tq
