#include "ui/load_form.h"

#include <QFrame>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/dialog_service.h"
#include "ui/dialog_kit.h"

namespace tq {

const char* LoadErrorTitle(TFileError error) {
  return error == feCantRead ? "Can not read" : "Invalid Document";
}

TLoadForm::TLoadForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("LoadForm"));
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  auto* layout = new QVBoxLayout(frame);
  m_gauge = AddBusyGauge(layout, QStringLiteral("Loading"));
  m_gauge->setValue(0);
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
