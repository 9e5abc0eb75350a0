#include "ui/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace tq {

bool TQtClipboard::HasText() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText();
}

std::string TQtClipboard::Text() const {
  return QGuiApplication::clipboard()->text().toStdString();
}

}  // namespace tq
