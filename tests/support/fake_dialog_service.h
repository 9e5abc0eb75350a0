// A scripted dialog service for tests: answers are queued in advance, every question is recorded
// together with the thread it was asked on.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/main_loop.h"
#include "platform/dialog_service.h"

namespace tq::test {

class TFakeDialogService : public IDialogService {
 public:
  struct Asked {
    std::string kind;  // "message", "login", "folder", "save", "window", "trouble"
    std::string text;  // message text, login caption, title
    std::thread::id thread;
  };

  // Scripted answers, taken in order; when a queue is empty the answer is "cancel".
  std::deque<int> messageAnswers;
  std::deque<TLoginAnswer> loginAnswers;
  std::deque<std::string> folderAnswers;
  std::deque<std::string> saveAnswers;
  // Modal windows: the next script drives the window shown (ticks it, presses its buttons); a
  // window without a script is cancelled at once. The service then runs the event loop until
  // the window's logic has closed it.
  std::deque<std::function<void(TModalWindow&)>> windowScripts;
  // Troubleshooter windows: the result and the state of "Don't show me this again".
  std::deque<std::pair<int, bool>> troubleAnswers;

  // Every status line the modal windows showed, in order; beeps sounded.
  std::vector<std::string> statuses;
  int beeps = 0;
  // Runs while the login prompt is open, before it answers: a modal dialog's own loop.
  std::function<void()> whileLoginOpen;

  std::vector<Asked> Questions() const {
    std::lock_guard lock(m_mutex);
    return m_asked;
  }

  int ShowMessageDlg(const std::string& text, TMsgDlgIcon, unsigned, const std::string&,
                     int) override {
    return Take(messageAnswers, "message", text, int(mrCancel));
  }
  TLoginAnswer PromptLogin(const TLoginRequest& request) override {
    if (whileLoginOpen) whileLoginOpen();
    return Take(loginAnswers, "login", request.Caption, TLoginAnswer{});
  }
  std::string BrowseForFolder(const std::string& title, int) override {
    return Take(folderAnswers, "folder", title, std::string());
  }
  std::string PromptSaveFile(const std::string& title, const std::string&,
                             const std::string&) override {
    return Take(saveAnswers, "save", title, std::string());
  }
  int ShowModalWindow(TModalWindow& window) override {
    const auto script =
        Take(windowScripts, "window", window.Heading, std::function<void(TModalWindow&)>());
    window.OnChanged = [this, &window] {
      if (!window.Closed() || statuses.empty() || statuses.back() != window.Status()) {
        statuses.push_back(window.Status());
      }
    };
    if (window.OnShow) window.OnShow();
    if (script) {
      script(window);
    } else if (window.OnButton) {
      window.OnButton(mrCancel);
    }
    RunUntil([&window] { return window.Closed(); }, Millis(60000));
    window.OnChanged = nullptr;
    return window.Result();
  }
  void Beep() override { ++beeps; }
  int ShowTroubleShooter(const std::string& topic, bool& dontShowAgain) override {
    const auto [result, dontShow] =
        Take(troubleAnswers, "trouble", topic, std::pair(int(mrCancel), false));
    dontShowAgain = dontShow;
    return result;
  }

 private:
  template <class T>
  T Take(std::deque<T>& answers, const char* kind, const std::string& text, T fallback) {
    std::lock_guard lock(m_mutex);
    m_asked.push_back({kind, text, std::this_thread::get_id()});
    if (answers.empty()) return fallback;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }

  mutable std::mutex m_mutex;
  std::vector<Asked> m_asked;
};

}  // namespace tq::test
