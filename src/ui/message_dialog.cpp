// The metrics follow the classic dialog-unit layout so that a message looks the same whatever
// font the desktop falls back to for the one it asks for.
#include "ui/message_dialog.h"

#include <algorithm>
#include <array>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "ui/qt_text.h"

namespace tq {
namespace {

struct TButtonKind {
  TMsgDlgButton bit;
  const char* caption;
  int result;
};

constexpr std::array<TButtonKind, 9> kButtons{{
    {mbYes, "&Yes", mrYes},
    {mbNo, "&No", mrNo},
    {mbOk, "&Ok", mrOk},
    {mbCancel, "&Cancel", mrCancel},
    {mbAbort, "A&bort", mrAbort},
    {mbRetry, "&Retry", mrRetry},
    {mbIgnore, "&Ignore", mrIgnore},
    {mbAll, "&All", mrAll},
    {mbHelp, "&Help", mrHelp},
}};

constexpr int kTitlePanelHeight = 28;
constexpr int kIconSize = 32;
constexpr int kMinWidthWithIcon = 300;

// value * numerator / denominator, rounded to the nearest integer.
int MulDiv(int value, int numerator, int denominator) {
  return static_cast<int>((static_cast<long long>(value) * numerator + denominator / 2) /
                          denominator);
}

QStyle::StandardPixmap PixmapOf(TMsgDlgIcon icon) {
  switch (icon) {
    case mdiWarning:
      return QStyle::SP_MessageBoxWarning;
    case mdiError:
      return QStyle::SP_MessageBoxCritical;
    case mdiInformation:
      return QStyle::SP_MessageBoxInformation;
    default:
      return QStyle::SP_MessageBoxQuestion;
  }
}

// A word wider than the wrapping width (a long path or address) would make the window wider than
// the screen and push its buttons off it: such words may break anywhere.
QString BreakLongWords(const QString& text, const QFontMetrics& metrics, int width) {
  QString result;
  result.reserve(text.size());
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = start;
    while (end < text.size() && !text.at(end).isSpace()) ++end;
    const QString word = text.mid(start, end - start);
    if (metrics.horizontalAdvance(word) > width) {
      for (QChar c : word) {
        result += c;
        result += QChar(0x200B);  // zero-width space: a break opportunity
      }
    } else {
      result += word;
    }
    if (end < text.size()) result += text.at(end);
    start = end + 1;
  }
  return result;
}

}  // namespace

TMessageDlgForm::TMessageDlgForm(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                                 const std::string& title, int helpContext, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_helpContext(helpContext) {
  setWindowTitle(QApplication::applicationDisplayName());
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  setFont(font);
  const QFontMetrics metrics(font);
  const int averageWidth = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52;
  const int charHeight = metrics.height();
  const int horzMargin = MulDiv(8, averageWidth, 4);
  const int vertMargin = MulDiv(30, charHeight, 8);
  const int horzSpacing = MulDiv(8, averageWidth, 4);
  const int vertSpacing = MulDiv(8, charHeight, 8);
  const int buttonWidth = MulDiv(55, averageWidth, 4);
  const int buttonHeight = MulDiv(16, charHeight, 8);
  const int buttonSpacing = MulDiv(8, averageWidth, 4);

  QScreen* screen = QGuiApplication::primaryScreen();
  const int wrapWidth = screen != nullptr ? screen->geometry().width() / 2 : 640;
  const QString message = BreakLongWords(ToQ(text), metrics, wrapWidth);
  QRect textRect = metrics.boundingRect(QRect(0, 0, wrapWidth, 0),
                                        Qt::TextWordWrap | Qt::TextExpandTabs, message);
  if (message.isEmpty()) textRect = QRect(0, 0, 0, 0);
  const bool withIcon = icon != mdiNone;
  int clientWidth = 0;
  int textLeft = horzMargin;
  int textHeight = textRect.height();
  if (withIcon) {
    clientWidth =
        std::max(textRect.width() + horzSpacing + 2 * horzMargin + kIconSize, kMinWidthWithIcon);
    textHeight = std::max(textHeight, kIconSize);
    textLeft = horzMargin + horzSpacing + kIconSize;
    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("icon"));
    iconLabel->setPixmap(style()->standardIcon(PixmapOf(icon)).pixmap(kIconSize, kIconSize));
    iconLabel->setGeometry(horzMargin, vertMargin, kIconSize, kIconSize);
  } else {
    clientWidth = textRect.width() + 3 * horzMargin;
  }
  const int clientHeight = vertMargin + textHeight + vertSpacing + buttonHeight;

  int count = 0;
  for (const auto& kind : kButtons) count += (buttons & kind.bit) != 0 ? 1 : 0;
  const int rowWidth = count * buttonWidth + std::max(0, count - 1) * buttonSpacing;
  if (rowWidth > clientWidth - 2 * horzMargin) clientWidth = rowWidth + 2 * horzMargin;

  auto* panel = new QLabel(ToQ(title), this);
  panel->setObjectName(QStringLiteral("title"));
  QFont bold = font;
  bold.setBold(true);
  panel->setFont(bold);
  panel->setIndent(horzMargin);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, QColor(190, 204, 255));
  panel->setPalette(palette);
  panel->setGeometry(0, 0, clientWidth, kTitlePanelHeight - 2);
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setLineWidth(1);
  line->setGeometry(0, kTitlePanelHeight - 2, clientWidth, 2);

  auto* textLabel = new QLabel(message, this);
  textLabel->setObjectName(QStringLiteral("text"));
  textLabel->setWordWrap(true);
  textLabel->setTextFormat(Qt::PlainText);
  textLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  textLabel->setGeometry(textLeft, vertMargin, std::max(textRect.width(), 1), textHeight);

  int x = (clientWidth - rowWidth) / 2;
  const int top = vertMargin + textHeight + vertSpacing - 5;
  bool first = true;
  for (const auto& kind : kButtons) {
    if ((buttons & kind.bit) == 0) continue;
    auto* button = new QPushButton(QString::fromLatin1(kind.caption), this);
    button->setGeometry(x, top, buttonWidth, buttonHeight);
    button->setAutoDefault(true);
    if (first) button->setDefault(true);
    first = false;
    connect(button, &QPushButton::clicked, this, [this, result = kind.result] {
      m_result = result;
      done(result);
    });
    x += buttonWidth + buttonSpacing;
  }
  setFixedSize(clientWidth, clientHeight);
  if (screen != nullptr) move(screen->geometry().center() - rect().center());
}

int ShowMessageDlg(const std::string& text, TMsgDlgIcon icon, unsigned buttons,
                   const std::string& title, int helpContext) {
  TMessageDlgForm form(text, icon, buttons, title, helpContext, QApplication::activeWindow());
  form.exec();
  return form.Result();
}

}  // namespace tq
