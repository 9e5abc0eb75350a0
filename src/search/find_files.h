// TVornFindFiles: the search of a project's link addresses for a keyword, the headless part of
// the "Find Files and Folders" dialog. It walks the Ready, Queue, Failed and Ignored lists on a
// thread of its own and keeps a row per matching link with the list it is in; the texts the
// dialog shows (status panel, button caption, heading) come from here.
//
// Thread rules: create, use and destroy it on the interface thread; its events are raised there.
// The walk reads each list under its lock one link at a time, so a crawl may run meanwhile. The
// controller is not owned and must outlive the object (destroying it stops the walk).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

class TVornBackgroundThread;
class TVornDownload;

// One result row: the texts it shows, copied from the link when the row was made.
struct TFindFileItem {
  std::string Url;     // the link's absolute address
  std::string Status;  // "Ready", "Queue", "Failed" or "Ignored"
  int32_t Level = 0;
  std::string Page;    // the page the link was found on
  int ImageIndex = 0;  // 0 Ready, 1 Queue, 2 Failed, 3 Ignored
};

class TVornFindFiles {
 public:
  using TNotifyEvent = std::function<void(TVornFindFiles& sender)>;
  using TProgressEvent = std::function<void(TVornFindFiles& sender, int percent)>;
  using TItemsAdded = std::function<void(TVornFindFiles& sender, int first, int count)>;

  explicit TVornFindFiles(TVornDownload& download);
  // Stops a running walk without raising OnSearchEnd.
  ~TVornFindFiles();
  TVornFindFiles(const TVornFindFiles&) = delete;
  TVornFindFiles& operator=(const TVornFindFiles&) = delete;

  // The dialog's heading for a project of that name.
  static std::string Heading(std::string_view projectName);

  // Starts a walk when idle: clears the rows and the gauge and looks for keyword (as given, the
  // empty keyword matching nothing) in every link's absolute address, letter case ignored
  // (Windows-1252 upper case) unless caseSensitive. Does nothing while a walk runs.
  void Search(const std::string& keyword, bool caseSensitive);
  // Asks a running walk to stop after the link at hand; the rows found so far stay and
  // OnSearchEnd follows as after a full walk.
  void Cancel();

  bool Idle() const { return m_idle; }
  int Percent() const { return m_percent; }  // the gauge
  // The status panel: "0 Records found" at first, "Searching ..." during a walk, then the
  // number of rows followed by " records found".
  const std::string& StatusText() const { return m_status; }
  // The caption of the search button: "&Search" when idle, "&Cancel" during a walk.
  std::string_view SearchCaption() const { return m_idle ? "&Search" : "&Cancel"; }
  const std::vector<TFindFileItem>& Items() const { return m_items; }

  TProgressEvent OnProgress;  // the gauge changed
  TItemsAdded OnItemsAdded;   // rows appended to Items
  TNotifyEvent OnSearchEnd;   // the walk has ended; the object is idle again

 private:
  void Walk(TVornBackgroundThread& thread, const std::string& keyword, bool caseSensitive);

  TVornDownload& m_download;
  std::vector<TFindFileItem> m_items;
  std::unique_ptr<TVornBackgroundThread> m_thread;
  bool m_idle = true;
  int m_percent = 0;
  std::string m_status = "0 Records found";
};

}  // namespace tq
