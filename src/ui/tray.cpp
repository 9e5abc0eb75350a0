// The tray icon, its menu and balloons.
#include "ui/tray.h"

#include <string>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace tq {

TTray::TTray(TMainForm& window) : QObject(&window), m_window(window) {
  m_menu = new QMenu(&window);
  m_menu->setObjectName(QStringLiteral("TrayMenu"));
  const auto put = [this](QMenu* menu, std::initializer_list<const char*> names) {
    m_window.PutActions(menu, names);
  };
  put(m_menu, {"ShowTarnquill"});
  put(m_menu->addMenu(QStringLiteral("Download")),
      {"DownloadPause", "DownloadPauseAll", "-", "DownloadResume", "DownloadStartAll"});
  m_menu->addSeparator();
  m_reopen = m_menu->addMenu(QStringLiteral("&Reopen"));
  // The recent list changes as projects open and close: read it when the menu opens.
  connect(m_reopen, &QMenu::aboutToShow, this, [this] { RebuildReopenMenu(); });
  RebuildReopenMenu();
  m_menu->addSeparator();
  put(m_menu, {"ToolsOptions", "HelpAbout", "FileExit"});

  QIcon image = window.windowIcon();
  if (image.isNull()) image = window.style()->standardIcon(QStyle::SP_ComputerIcon);
  m_icon = new QSystemTrayIcon(image, this);
  m_icon->setToolTip(QStringLiteral("Tarnquill"));
  m_icon->setContextMenu(m_menu);
  connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::DoubleClick) ToggleWindow();
  });
  if (QSystemTrayIcon::isSystemTrayAvailable()) m_icon->show();
  window.installEventFilter(this);
}

void TTray::RebuildReopenMenu() {
  m_reopen->clear();
  for (const std::string& path : m_window.Recent().Items()) {
    QAction* item = m_reopen->addAction(PathToQ(path));
    connect(item, &QAction::triggered, this, [this, path] {
      // Opening changes the recent list this menu was made from: open once the menu is gone.
      QTimer::singleShot(0, &m_window, [this, path] { m_window.OpenRecent(path); });
    });
  }
}

void TTray::ShowBalloon(const TBalloon& balloon) {
  m_balloons.push_back(balloon);
  if (m_icon->isVisible()) {
    m_icon->showMessage(balloon.Title, balloon.Text, QSystemTrayIcon::Information, balloon.Msecs);
  }
}

void TTray::ToggleWindow() {
  if (m_window.isMinimized() || !m_window.isVisible()) {
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
  } else {
    m_window.showMinimized();
  }
}

bool TTray::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_window && event->type() == QEvent::WindowStateChange &&
      m_window.isMinimized()) {
    // Off the task bar only where the tray icon can bring the window back.
    if (m_icon->isVisible()) QTimer::singleShot(0, &m_window, [this] { m_window.hide(); });
    ShowBalloon({QStringLiteral("Tarnquill is running in background"),
                 QStringLiteral("To maximize the application please press double click on the "
                                "Tarnquill tray icon"),
                 5000});
  }
  return QObject::eventFilter(watched, event);
}

void TTray::SetProgressLines(const QStringList& lines) {
  const QString tip = (QStringList{QStringLiteral("Tarnquill")} + lines).join(QLatin1Char('\n'));
  if (m_icon->toolTip() != tip) m_icon->setToolTip(tip);
}

QString TTray::ToolTip() const {
  return m_icon->toolTip();
}

}  // namespace tq
