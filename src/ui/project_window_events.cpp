// What the project window makes of its engine's, document's and server's events: status texts,
// the command state, the load progress window and the switches that show trees and list tabs.
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include "platform/dialog_service.h"
#include "server/server.h"
#include "ui/link_lists_pane.h"
#include "ui/load_form.h"
#include "ui/project_window.h"
#include "ui/qt_text.h"
#include "ui/stats_form.h"

namespace tq {

void TWWWDocForm::WireEngine() {
  m_progressTimer = new QTimer(this);
  m_progressTimer->setInterval(1000);
  connect(m_progressTimer, &QTimer::timeout, this, [this] { ShowCrawlProgress(); });
  m_engine->OnStateChange() = [this](void*, TVornState state) { StateChanged(state); };
  // Loading a project file names the project on the loader's thread: the caption follows on
  // this one (and not at all once the window is gone).
  m_engine->OnProjectNameChange = [this](TVornDownload&, const std::string& name) {
    QMetaObject::invokeMethod(
        this, [this, caption = ToQ(name)] { SetCaption(caption); }, Qt::QueuedConnection);
  };
  m_engine->OnBuildAllTree = [this](TVornDownload&, bool value) { ApplyBuildAllTree(value); };
  m_engine->OnBuildIgnored = [this](TVornDownload&, bool value) {
    m_lists->ShowOptionalTab(llIgnored, value);
  };
  m_engine->OnBuildEmails = [this](TVornDownload&, bool value) {
    m_lists->ShowOptionalTab(llEmails, value);
  };
}

void TWWWDocForm::StartServer() {
  m_server = std::make_unique<TVornServer>();
  m_server->SetVornDownload(m_engine.get());
  m_server->OnError = [](TVornServer&, TVornServerError error) {
    std::string title;
    std::string text;
    switch (error) {
      case eseNoAdapter:
        title = "No network adapter";
        text =
            "There is no default Network Adapter on this computer !\n\r"
            "Want to launch the tutorial to help you install the Microsoft Loopback Adapter ?";
        break;
      case eseNoPortAvailable:
        title = "No port available";
        text =
            "You are running out of this system resources !\n\r"
            "There is no port available to start the internal server. ";
        break;
      case eseNoSource:
        return;
    }
    // The question has no consequence here: a reader of the message decides what to do.
    DialogService().ShowMessageDlg(text, mdiWarning, mbYes | mbNo, title, 0);
  };
  m_server->SetActive(true);
}

bool TWWWDocForm::ProjectIdle() const {
  return m_document->Status() == dsReady;
}

void TWWWDocForm::StateChanged(TVornState state) {
  const bool idle = ProjectIdle();
  TWWWOptions& s = m_state;
  switch (state) {
    case edsReady:
      m_progressTimer->stop();
      for (auto field : {&TWWWState::CrawlCounts, &TWWWState::CrawlRate, &TWWWState::CrawlTime,
                         &TWWWState::CrawlFigure}) {
        s.Set(field, QString());
      }
      s.Set(&TWWWState::StatusText, m_engine->UpdateRun()
                                        ? QStringLiteral("Update finished: ") +
                                              ToQ(UpdateSummaryText(m_engine->UpdateSummary()))
                                        : StatusTextOf(state));
      s.Set(&TWWWState::UpdateEnabled, m_engine->ReadyLinks().Count() > 0);
      s.Set(&TWWWState::SaveEnabled, idle);
      s.Set(&TWWWState::SaveAsEnabled, idle);
      s.Set(&TWWWState::CloseEnabled, idle);
      s.Set(&TWWWState::StopEnabled, false);
      s.Set(&TWWWState::DownloadEnabled, true);
      s.Set(&TWWWState::ExportEnabled, idle);
      m_host.ShowBalloon(QStringLiteral("Download completed"),
                         QStringLiteral("Tarnquill has finished downloading project \"") +
                             ToQ(m_engine->General().ProjectName()) + QLatin1Char('"'));
      break;
    case edsDownload:
      m_progress.Start(TCrawlProgress::TClock::now(), ReadCrawlCounts(*m_engine),
                       m_lists->ReadyBytes());
      m_progressTimer->start();
      ShowCrawlProgress();
      s.Set(&TWWWState::StatusText, StatusTextOf(state));
      s.Set(&TWWWState::SaveEnabled, idle);
      s.Set(&TWWWState::SaveAsEnabled, idle);
      s.Set(&TWWWState::CloseEnabled, false);
      s.Set(&TWWWState::StopEnabled, true);
      s.Set(&TWWWState::DownloadEnabled, false);
      s.Set(&TWWWState::UpdateEnabled, false);
      s.Set(&TWWWState::ExportEnabled, false);
      break;
    case edsCancel:
      s.Set(&TWWWState::StatusText, StatusTextOf(state));
      for (auto field :
           {&TWWWState::SaveEnabled, &TWWWState::SaveAsEnabled, &TWWWState::CloseEnabled,
            &TWWWState::StopEnabled, &TWWWState::DownloadEnabled, &TWWWState::UpdateEnabled,
            &TWWWState::ExportEnabled}) {
        s.Set(field, false);
      }
      break;
    default:
      break;
  }
  if (m_host.IsOpenProject(this)) m_host.SetTabImage(this, state);
}

void TWWWDocForm::ShowCrawlProgress() {
  const TCrawlCounts counts = ReadCrawlCounts(*m_engine);
  const auto now = TCrawlProgress::TClock::now();
  m_state.Set(&TWWWState::CrawlCounts, ToQ(TCrawlProgress::CountsText(counts)));
  m_state.Set(&TWWWState::CrawlRate, ToQ(m_progress.RateText(now, m_lists->ReadyBytes())));
  m_state.Set(&TWWWState::CrawlTime, ToQ(m_progress.TimeText(now, counts)));
  m_state.Set(&TWWWState::CrawlFigure,
              windowTitle() + QStringLiteral(": ") + ToQ(TCrawlProgress::DoneOfTotal(counts)));
}

void TWWWDocForm::ApplyBuildAllTree(bool value) {
  m_readyUpdater->SetEnabled(value);
  m_selectorRow->setVisible(value);
  if (!value) ShowTree(0);
}

void TWWWDocForm::SetBusyCursor(bool busy) {
  if (busy == m_busyCursor) return;
  m_busyCursor = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TWWWDocForm::WireDocument() {
  TVornDocument& doc = *m_document;
  doc.OnLoadBegin = [this] {
    SetBusyCursor(true);
    m_state.Set(&TWWWState::InfoText, QStringLiteral("Loading..."));
    m_state.Set(&TWWWState::SaveEnabled, false);
    m_state.Set(&TWWWState::SaveAsEnabled, false);
    m_state.Set(&TWWWState::CloseEnabled, false);
    // The loader keeps the event loop turning; the window only blocks other input.
    m_loadForm = new TLoadForm(window());
    m_loadForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_loadForm, &QObject::destroyed, this, [this] { m_loadForm = nullptr; });
    m_loadForm->ShowModal();
  };
  doc.OnLoadProgress = [this](const std::string& info, int percent) {
    m_state.Set(&TWWWState::InfoText,
                ToQ(info) + QLatin1Char(' ') + QString::number(percent) + QLatin1Char('%'));
    if (m_loadForm != nullptr) {
      m_loadForm->SetProgress(percent);
      // Reports may come in a burst without the loop turning in between: draw each one now.
      m_loadForm->repaint();
    }
  };
  doc.OnLoadError = [this](TFileError error) {
    m_loadFailed = true;
    SetBusyCursor(false);
    const std::string text = "Unable to load \"" + m_document->DocName() + "\"";
    if (m_loadForm != nullptr) {
      m_loadForm->ShowError(error, text);
    } else {
      DialogService().ShowMessageDlg(text, mdiError, mbOk, LoadErrorTitle(error), 0);
    }
  };
  doc.OnLoadEnd = [this] {
    SetBusyCursor(false);
    if (m_loadForm != nullptr) m_loadForm->CloseForm();
    m_allUpdater->SetUseThread(true);
    m_readyUpdater->SetUseThread(true);
    m_state.Set(&TWWWState::InfoText, QString());
    m_state.Set(&TWWWState::SaveEnabled, true);
    m_state.Set(&TWWWState::SaveAsEnabled, true);
    m_state.Set(&TWWWState::CloseEnabled, m_engine->State() == edsReady);
    m_state.Set(&TWWWState::UpdateEnabled,
                m_engine->State() == edsReady && m_engine->ReadyLinks().Count() > 0);
  };
  doc.OnSaveBegin = [this] {
    SetBusyCursor(true);
    m_state.Set(&TWWWState::InfoText, QStringLiteral("Saving..."));
    for (auto field : {&TWWWState::SaveEnabled, &TWWWState::SaveAsEnabled, &TWWWState::CloseEnabled,
                       &TWWWState::FindContentEnabled, &TWWWState::FindFilesEnabled}) {
      m_state.Set(field, false);
    }
    m_state.Set(&TWWWState::Progress, 0);
    m_state.Set(&TWWWState::ProgressVisible, true);
  };
  doc.OnSaveProgress = [this](const std::string& info, int percent) {
    m_state.Set(&TWWWState::InfoText, ToQ(info));
    m_state.Set(&TWWWState::Progress, percent);
  };
  doc.OnSaveEnd = [this](bool) {
    m_state.Set(&TWWWState::InfoText, QString());
    for (auto field : {&TWWWState::SaveEnabled, &TWWWState::SaveAsEnabled,
                       &TWWWState::FindContentEnabled, &TWWWState::FindFilesEnabled}) {
      m_state.Set(field, true);
    }
    m_state.Set(&TWWWState::CloseEnabled, m_engine->State() == edsReady);
    SetBusyCursor(false);
    m_state.Set(&TWWWState::ProgressVisible, false);
    m_state.Set(&TWWWState::Progress, 0);
  };
}

bool TWWWDocForm::LoadProject(const std::string& fileName) {
  m_loadFailed = false;
  const bool loaded = m_document->Load(fileName);
  return loaded && !m_loadFailed;
}

bool TWWWDocForm::TreesIdle() const {
  return m_allUpdater->Idle() && m_readyUpdater->Idle();
}

void TWWWDocForm::Activate(bool active) {
  if (active) {
    m_state.Attach(&m_host);
  } else {
    m_state.Detach();
  }
}

}  // namespace tq
