// TVornScheduledActions: hanging up, closing the program and shutting the machine down, when all
// downloads are complete or at a set time of day, as the options' "FInternetDisconnect" settings
// say. It takes over TVornInternetDisconnect's Disconnect and ExitProgram entry points (which a
// crawl calls as it completes) for as long as it lives, and checks the schedule every minute.
//
// Every action is announced by a 30-second countdown window (through the dialog service) that
// the user can cancel; what only the main window can do it asks through the events of
// TVornInternetDisconnect.
//
// Thread rules: interface thread only.
#pragma once

#include <functional>
#include <memory>

#include "dialup/clock.h"
#include "foundation/main_loop.h"
#include "options/options.h"
#include "platform/dialog_service.h"

namespace tq {

class TVornScheduledActions {
 public:
  // powerOff asks the machine to shut down (PowerOffSystem for the program) and may raise; the
  // options and the clock must outlive this object.
  TVornScheduledActions(TVornOptions& options, const IVornClock& clock,
                        std::function<void()> powerOff);
  ~TVornScheduledActions();
  TVornScheduledActions(const TVornScheduledActions&) = delete;
  TVornScheduledActions& operator=(const TVornScheduledActions&) = delete;

  // The minute check: the actions whose time of day (hour and minute) is now, disconnect first.
  void ScheduleTick();

  // After downloads, only when the switch for that is on and no project downloads. The countdown
  // ("Closing internet conections"), then on OK: stop downloads, hang up every connection.
  void Disconnect(bool afterDownloads);
  // After downloads likewise. The countdown ("Shutting down"), then on OK: stop downloads, save
  // the open projects for the next start when asked to, close them, power off when asked to, and
  // close the program (OnShutDown; without a handler the application quits).
  void ExitProgram(bool afterDownloads);
  // Asks for a power-off; a refusal is ignored, as the program closes either way.
  void ShutDownSystem();

 private:
  bool DownloadsInProgress() const;
  void CloseProjects();

  TVornOptions& m_options;
  const IVornClock& m_clock;
  std::function<void()> m_powerOff;
  TVornTimer m_schedule;
};

// The 30-second countdown before an action: beeps at its first nine ticks, shows the time left
// and closes with mrOk at 0; returns mrOk or mrCancel.
int RunActionCountdown(const std::string& heading, const std::string& description,
                       TModalWindow::TPicture picture);

}  // namespace tq
