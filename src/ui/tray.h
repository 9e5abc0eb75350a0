// TTray: the program's icon in the desktop's tray, its menu, and its balloons. The icon is always
// there (where the desktop has a tray); minimising the main window hides it from the task bar and
// says so in a balloon; a double click on the icon restores the window, another minimises it.
// Interface thread only.
#pragma once

#include <vector>

#include <QObject>
#include <QStringList>

#include "ui/notifier.h"

class QMenu;
class QSystemTrayIcon;

namespace tq {

class TMainForm;

class TTray : public QObject, public INotifier {
 public:
  // Watches window's minimising; the menu triggers window's commands.
  explicit TTray(TMainForm& window);

  void ShowBalloon(const TBalloon& balloon) override;
  const std::vector<TBalloon>& Balloons() const override { return m_balloons; }

  // The tray menu, as the desktop shows it on a right click.
  QMenu* Menu() const { return m_menu; }
  // The icon's hint: "Tarnquill", then one line per crawling project ("Garden: 12/42").
  void SetProgressLines(const QStringList& lines);
  QString ToolTip() const;
  // What a double click on the icon does: restores a minimised or hidden window, else minimises.
  void ToggleWindow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RebuildReopenMenu();

  TMainForm& m_window;
  QMenu* m_menu = nullptr;
  QMenu* m_reopen = nullptr;
  QSystemTrayIcon* m_icon = nullptr;
  std::vector<TBalloon> m_balloons;
};

}  // namespace tq
