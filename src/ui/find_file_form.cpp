// The find-in-lists dialog's controls and how they follow the walk.
#include "ui/find_file_form.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/link_images.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

const QString kKeywordPlaceholder = QStringLiteral("<Type your keyword here>");

// The tree and list images of the four lists searched, by the row's image index.
constexpr int kListImages[] = {0, 2, 3, 4};

}  // namespace

TFindFileForm::TFindFileForm(TVornDownload& download, const std::string& projectName,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_find(download) {
  setWindowTitle(QStringLiteral("Find Files and Folders"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(ToQ(TVornFindFiles::Heading(projectName)), this);
  heading->setTextFormat(Qt::PlainText);
  layout->addWidget(heading);

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Search for"), this));
  m_keyword = new QLineEdit(kKeywordPlaceholder, this);
  m_keyword->installEventFilter(this);
  row->addWidget(m_keyword, 1);
  m_case = new QCheckBox(QStringLiteral("Case sensitive"), this);
  row->addWidget(m_case);
  layout->addLayout(row);

  auto* buttons = new QHBoxLayout;
  m_search = new QPushButton(QStringLiteral("&Search"), this);
  m_goTo = new QPushButton(QStringLiteral("Go to file"), this);
  m_goTo->setEnabled(false);
  m_close = new QPushButton(QStringLiteral("&Close"), this);
  m_animation = new QProgressBar(this);
  m_animation->setRange(0, 0);
  m_animation->setTextVisible(false);
  m_animation->setMaximumWidth(60);
  m_animation->setVisible(false);
  m_gauge = new QProgressBar(this);
  m_gauge->setRange(0, 100);
  m_gauge->setVisible(false);
  buttons->addWidget(m_search);
  buttons->addWidget(m_goTo);
  buttons->addWidget(m_close);
  buttons->addWidget(m_animation);
  buttons->addWidget(m_gauge, 1);
  layout->addLayout(buttons);

  m_results = new QTreeWidget(this);
  m_results->setRootIsDecorated(false);
  m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_results->setHeaderLabels({QStringLiteral("URL"), QStringLiteral("Status"),
                              QStringLiteral("Level"), QStringLiteral("Page")});
  m_results->header()->setStretchLastSection(false);
  m_results->header()->setSectionResizeMode(QHeaderView::Interactive);
  m_results->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_results->header()->resizeSection(3, 100);
  layout->addWidget(m_results, 1);

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  m_status = new QLabel(ToQ(m_find.StatusText()), status);
  status->addWidget(m_status, 1);
  layout->addWidget(status);
  resize(640, 420);

  connect(m_search, &QPushButton::clicked, this, [this] { SearchClick(); });
  connect(m_goTo, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_results, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateGoTo(); });
  connect(m_results, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (m_find.Idle() && !m_results->selectedItems().isEmpty()) accept();
  });

  m_find.OnProgress = [this](TVornFindFiles&, int percent) { m_gauge->setValue(percent); };
  m_find.OnItemsAdded = [this](TVornFindFiles& sender, int first, int count) {
    for (int i = first; i < first + count; ++i) {
      const TFindFileItem& item = sender.Items()[static_cast<size_t>(i)];
      auto* entry = new QTreeWidgetItem(
          {ToQ(item.Url), ToQ(item.Status), QString::number(item.Level), ToQ(item.Page)});
      entry->setIcon(0, LinkImage(kListImages[item.ImageIndex & 3]));
      m_results->addTopLevelItem(entry);
    }
  };
  m_find.OnSearchEnd = [this](TVornFindFiles&) { SearchEnded(); };
}

void TFindFileForm::SearchClick() {
  if (!m_find.Idle()) {
    m_find.Cancel();
    return;
  }
  m_results->clear();
  m_gauge->setValue(0);
  m_gauge->setVisible(true);
  m_close->setEnabled(false);
  m_animation->setVisible(true);
  m_find.Search(FromQ(m_keyword->text()), m_case->isChecked());
  m_status->setText(ToQ(m_find.StatusText()));
  m_search->setText(ToQ(m_find.SearchCaption()));
  UpdateGoTo();
}

void TFindFileForm::SearchEnded() {
  m_gauge->setVisible(false);
  m_close->setEnabled(true);
  m_search->setText(ToQ(m_find.SearchCaption()));
  m_animation->setVisible(false);
  m_status->setText(ToQ(m_find.StatusText()));
  UpdateGoTo();
}

void TFindFileForm::UpdateGoTo() {
  m_goTo->setEnabled(m_find.Idle() && !m_results->selectedItems().isEmpty());
}

std::string TFindFileForm::SelectedUrl() const {
  const QList<QTreeWidgetItem*> selected = m_results->selectedItems();
  return selected.isEmpty() ? std::string() : FromQ(selected.first()->text(0));
}

void TFindFileForm::reject() {
  // Escape does what Close does, and Close waits for the walk.
  if (m_find.Idle()) QDialog::reject();
}

bool TFindFileForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_keyword) {
    if (event->type() == QEvent::FocusIn && m_keyword->text() == kKeywordPlaceholder)
      m_keyword->clear();
    if (event->type() == QEvent::FocusOut && m_keyword->text().isEmpty())
      m_keyword->setText(kKeywordPlaceholder);
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tq
