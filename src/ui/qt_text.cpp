// Windows-1252 differs from Latin-1 only in 0x80..0x9F, so one small table does both directions.
#include "ui/qt_text.h"

#include <QFile>

namespace tq {
namespace {

constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ByteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

QString ToQ(std::string_view text) {
  QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = result.data();
  for (unsigned char c : text) {
    *out++ = QChar(c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : char16_t(c));
  }
  return result;
}

std::string FromQ(const QString& text) {
  std::string result;
  result.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) result.push_back(ByteOf(c.unicode()));
  return result;
}

QString PathToQ(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathFromQ(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace tq
