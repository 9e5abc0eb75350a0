// The scheduled and after-download actions and their countdown.
#include "dialup/scheduled_actions.h"

#include <QCoreApplication>

namespace tq {
namespace {

constexpr int kScheduleIntervalMs = 60000;
constexpr int kCountdownSeconds = 30;
constexpr int kBeepsAbove = 20;  // the counter after a tick: the first nine ticks beep
constexpr const char* kSettingsName = "\"Options - Disconnect and Exit\"";

bool SameMinute(TDateTime now, TDateTime at) {
  const auto a = DecodeDateTime(now);
  const auto b = DecodeDateTime(at);
  return a && b && a->hour == b->hour && a->minute == b->minute;
}

}  // namespace

int RunActionCountdown(const std::string& heading, const std::string& description,
                       TModalWindow::TPicture picture) {
  TModalWindow window;
  window.Heading = heading;
  window.GroupCaption = "Countdown";
  window.Description = description;
  window.Footer = "Press Cancel to stop the countdown ";
  window.Picture = picture;
  window.Buttons = mbOk | mbCancel;
  window.StayOnTop = true;
  window.TickInterval = 1000;
  int counter = kCountdownSeconds;
  window.SetStatus("Time left " + std::to_string(counter) + " sec.");
  window.OnTick = [&window, &counter] {
    if (window.Closed()) return;
    --counter;
    if (counter > kBeepsAbove) DialogService().Beep();
    window.SetStatus("Time left " + std::to_string(counter) + " sec.");
    if (counter <= 0) window.Close(mrOk);
  };
  window.OnButton = [&window](int button) { window.Close(button == mrOk ? mrOk : mrCancel); };
  return DialogService().ShowModalWindow(window);
}

TVornScheduledActions::TVornScheduledActions(TVornOptions& options, const IVornClock& clock,
                                             std::function<void()> powerOff)
    : m_options(options), m_clock(clock), m_powerOff(std::move(powerOff)) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  x.OnDisconnect = [this](bool afterDownloads) { Disconnect(afterDownloads); };
  x.OnExitProgram = [this](bool afterDownloads) { ExitProgram(afterDownloads); };
  m_schedule.SetInterval(kScheduleIntervalMs);
  m_schedule.OnTimer = [this] { ScheduleTick(); };
  m_schedule.SetEnabled(true);
}

TVornScheduledActions::~TVornScheduledActions() {
  m_options.InternetDisconnect.OnDisconnect = nullptr;
  m_options.InternetDisconnect.OnExitProgram = nullptr;
}

void TVornScheduledActions::ScheduleTick() {
  // One reading for both checks, so an exit set for the same minute still comes after the
  // disconnect's countdown has taken its half minute.
  const TDateTime now = m_clock.Now();
  const TVornInternetDisconnect& x = m_options.InternetDisconnect;
  if (x.DisconnectAt && SameMinute(now, x.DisconnectAtTime)) Disconnect(false);
  if (x.ExitAt && SameMinute(now, x.ExitAtTime)) ExitProgram(false);
}

bool TVornScheduledActions::DownloadsInProgress() const {
  bool inProgress = false;
  if (m_options.InternetDisconnect.OnAskIfDownloads) {
    m_options.InternetDisconnect.OnAskIfDownloads(inProgress);
  }
  return inProgress;
}

void TVornScheduledActions::Disconnect(bool afterDownloads) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  if (afterDownloads && (!x.DisconnectWhenDownloadsComplete || DownloadsInProgress())) return;
  if (!m_options.InternetDialUp.Connected()) return;
  const int result = RunActionCountdown(
      "Closing internet conections",
      std::string("Tarnquill is about to all active internet connections based on your ") +
          kSettingsName + " settings.",
      TModalWindow::mpConnection);
  if (result != mrOk) return;
  if (DownloadsInProgress() && x.OnStopDownloads) x.OnStopDownloads();
  m_options.InternetDialUp.HangUp();
}

void TVornScheduledActions::ExitProgram(bool afterDownloads) {
  TVornInternetDisconnect& x = m_options.InternetDisconnect;
  if (afterDownloads && (!x.ExitWhenDownloadsComplete || DownloadsInProgress())) return;
  const int result = RunActionCountdown(
      "Shutting down",
      std::string("Tarnquill is about to shutdown  based on your ") + kSettingsName + " settings.",
      TModalWindow::mpShutdown);
  if (result != mrOk) return;
  if (DownloadsInProgress() && x.OnStopDownloads) x.OnStopDownloads();
  if (x.SaveDownloadsBeforeExit) {
    x.AutoSavedDocs.Clear();
    if (x.OnAutoSave) x.OnAutoSave(x.AutoSavedDocs);
  }
  CloseProjects();
  if (x.ShutDownOnExit) ShutDownSystem();
  if (x.OnShutDown) {
    x.OnShutDown();
  } else {
    QCoreApplication::quit();
  }
}

void TVornScheduledActions::CloseProjects() {
  const TVornInternetDisconnect& x = m_options.InternetDisconnect;
  const auto count = [&x] {
    int n = 0;
    if (x.OnDocCount) x.OnDocCount(n);
    return n;
  };
  try {
    for (int open = count(); open > 0;) {
      if (!x.OnNeedToClose) return;
      void* project = nullptr;
      if (x.OnDocInfoNeeded) x.OnDocInfoNeeded(0, project);
      x.OnNeedToClose(project);
      QCoreApplication::processEvents();
      // A project the user chose to keep (No to closing it unsaved) would be asked about again
      // and again: the exit goes on without it.
      const int left = count();
      if (left >= open) return;
      open = left;
    }
  } catch (...) {
    // The exit goes on to the shutdown with the projects that are still open.
  }
}

void TVornScheduledActions::ShutDownSystem() {
  try {
    if (m_powerOff) m_powerOff();
  } catch (...) {
    // Refused or impossible: the program still closes.
  }
}

}  // namespace tq
