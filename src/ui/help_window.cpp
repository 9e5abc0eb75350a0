// The shipped manual in a browser window, and the F1 key.
#include "ui/help_window.h"

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/program_folder.h"
#include "ui/export_wizard_form.h"
#include "ui/find_file_form.h"
#include "ui/main_window.h"
#include "ui/project_browser.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

QPointer<THelpWindow>& LastWindow() {
  static QPointer<THelpWindow> window;
  return window;
}

// F1 in a window without a Contents command of its own.
class THelpKey : public QObject {
 public:
  explicit THelpKey(QWidget* handledBy) : QObject(handledBy), m_handledBy(handledBy) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
      return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() == m_handledBy) return false;
    QWidget* front = widget->window();
    ShowManual(HelpPageFor(front), front);
    return true;
  }

 private:
  QWidget* m_handledBy;
};

}  // namespace

std::string ManualFolder() {
  const std::string data = ShippedDataFolder();
  if (data.empty()) return {};
  const std::string folder = data + "/manual";
  return QFileInfo(PathToQ(folder)).isDir() ? folder : std::string();
}

std::string HelpPageFor(QWidget* front) {
  if (front == nullptr) return "index.html";
  const QString name = front->objectName();
  if (name == QLatin1String("OptionsForm") || name == QLatin1String("FindCompilerForm"))
    return "options.html";
  if (name == QLatin1String("WizardForm") || name == QLatin1String("NewProjectForm") ||
      name == QLatin1String("ConfigureForm")) {
    return "new-project.html";
  }
  if (name == QLatin1String("StatsForm")) return "crawl.html";
  if (dynamic_cast<TFindFileForm*>(front) != nullptr) return "search.html";
  if (dynamic_cast<TExportForm*>(front) != nullptr) return "export.html";
  if (auto* main = dynamic_cast<TMainForm*>(front)) {
    return main->Documents().Count() > 0 ? "crawl.html" : "index.html";
  }
  if (auto* help = dynamic_cast<THelpWindow*>(front)) {
    const QString shown = QUrl(help->Browser().Address()).fileName();
    if (!shown.isEmpty()) return FromQ(shown);
  }
  return "index.html";
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Tarnquill Help"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* buttons = new QHBoxLayout();
  layout->addLayout(buttons);
  m_browser = CreateProjectBrowser(this);
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"&Back", [this] { m_browser->GoBack(); }},
      {"&Forward", [this] { m_browser->GoForward(); }},
      {"&Contents", [this] { ShowPage("index.html"); }},
  };
  for (const auto& [caption, command] : commands) {
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, command);
    buttons->addWidget(button);
  }
  buttons->addStretch();
  layout->addWidget(m_browser, 1);
  resize(820, 640);
}

void THelpWindow::ShowPage(const std::string& page) {
  const std::string folder = ManualFolder();
  const QString file = PathToQ(folder + "/" + page);
  if (folder.empty() || !QFileInfo(file).isFile()) {
    m_browser->Navigate(
        QStringLiteral("data:text/html,") +
        QString::fromLatin1(QUrl::toPercentEncoding(
            QStringLiteral("<p>The manual page %1 is not installed.</p>").arg(PathToQ(page)))));
    return;
  }
  m_browser->Navigate(QUrl::fromLocalFile(file).toString());
}

THelpWindow* ShowManual(const std::string& page, QWidget* from) {
  // The program's dialogs run modally: a window of their own would take no input.
  QWidget* owner = qobject_cast<QDialog*>(from);
  THelpWindow* window = LastWindow();
  if (window == nullptr || window->parentWidget() != owner) {
    if (window != nullptr) window->close();
    window = new THelpWindow(owner);
    LastWindow() = window;
  }
  window->ShowPage(page);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

THelpWindow* OpenHelpWindow() {
  return LastWindow();
}

void InstallHelpKey(QWidget* handledBy) {
  qApp->installEventFilter(new THelpKey(handledBy));
}

}  // namespace tq
