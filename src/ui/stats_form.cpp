#include "ui/stats_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/download.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {

QString StatusTextOf(TVornState state) {
  switch (state) {
    case edsDownload:
      return QStringLiteral("Status : Downloading...");
    case edsCancel:
      return QStringLiteral("Status : Stopping...(Waiting for threads)");
    default:
      return QStringLiteral("Status : Ready");
  }
}

TStatsForm::TStatsForm(TVornDownload& engine, QWidget* parent) : QDialog(parent), m_engine(engine) {
  setObjectName(QStringLiteral("StatsForm"));
  setWindowTitle(QStringLiteral("Statistics"));
  auto* layout = new QVBoxLayout(this);
  AddHeading(layout, QStringLiteral("Statistics"));
  m_baseUrl = new QLabel();
  m_name = new QLabel();
  m_name->setObjectName(QStringLiteral("name"));
  layout->addWidget(m_name);
  layout->addWidget(m_baseUrl);
  auto* grid = new QGridLayout();
  m_total = new QLabel();
  m_total->setObjectName(QStringLiteral("total"));
  grid->addWidget(m_total, 0, 0, 1, 3);
  const char* captions[] = {"Downloaded", "Queued", "Failed", "Ignored"};
  for (int i = 0; i < 4; ++i) {
    grid->addWidget(new QLabel(QString::fromLatin1(captions[i])), i + 1, 0);
    m_counts[i] = new QLabel();
    grid->addWidget(m_counts[i], i + 1, 1);
    m_bars[i] = new QProgressBar();
    m_bars[i]->setRange(0, 100);
    grid->addWidget(m_bars[i], i + 1, 2);
  }
  layout->addLayout(grid);
  m_emails = new QLabel();
  layout->addWidget(m_emails);
  m_status = new QLabel();
  m_status->setObjectName(QStringLiteral("status"));
  layout->addWidget(m_status);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  auto* ok = new QPushButton(QStringLiteral("&OK"));
  ok->setDefault(true);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &TStatsForm::Refresh);
  timer->start(500);
}

void TStatsForm::Refresh() {
  m_figures = ReadStatistics(m_engine);
  m_baseUrl->setText(QStringLiteral("Base URL: ") + ToQ(m_figures.BaseUrl));
  m_name->setText(ToQ(m_figures.ProjectName));
  m_total->setText(QStringLiteral("Total ") + ToQ(PagesText(m_figures.Total)));
  const int counts[] = {m_figures.Downloaded, m_figures.Queued, m_figures.Failed,
                        m_figures.Ignored};
  const int percents[] = {m_figures.DownloadedPercent, m_figures.QueuedPercent,
                          m_figures.FailedPercent, m_figures.IgnoredPercent};
  for (int i = 0; i < 4; ++i) {
    m_counts[i]->setText(ToQ(PagesText(counts[i])));
    m_bars[i]->setValue(percents[i]);
  }
  m_emails->setText(QStringLiteral("Emails found : ") + QString::number(m_figures.Emails));
  m_status->setText(StatusTextOf(m_engine.State()));
}

}  // namespace tq
