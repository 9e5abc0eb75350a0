// TVornLinkListModel: one of the project window's six link lists (Ready, In Progress, Queue,
// Failed, Ignored, Emails) as a table model fed by the engine's list events. Rows are kept in
// the order links arrive and are found by link identity through a map, so an event costs the
// same in a list of 100 000 rows as in one of ten; a sort is done once, on request, and rows
// arriving later are appended unsorted.
//
// Threads: interface thread only (the engine delivers its events there).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "engine/connection_status.h"
#include "engine/link.h"
#include "ui/row_order.h"

namespace tq {

class TVornBaseLinks;

enum TLinkListKind : int { llReady, llWorking, llQueue, llFailed, llIgnored, llEmails };
inline constexpr int kLinkListKinds = 6;

// What a list shows: its tab, its columns and their widths (0: the view's default) and the
// counter line above it.
struct TLinkListLook {
  const char* Tab;
  const char* CounterLabel;  // followed by the row count
  const char* InitialCounter;
  std::vector<std::pair<const char*, int>> Columns;
};
const TLinkListLook& LinkListLook(TLinkListKind kind);

class TVornLinkListModel : public QAbstractTableModel {
 public:
  static constexpr int kMaxColumns = 8;

  explicit TVornLinkListModel(TLinkListKind kind, QObject* parent = nullptr);

  TLinkListKind Kind() const { return m_kind; }

  // A new event: a row for link, its texts read now. sender is the list the link joined.
  void NewLink(TVornBaseLinks* sender, const TVornLinkPtr& link);
  // A del event: the row of that very link object goes; no such row, nothing changes.
  void DelLink(const TVornLinkPtr& link);
  // In Progress rows, updated in place; a link without a row changes nothing.
  void UpdateWork(const TVornLinkPtr& link, const TVornConnectionInfo& info);
  void UpdateStatus(const TVornLinkPtr& link, const std::string& text);
  void FetchStarted(const TVornLinkPtr& link);

  // The counter line: its initial text until the first event, then the label and row count.
  QString CounterText() const;
  // Called after every new or del event with the counter line.
  std::function<void(const QString&)> OnCounterChange;

  // A click on a column header: ascending, or descending when the column was already sorted
  // ascending; then every row is sorted once. The In Progress list does not sort.
  void ClickColumn(int column);
  int SortColumn() const { return m_sortColumn; }
  bool Ascending() const { return m_ascending; }

  TVornLinkPtr LinkAt(int row) const;
  // The row's first column (address or mail address).
  QString CaptionAt(int row) const;
  // The row of link, or -1.
  int RowOfLink(const TVornLink* link) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct TRow {
    TVornLinkPtr Link;
    std::array<QString, kMaxColumns> Texts;
    int Image = 0;  // an index of LinkImage; -1: none
    int64_t Size = 0;
  };

  TRow* RowOf(const TVornLink* link, int* row = nullptr);
  void ChangedRow(int row, int firstColumn, int lastColumn);
  void Counted();
  void Compact();
  void Sort();

  TLinkListKind m_kind;
  const TLinkListLook& m_look;
  std::vector<TRow> m_rows;  // by slot
  TRowOrder m_order;
  std::unordered_map<const TVornLink*, int> m_slots;  // link identity -> slot
  bool m_counted = false;
  int m_sortColumn = 0;
  bool m_ascending = true;
  bool m_sortShown = false;
};

}  // namespace tq
