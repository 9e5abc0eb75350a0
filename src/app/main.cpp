// tarnquill [FILE.web | ADDRESS NAME]: the desktop program. One instance runs per user: a later
// start hands its arguments to the running one (which opens the file, or offers a new project for
// the address) and ends. The first instance does the same with its own arguments.
// tarnquill --screenshots FOLDER FILE.web: writes pictures of the window instead (screen_tour.h).
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "app/screen_tour.h"
#include "options/one_instance.h"
#include "platform/program_folder.h"
#include "ui/desktop_session.h"
#include "ui/gui_dialog_service.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

int main(int argc, char** argv) {
  // The embedded browser shares its drawing contexts with the windows; this must come first.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnquill"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarnquill"));
  // The desktop matches the windows to the menu entry by its id; the icon comes from the theme
  // when installed, else from the shipped files.
  QGuiApplication::setDesktopFileName(QString::fromUtf8(tq::kDesktopId));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QString::fromUtf8(tq::kDesktopId),
                       QIcon(tq::PathToQ(tq::ShippedDataFolder() + "/icons/tarnquill.png"))));
  const QStringList arguments = QApplication::arguments();
  const bool screenshots =
      arguments.size() == 4 && arguments.at(1) == QLatin1String("--screenshots");
  std::vector<std::string> handed;
  for (qsizetype i = 1; i < arguments.size(); ++i) handed.push_back(tq::PathFromQ(arguments.at(i)));

  // The screenshot tour runs beside a running instance and leaves the desktop alone.
  tq::TOneInstance instance;
  if (!screenshots && instance.Check()) {
    return tq::HandOverToRunningInstance(instance.Name(), handed) ? 0 : 1;
  }
  tq::SetDialogService(std::make_shared<tq::TGuiDialogService>());

  int result = 0;
  {
    tq::TMainForm window;
    window.show();
    std::unique_ptr<tq::TDesktopSession> session;
    if (screenshots) {
      window.resize(1280, 860);
      tq::StartScreenTour(window, tq::PathFromQ(arguments.at(3)), tq::PathFromQ(arguments.at(2)));
    } else {
      session = std::make_unique<tq::TDesktopSession>(
          window, tq::TDesktopSetup{instance.Name(), tq::ProgramFile()});
      QTimer::singleShot(0, &window, [&window, lines = tq::HandOverLines(handed)] {
        window.Options().Integration.ExecuteMacro(lines);
      });
    }
    result = QApplication::exec();
  }
  tq::SetDialogService(nullptr);
  return result;
}
