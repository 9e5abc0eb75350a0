// Small drawn images keep the program free of image files that would have to be installed.
#include "ui/link_images.h"

#include <array>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace tq {
namespace {

QIcon Dot(const QColor& color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(color.darker(150));
  painter.setBrush(color);
  painter.drawEllipse(QRectF(3.5, 3.5, 9, 9));
  return QIcon(pixmap);
}

QIcon Arrow(bool up) {
  QPixmap pixmap(10, 10);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::darkGray);
  const QPolygonF shape =
      up ? QPolygonF({{1, 8}, {9, 8}, {5, 2}}) : QPolygonF({{1, 2}, {9, 2}, {5, 8}});
  painter.drawPolygon(shape);
  return QIcon(pixmap);
}

const std::array<QIcon, kLinkImageCount>& Images() {
  static const std::array<QIcon, kLinkImageCount> images = [] {
    QStyle* style = QApplication::style();
    return std::array<QIcon, kLinkImageCount>{
        Dot(QColor(0x2e, 0xa0, 0x43)),  // Ready
        Dot(QColor(0x1e, 0x6f, 0xd9)),  // In Progress
        Dot(QColor(0xd9, 0xa4, 0x1e)),  // Queue
        Dot(QColor(0xd0, 0x31, 0x2d)),  // Failed
        Dot(QColor(0x8c, 0x8c, 0x8c)),  // Ignored
        style->standardIcon(QStyle::SP_DriveNetIcon),
        style->standardIcon(QStyle::SP_DirClosedIcon),
        style->standardIcon(QStyle::SP_DirOpenIcon),
    };
  }();
  return images;
}

}  // namespace

QIcon LinkImage(int index) {
  if (index < 0 || index >= kLinkImageCount) return {};
  return Images()[static_cast<size_t>(index)];
}

QIcon LinkImagePair(int image, int selectedImage) {
  if (image == selectedImage) return LinkImage(image);
  static const QIcon folder = [] {
    QIcon icon;
    for (const QSize& size : {QSize(16, 16), QSize(22, 22)}) {
      icon.addPixmap(LinkImage(kImageFolder).pixmap(size), QIcon::Normal);
      icon.addPixmap(LinkImage(kImageOpenFolder).pixmap(size), QIcon::Selected);
    }
    return icon;
  }();
  if (image == kImageFolder && selectedImage == kImageOpenFolder) return folder;
  return LinkImage(image);
}

QIcon SortImage(int index) {
  static const QIcon up = Arrow(true);
  static const QIcon down = Arrow(false);
  return index == 1 ? up : index == 2 ? down : QIcon();
}

}  // namespace tq
