#include "ui/load_form.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/dialog_service.h"

namespace tq {

const char* LoadErrorTitle(TFileError error) {
  return error == feCantRead ? "Can not read" : "Invalid Document";
}

TLoadForm::TLoadForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("LoadForm"));
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  auto* layout = new QVBoxLayout(frame);
  auto* heading = new QLabel(QStringLiteral("Loading"), frame);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  layout->addWidget(new QLabel(QStringLiteral("This will take a few seconds"), frame));
  auto* animation = new QProgressBar(frame);
  animation->setRange(0, 0);  // the style animates a busy bar by itself
  animation->setTextVisible(false);
  animation->setMaximumHeight(8);
  layout->addWidget(animation);
  layout->addWidget(new QLabel(QStringLiteral("Percent done :"), frame));
  m_gauge = new QProgressBar(frame);
  m_gauge->setRange(0, 100);
  m_gauge->setValue(0);
  layout->addWidget(m_gauge);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  setFixedSize(320, sizeHint().height());
}

void TLoadForm::ShowModal() {
  setWindowModality(Qt::ApplicationModal);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  show();
}

void TLoadForm::SetProgress(int percent) {
  m_gauge->setValue(percent);
}

int TLoadForm::Progress() const {
  return m_gauge->value();
}

void TLoadForm::ShowError(TFileError error, const std::string& text) {
  DialogService().ShowMessageDlg(text, mdiError, mbOk, LoadErrorTitle(error), 0);
  CloseForm();
}

void TLoadForm::CloseForm() {
  try {
    done(QDialog::Rejected);
  } catch (...) {
  }
}

}  // namespace tq
