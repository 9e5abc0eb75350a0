// TStatsForm: a project's statistics, read from its engine when the dialog opens and again every
// half second while it is up, so a running crawl's figures move. Interface thread only.
#pragma once

#include <array>

#include <QDialog>

#include "dialogs/project_statistics.h"
#include "engine/download.h"

class QLabel;
class QProgressBar;

namespace tq {

// The status text of an engine state: "Status : Ready", "Status : Downloading..." ...; the
// states the controller never enters read as ready.
QString StatusTextOf(TVornState state);

class TStatsForm : public QDialog {
 public:
  explicit TStatsForm(TVornDownload& engine, QWidget* parent = nullptr);

  // Reads the figures again.
  void Refresh();
  const TProjectStatistics& Figures() const { return m_figures; }
  // Downloaded, Queued, Failed, Ignored.
  QProgressBar* Bar(int index) const { return m_bars.at(index); }

 private:
  TVornDownload& m_engine;
  TProjectStatistics m_figures;
  QLabel *m_baseUrl, *m_name, *m_total, *m_emails, *m_status;
  std::array<QLabel*, 4> m_counts{};
  std::array<QProgressBar*, 4> m_bars{};
};

}  // namespace tq
