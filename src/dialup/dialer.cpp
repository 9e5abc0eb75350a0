// The dialing run: progress window, retry loop and countdown.
#include "dialup/dialer.h"

#include <memory>

#include "foundation/background_thread.h"
#include "platform/dialog_service.h"

namespace tq {
namespace {

constexpr size_t kErrorTextLimit = 100;

}  // namespace

TVornDialer::TVornDialer(TVornInternetDial& options, IDialUpService& service,
                         const IVornClock& clock)
    : m_options(options), m_service(service), m_clock(clock) {
  m_options.OnDial = [this] { return Dial(); };
  m_options.OnHangUp = [this] {
    if (Connected()) HangUp(true);
  };
  m_options.OnConnected = [this] { return Connected(); };
}

TVornDialer::~TVornDialer() {
  m_options.OnDial = nullptr;
  m_options.OnHangUp = nullptr;
  m_options.OnConnected = nullptr;
}

bool TVornDialer::Connected() {
  return m_service.GetEntries().empty() || m_service.ActiveConnectionCount() > 0;
}

bool TVornDialer::Dial() {
  if (m_dialing) {
    // Another project's start is dialing further up this thread's stack; its run clears the
    // flag as its window closes, which the loop here sees.
    ProcessEventsUntil([this] { return !m_dialing; });
    return Connected();
  }
  if (Connected()) return true;
  const std::string entry = m_options.Connection;
  if (!m_options.Username.empty()) {
    m_service.SetEntryCredentials(entry, m_options.Username, m_options.Password);
  }
  m_dialing = true;
  RunDialing(entry);
  m_dialing = false;
  return Connected();
}

void TVornDialer::HangUp(bool all) {
  if (all) {
    m_service.HangUpAll();
  } else {
    m_service.HangUpLast();
  }
  m_dialing = false;
}

void TVornDialer::RunDialing(const std::string& entry) {
  // Shared with the posts of the run's thread, so a late post never meets a freed window.
  auto window = std::make_shared<TModalWindow>();
  window->Heading = "Connecting to Internet";
  window->GroupCaption = "Connecting to " + entry;
  window->Picture = TModalWindow::mpDialing;
  window->Buttons = mbCancel;

  auto cancel = std::make_shared<TCancelFlag>();
  const int retries = m_options.RetryBrokenConnection;
  const int interval = m_options.IntervalBetweenRetries;
  // Written by the run's thread, read by its end handler once the thread has ended.
  bool connected = false;
  TVornBackgroundThread run("dial-up thread");
  const auto post = [&run, window](std::string status) {
    run.Queue([window, status = std::move(status)] { window->SetStatus(status); });
  };

  window->OnShow = [&] {
    run.Start(
        [&](TVornBackgroundThread&) {
          for (int attempt = 0; !cancel->Raised() && attempt <= retries; ++attempt) {
            connected = Connected();
            if (connected) break;
            post("Dialing ...");
            const TDialResult result = m_service.Dial(entry);
            if (result.Code == 0 || cancel->Raised()) continue;
            const std::string error = "Error : " + result.Message.substr(0, kErrorTextLimit);
            post(error);
            for (int n = interval; n >= 1 && !cancel->Raised(); --n) {
              post(error + "\n\rConnection failed. Waiting " + std::to_string(n) +
                   " sec before retry");
              m_clock.Sleep(Millis(1000), *cancel);
            }
          }
          connected = connected || Connected();
        },
        // Also after a failure of the service: the window closes either way.
        [&] {
          m_dialing = false;
          window->Close(connected ? mrOk : mrCancel);
        });
  };
  window->OnButton = [this, cancel](int) {
    cancel->Raise();
    // Makes a call that is still ringing give up.
    m_service.HangUpLast();
  };
  DialogService().ShowModalWindow(*window);
  // A window closed otherwise (by the dialog service) leaves the run to be stopped here; its
  // late hand-overs are dropped.
  run.Stop();
}

}  // namespace tq
