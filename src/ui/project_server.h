// TProjectServer: a project window's offline server, as the window uses it: started once the
// window's error handler is in place, asked for the prefix of offline addresses, and reporting
// a start-up failure as the message the window shows. Interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tq {

class TVornDownload;

class TProjectServer {
 public:
  explicit TProjectServer(TVornDownload& engine);
  // Stops serving first.
  ~TProjectServer();
  TProjectServer(const TProjectServer&) = delete;
  TProjectServer& operator=(const TProjectServer&) = delete;

  // Starts listening; a failure raises OnError (or nothing, for a failure nobody is told of).
  void Start();
  bool Active() const;
  std::string ServerPrefix() const;

  // A start-up failure, as the title and text of a warning with Yes and No.
  std::function<void(const std::string& title, const std::string& text)> OnError;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> m_impl;
};

}  // namespace tq
