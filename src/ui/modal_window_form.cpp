// The dial-up layer's modal windows drawn with widgets.
#include "ui/modal_window_form.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/main_loop.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

QLabel* Picture(QWidget* parent, QStyle::StandardPixmap image, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setPixmap(parent->style()->standardIcon(image).pixmap(48, 48));
  label->setAlignment(Qt::AlignTop);
  return label;
}

QLabel* WrappedLabel(QWidget* parent, const std::string& text, const char* name) {
  auto* label = new QLabel(ToQ(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

// The dialer's status puts a carriage return after its line feed; a label shows it as a box.
QString StatusText(const std::string& status) {
  QString text = ToQ(status);
  text.remove(QLatin1Char('\r'));
  return text;
}

}  // namespace

TModalWindowForm::TModalWindowForm(TModalWindow& window, QWidget* parent)
    : QDialog(parent), m_window(window) {
  setWindowTitle(ToQ(window.Caption));
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (window.StayOnTop) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setMinimumWidth(420);

  auto* layout = new QVBoxLayout(this);
  AddHeading(layout, ToQ(window.Heading));
  auto* group = new QGroupBox(ToQ(window.GroupCaption), this);
  group->setObjectName(QStringLiteral("group"));
  layout->addWidget(group);
  auto* row = new QHBoxLayout(group);
  switch (window.Picture) {
    case TModalWindow::mpDialing:
      row->addWidget(Picture(this, QStyle::SP_DriveNetIcon, "dialingPicture"));
      break;
    case TModalWindow::mpConnection:
      row->addWidget(Picture(this, QStyle::SP_DriveNetIcon, "connectionPicture"));
      break;
    case TModalWindow::mpShutdown:
      row->addWidget(Picture(this, QStyle::SP_BrowserStop, "shutdownPicture"));
      break;
    case TModalWindow::mpNone:
      break;
  }
  auto* texts = new QVBoxLayout;
  row->addLayout(texts, 1);
  if (!window.Description.empty()) {
    texts->addWidget(WrappedLabel(this, window.Description, "description"));
  }
  m_status = WrappedLabel(this, {}, "status");
  m_status->setText(StatusText(window.Status()));
  texts->addWidget(m_status);
  if (!window.Footer.empty()) texts->addWidget(WrappedLabel(this, window.Footer, "footer"));
  texts->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  layout->addLayout(buttons);
  const auto addButton = [&](unsigned bit, const char* caption, int result) {
    if ((window.Buttons & bit) == 0) return;
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setAutoDefault(false);
    buttons->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, result] {
      if (!m_window.Closed() && m_window.OnButton) m_window.OnButton(result);
    });
  };
  addButton(mbOk, "&OK", mrOk);
  addButton(mbCancel, "&Cancel", mrCancel);

  m_window.OnChanged = [this] { Refresh(); };
  if (window.TickInterval > 0) {
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { Tick(); });
    m_timer->start(window.TickInterval);
  }
}

TModalWindowForm::~TModalWindowForm() {
  // A background thread may still post status changes to the window after the form is gone.
  m_window.OnChanged = nullptr;
}

void TModalWindowForm::Tick() {
  if (!m_window.Closed() && m_window.OnTick) m_window.OnTick();
}

void TModalWindowForm::reject() {
  if (m_window.Closed()) {
    QDialog::reject();
  } else if (m_window.OnButton) {
    m_window.OnButton(mrCancel);
  }
}

void TModalWindowForm::Refresh() {
  m_status->setText(StatusText(m_window.Status()));
  if (!m_window.Closed()) return;
  if (m_timer != nullptr) m_timer->stop();
  done(m_window.Result() == mrOk ? QDialog::Accepted : QDialog::Rejected);
}

int RunModalWindow(TModalWindow& window) {
  if (window.OnShow) window.OnShow();
  if (!window.Closed()) {
    TModalWindowForm form(window, QApplication::activeWindow());
    ExecModal(form);
    // A form that ended without the logic closing it (a test's handler) answers "&Cancel".
    if (!window.Closed() && window.OnButton) window.OnButton(mrCancel);
  }
  ProcessEventsUntil([&window] { return window.Closed(); });
  return window.Result();
}

}  // namespace tq
