// Rows live in slots that never move while a row exists; TRowOrder maps slots to visible rows.
// Dead slots are swept out once they outnumber the live ones, which changes no visible row.
#include "ui/link_list_model.h"

#include <algorithm>
#include <numeric>

#include <QCollator>
#include <QCollatorSortKey>

#include "engine/download.h"
#include "engine/links.h"
#include "foundation/format.h"
#include "ui/link_images.h"
#include "ui/qt_text.h"

namespace tq {

const TLinkListLook& LinkListLook(TLinkListKind kind) {
  static const std::array<TLinkListLook, kLinkListKinds> looks{{
      {"Links Ready",
       "Ready : ",
       "Links Ready : 0",
       {{"URL", 300}, {"Size", 70}, {"Level", 0}, {"Page", 200}}},
      {"In Progress",
       "In Progress : ",
       "Links In Progress : 0",
       {{"URL", 300},
        {"Average", 70},
        {"Done", 70},
        {"Overall", 70},
        {"Estimated", 70},
        {"Elapsed", 70},
        {"Level", 0},
        {"Status", 200}}},
      {"Queue", "Queue : ", "Queue : 0", {{"URL", 300}, {"Level", 0}, {"Page", 200}}},
      {"Failed",
       "Failed : ",
       "Failed : 0",
       {{"URL", 300}, {"Error", 200}, {"Level", 0}, {"Page", 200}}},
      {"Ignored",
       "Ignored : ",
       "Ignored : 0",
       {{"Url", 300}, {"Reason", 200}, {"Level", 0}, {"Page", 200}}},
      {"Emails", "Emails : ", "Emails : 0", {{"Email", 200}, {"Level", 0}, {"Page", 300}}},
  }};
  return looks[static_cast<size_t>(kind)];
}

TVornLinkListModel::TVornLinkListModel(TLinkListKind kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_look(LinkListLook(kind)) {}

void TVornLinkListModel::NewLink(TVornBaseLinks*, const TVornLinkPtr& link) {
  if (!link || m_slots.count(link.get()) != 0) return;
  TRow row;
  row.Link = link;
  // A link's fields are written before it joins its list, and its address is worked out then:
  // reading them takes no list lock, which would keep this thread waiting behind a busy list's
  // writers (a project being loaded adds thousands of links in a row).
  const QString level = QString::number(link->Level);
  const QString page = ToQ(link->Page());
  auto& t = row.Texts;
  // Every list but the e-mail addresses marks its rows with its own image, the one its links
  // carry in the trees, so a row says which list it is in at a glance.
  row.Image = static_cast<int>(m_kind);
  switch (m_kind) {
    case llReady:
      t = {ToQ(link->GetUrl()), ToQ(FormatFileSize(link->Size)), level, page};
      // A page the server stopped giving is still listed with its stored copy, and says so.
      if (!link->GoneSince.empty()) t[1] += QStringLiteral(" - ") + ToQ(std::string(kGoneText));
      row.Size = link->Size;
      break;
    case llWorking:
      t[0] = ToQ(link->GetUrl());
      t[6] = level;
      break;
    case llQueue:
      t = {ToQ(link->GetUrl()), level, page};
      break;
    case llFailed:
      t = {ToQ(link->GetUrl()), ToQ(link->ErrorText), level, page};
      break;
    case llIgnored:
      t = {ToQ(link->GetUrl()), ToQ(link->Reason), level, page};
      break;
    case llEmails:
      t = {ToQ(link->GetMailAddress()), level, page};
      row.Image = -1;
      break;
  }
  const int at = m_order.Count();
  beginInsertRows({}, at, at);
  const int slot = m_order.Append();
  m_rows.push_back(std::move(row));
  m_slots.emplace(link.get(), slot);
  endInsertRows();
  Counted();
}

void TVornLinkListModel::DelLink(const TVornLinkPtr& link) {
  const auto it = link ? m_slots.find(link.get()) : m_slots.end();
  if (it != m_slots.end()) {
    const int slot = it->second;
    const int row = m_order.RowOf(slot);
    beginRemoveRows({}, row, row);
    m_order.Kill(slot);
    m_slots.erase(it);
    m_rows[static_cast<size_t>(slot)] = TRow();
    endRemoveRows();
    if (m_order.Sparse()) Compact();
  }
  Counted();
}

void TVornLinkListModel::Compact() {
  std::vector<TRow> rows;
  rows.reserve(static_cast<size_t>(m_order.Count()));
  for (int slot = 0; slot < m_order.Slots(); ++slot) {
    if (m_order.Alive(slot)) rows.push_back(std::move(m_rows[static_cast<size_t>(slot)]));
  }
  m_rows = std::move(rows);
  m_order.Reset(static_cast<int>(m_rows.size()));
  m_slots.clear();
  for (size_t i = 0; i < m_rows.size(); ++i) m_slots.emplace(m_rows[i].Link.get(), int(i));
}

void TVornLinkListModel::Counted() {
  m_counted = true;
  if (OnCounterChange) OnCounterChange(CounterText());
}

QString TVornLinkListModel::CounterText() const {
  if (!m_counted) return QString::fromLatin1(m_look.InitialCounter);
  return QString::fromLatin1(m_look.CounterLabel) + QString::number(m_order.Count());
}

TVornLinkListModel::TRow* TVornLinkListModel::RowOf(const TVornLink* link, int* row) {
  const auto it = m_slots.find(link);
  if (it == m_slots.end()) return nullptr;
  if (row != nullptr) *row = m_order.RowOf(it->second);
  return &m_rows[static_cast<size_t>(it->second)];
}

int TVornLinkListModel::RowOfLink(const TVornLink* link) const {
  const auto it = m_slots.find(link);
  return it == m_slots.end() ? -1 : m_order.RowOf(it->second);
}

void TVornLinkListModel::ChangedRow(int row, int firstColumn, int lastColumn) {
  Q_EMIT dataChanged(index(row, firstColumn), index(row, lastColumn));
}

void TVornLinkListModel::UpdateWork(const TVornLinkPtr& link, const TVornConnectionInfo& info) {
  int at = 0;
  TRow* row = link ? RowOf(link.get(), &at) : nullptr;
  if (row == nullptr) return;
  row->Texts[1] = ToQ(info.SpeedText);
  row->Texts[2] = ToQ(info.DoneText);
  row->Texts[3] = ToQ(info.TotalText);
  // A duration under half a second is written as nothing at all; the row says "0s" instead, so
  // the first figures of a transfer do not read as missing.
  const auto duration = [](const std::string& text) {
    return text.empty() ? QStringLiteral("0s ") : ToQ(text);
  };
  row->Texts[4] = duration(info.EstimatedText);
  row->Texts[5] = duration(info.ElapsedText);
  ChangedRow(at, 1, 5);
}

void TVornLinkListModel::UpdateStatus(const TVornLinkPtr& link, const std::string& text) {
  int at = 0;
  TRow* row = link ? RowOf(link.get(), &at) : nullptr;
  if (row == nullptr) return;
  row->Texts[7] = ToQ(text);
  ChangedRow(at, 7, 7);
}

void TVornLinkListModel::FetchStarted(const TVornLinkPtr& link) {
  int at = 0;
  TRow* row = link ? RowOf(link.get(), &at) : nullptr;
  if (row == nullptr) return;
  for (int i = 1; i <= 5; ++i) row->Texts[static_cast<size_t>(i)] = QStringLiteral(" ");
  row->Texts[7] = QStringLiteral("Analyzer Started");
  row->Image = kImageInProgress;
  ChangedRow(at, 0, 7);
}

void TVornLinkListModel::ClickColumn(int column) {
  if (m_kind == llWorking || column < 0 || column >= columnCount()) return;
  m_ascending = !(column == m_sortColumn && m_ascending);
  m_sortColumn = column;
  m_sortShown = true;
  Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  Sort();
}

void TVornLinkListModel::Sort() {
  const int count = m_order.Count();
  std::vector<int> slots(static_cast<size_t>(count));
  for (int row = 0; row < count; ++row) slots[static_cast<size_t>(row)] = m_order.SlotAt(row);

  const bool bySize = m_kind == llReady && m_sortColumn == 1;
  // Keys of case-folded texts: the user's locale orders them, and the order ignores case even
  // where the collator's own case switch does not reach its sort keys (the C locale).
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<QCollatorSortKey> keys;
  if (!bySize) {
    keys.reserve(static_cast<size_t>(count));
    for (int slot : slots) {
      const QString& text = m_rows[size_t(slot)].Texts[size_t(m_sortColumn)];
      keys.push_back(collator.sortKey(text.toCaseFolded()));
    }
  }
  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  const auto compare = [&](int a, int b) {
    if (!m_ascending) std::swap(a, b);
    if (bySize)
      return m_rows[size_t(slots[size_t(a)])].Size < m_rows[size_t(slots[size_t(b)])].Size;
    return keys[size_t(a)].compare(keys[size_t(b)]) < 0;
  };
  std::stable_sort(order.begin(), order.end(), compare);

  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> newRowOf(static_cast<size_t>(count));
  std::vector<TRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    newRowOf[static_cast<size_t>(order[size_t(i)])] = i;
    rows.push_back(std::move(m_rows[size_t(slots[size_t(order[size_t(i)])])]));
  }
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& index : from) {
    to << (index.row() < count ? createIndex(newRowOf[size_t(index.row())], index.column())
                               : QModelIndex());
  }
  m_rows = std::move(rows);
  m_order.Reset(count);
  m_slots.clear();
  for (size_t i = 0; i < m_rows.size(); ++i) m_slots.emplace(m_rows[i].Link.get(), int(i));
  changePersistentIndexList(from, to);
  Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

TVornLinkPtr TVornLinkListModel::LinkAt(int row) const {
  if (row < 0 || row >= m_order.Count()) return nullptr;
  return m_rows[static_cast<size_t>(m_order.SlotAt(row))].Link;
}

QString TVornLinkListModel::CaptionAt(int row) const {
  if (row < 0 || row >= m_order.Count()) return {};
  return m_rows[static_cast<size_t>(m_order.SlotAt(row))].Texts[0];
}

int TVornLinkListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_order.Count();
}

int TVornLinkListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_look.Columns.size());
}

QVariant TVornLinkListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_order.Count()) return {};
  const TRow& row = m_rows[static_cast<size_t>(m_order.SlotAt(index.row()))];
  if (role == Qt::DisplayRole) return row.Texts[static_cast<size_t>(index.column())];
  if (role == Qt::DecorationRole && index.column() == 0 && row.Image >= 0)
    return LinkImage(row.Image);
  return {};
}

QVariant TVornLinkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole)
    return QString::fromLatin1(m_look.Columns[static_cast<size_t>(section)].first);
  if (role == Qt::DecorationRole && m_sortShown && section == m_sortColumn)
    return SortImage(m_ascending ? 1 : 2);
  return {};
}

}  // namespace tq
