// tarnquill [FILE.web]: the desktop program. Opens the project file given, if any.
// tarnquill --screenshots FOLDER FILE.web: writes pictures of the window instead (screen_tour.h).
#include <memory>

#include <QApplication>
#include <QTimer>

#include "app/screen_tour.h"
#include "ui/gui_dialog_service.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

int main(int argc, char** argv) {
  // The embedded browser shares its drawing contexts with the windows; this must come first.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnquill"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarnquill"));
  tq::SetDialogService(std::make_shared<tq::TGuiDialogService>());

  tq::TMainForm window;
  window.show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() == 4 && arguments.at(1) == QLatin1String("--screenshots")) {
    window.resize(1280, 860);
    tq::StartScreenTour(window, tq::PathFromQ(arguments.at(3)), tq::PathFromQ(arguments.at(2)));
  } else if (arguments.size() > 1) {
    const std::string file = tq::PathFromQ(arguments.at(1));
    QTimer::singleShot(0, &window, [&window, file] { window.OpenProject(file); });
  }
  const int result = QApplication::exec();
  tq::SetDialogService(nullptr);
  return result;
}
