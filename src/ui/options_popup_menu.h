// TVornOptionsPopupMenu: the context menu of a project window's link trees. It opens a link in
// the project's browser or in an external browser, removes links from the project, and puts a
// fetched document on the clipboard as a file a file manager can paste: the stored copy is
// written to a file in the project's working folder first, its links put back in place.
//
// Threads: interface thread only. It changes the lists only through the controller's commands,
// and touches the clipboard holding no list lock.
#pragma once

#include <functional>
#include <string>

#include <QMenu>

#include "ui/www_options.h"

class QTreeView;

namespace tq {

class TVornDocument;
class TVornDownload;

class TVornOptionsPopupMenu : public QMenu {
 public:
  using TBrowseEvent = std::function<void(const std::string& url)>;

  // serverPrefix gives the offline server's address prefix when a browser needs it.
  TVornOptionsPopupMenu(TVornDownload& download, TVornDocument& document,
                        std::function<std::string()> serverPrefix, QWidget* parent = nullptr);
  // Deletes the temporary file of the last Cut or Copy.
  ~TVornOptionsPopupMenu() override;

  // Rebuilds the items for tree (null: an empty menu) and remembers it for the commands.
  void Build(QTreeView* tree);
  // Build, then shows the menu at a screen position.
  void Popup(QTreeView* tree, const QPoint& at);
  QTreeView* Tree() const { return m_tree; }

  // The edit command tests on the remembered tree.
  bool CanDelete() const;
  bool CanCut() const;
  bool CanCopy() const { return CanCut(); }
  bool CanPaste() const { return false; }
  // Runs Delete, Cut, Copy or Paste on the remembered tree.
  void Run(TEditCommand command);

  void Browse();
  // Starts the external browser of that caption with the selected link.
  void BrowseWith(const std::string& caption);
  void Delete();
  void Cut();
  void Copy();
  void CopyAsShortcut();
  // Nothing is ever pasted into a project.
  void Paste() {}

  // The file the last Cut or Copy put on the clipboard; empty before one.
  const std::string& TempFile() const { return m_tempFile; }

  TBrowseEvent OnBrowse;

 private:
  // The absolute address of the first selected node's link; empty without one.
  std::string SelectedUrl() const;
  bool InReady(const std::string& url) const;
  bool ConfirmRemoval(const std::string& url, const char* verb, const char* title);
  // Writes the stored document of url to the working folder; false when it cannot.
  bool ExtractToTempFile(const std::string& url);
  void DeleteTempFile();

  TVornDownload& m_download;
  TVornDocument& m_document;
  std::function<std::string()> m_serverPrefix;
  QTreeView* m_tree = nullptr;
  QMenu* m_browseWith = nullptr;
  std::string m_tempFile;
};

// Puts a file on the clipboard as a file managers paste it: a file list (text/uri-list) and the
// copy request of GNOME-style file managers (x-special/gnome-copied-files), with the path as text.
void PutFileOnClipboard(const std::string& path);

}  // namespace tq
