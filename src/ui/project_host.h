// IProjectHost: what a project window asks of the main window that holds it as a tab.
// Interface thread only.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "ui/www_options.h"

namespace tq {

class TWWWDocForm;

// A new project from an address: line 0 the address, line 1 (if any) the project name, the three
// build switches, whether to start crawling and whether a template may be chosen.
struct TNewProjectRequest {
  std::vector<std::string> Lines;
  bool BuildAllTree = false;
  bool BuildIgnored = false;
  bool BuildEmails = false;
  bool StartDownload = true;
  bool UseTemplate = true;
};

class IProjectHost : public ICommandTarget {
 public:
  // The window is one of the open projects (false while it is created or after it was closed).
  virtual bool IsOpenProject(const TWWWDocForm* window) const = 0;
  // The image of the window's tab: the engine state's ordinal.
  virtual void SetTabImage(TWWWDocForm* window, int image) = 0;
  // The tab caption follows the window caption.
  virtual void SetTabCaption(TWWWDocForm* window, const QString& caption) = 0;
  // Re-reads which tab is active.
  virtual void SyncActiveTab() = 0;
  virtual void ShowBalloon(const QString& title, const QString& text) = 0;
  virtual void NewProjectFromAddress(const TNewProjectRequest& request) = 0;
  // A named project was closed: its file goes to the top of the recent projects.
  virtual void AddRecentProject(const std::string& fileName) = 0;
};

}  // namespace tq
