// The link trees' context menu and its clipboard file.
#include "ui/options_popup_menu.h"

#include <cstdio>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "engine/download.h"
#include "formats/stored_document.h"
#include "foundation/atomic_file.h"
#include "foundation/url.h"
#include "options/options.h"
#include "platform/dialog_service.h"
#include "storage/document.h"
#include "ui/hot_key.h"
#include "ui/link_images.h"
#include "ui/link_tree.h"
#include "ui/qt_text.h"

namespace tq {

void PutFileOnClipboard(const std::string& path) {
  const QUrl url = QUrl::fromLocalFile(PathToQ(path));
  auto* data = new QMimeData;
  data->setUrls({url});
  // Both Cut and Copy ask for a copy: the project keeps its stored document either way.
  data->setData(QStringLiteral("x-special/gnome-copied-files"),
                QByteArray("copy\n") + url.toEncoded());
  data->setText(PathToQ(path));
  QGuiApplication::clipboard()->setMimeData(data);
}

TVornOptionsPopupMenu::TVornOptionsPopupMenu(TVornDownload& download, TVornDocument& document,
                                             std::function<std::string()> serverPrefix,
                                             QWidget* parent)
    : QMenu(parent),
      m_download(download),
      m_document(document),
      m_serverPrefix(std::move(serverPrefix)) {}

TVornOptionsPopupMenu::~TVornOptionsPopupMenu() {
  DeleteTempFile();
}

std::string TVornOptionsPopupMenu::SelectedUrl() const {
  if (m_tree == nullptr || m_tree->selectionModel() == nullptr) return {};
  const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return {};
  const auto* tree = dynamic_cast<const TVornLinkTree*>(m_tree->model());
  return tree != nullptr ? tree->UrlOf(selected.first()) : std::string();
}

bool TVornOptionsPopupMenu::InReady(const std::string& url) const {
  try {
    return !url.empty() && m_download.ReadyLinks().Contains(kFindExact, url);
  } catch (const std::exception&) {
    return false;
  }
}

bool TVornOptionsPopupMenu::CanDelete() const {
  return !SelectedUrl().empty();
}

bool TVornOptionsPopupMenu::CanCut() const {
  return InReady(SelectedUrl());
}

void TVornOptionsPopupMenu::Build(QTreeView* tree) {
  clear();
  // clear() keeps the submenus, which the menu owns: the last one goes with its items.
  if (m_browseWith != nullptr) m_browseWith->deleteLater();
  m_browseWith = nullptr;
  m_tree = tree;
  if (tree == nullptr) return;
  const auto item = [this](const char* caption, int image, const char* shortcut, bool enabled,
                           void (TVornOptionsPopupMenu::*command)()) {
    QAction* action = addAction(QString::fromLatin1(caption), this, command);
    if (image >= 0) action->setIcon(LinkImage(image));
    action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
    action->setEnabled(enabled);
  };
  const bool canDelete = CanDelete();
  item("Browse", 0, "Enter", canDelete, &TVornOptionsPopupMenu::Browse);
  addSeparator();
  const TVornOptions* options = m_download.VornOptions();
  if (canDelete && options != nullptr && options->ExtBrowsers.Count() > 0) {
    QMenu* with = m_browseWith = addMenu(QStringLiteral("Browse with"));
    for (int i = 0; i < options->ExtBrowsers.Count(); ++i) {
      const TVornUtilityApp& app = options->ExtBrowsers.Items(i);
      const std::string caption = app.Caption;
      QAction* action =
          with->addAction(ToQ(caption), this, [this, caption] { BrowseWith(caption); });
      action->setShortcut(HotKeySequence(app.HotKey));
      action->setEnabled(app.Enabled);
    }
  }
  addSeparator();
  item("Delete", 1, "Del", canDelete, &TVornOptionsPopupMenu::Delete);
  item("Cut", 2, "Ctrl+X", CanCut(), &TVornOptionsPopupMenu::Cut);
  item("Copy", 3, "Ctrl+C", CanCopy(), &TVornOptionsPopupMenu::Copy);
  item("Copy As Shortcut", 3, "Ctrl+C", true, &TVornOptionsPopupMenu::CopyAsShortcut);
  item("Paste", 4, "Ctrl+V", CanPaste(), &TVornOptionsPopupMenu::Paste);
}

void TVornOptionsPopupMenu::Popup(QTreeView* tree, const QPoint& at) {
  Build(tree);
  popup(at);
}

void TVornOptionsPopupMenu::Run(TEditCommand command) {
  switch (command) {
    case ecDelete:
      Delete();
      break;
    case ecCut:
      Cut();
      break;
    case ecCopy:
      Copy();
      break;
    case ecPaste:
      break;
  }
}

void TVornOptionsPopupMenu::Browse() {
  const std::string url = SelectedUrl();
  if (!url.empty() && OnBrowse) OnBrowse(url);
}

void TVornOptionsPopupMenu::BrowseWith(const std::string& caption) {
  const std::string url = SelectedUrl();
  const TVornOptions* options = m_download.VornOptions();
  if (url.empty() || options == nullptr) return;
  tq::BrowseWith(options->ExtBrowsers, caption, url, InReady(url), m_serverPrefix());
}

bool TVornOptionsPopupMenu::ConfirmRemoval(const std::string& url, const char* verb,
                                           const char* title) {
  if (m_download.DeletedLinks().Contains(kFindExact, url)) return false;
  return DialogService().ShowMessageDlg(
             std::string("Are you sure you want to ") + verb + " \n\r" + url + " from project?",
             mdiConfirmation, mbYes | mbNo, title, 0) == mrYes;
}

void TVornOptionsPopupMenu::Delete() {
  const std::string url = SelectedUrl();
  if (url.empty() || !ConfirmRemoval(url, "delete", "Delete")) return;
  m_download.DeleteLink(url);
}

void TVornOptionsPopupMenu::Cut() {
  const std::string url = SelectedUrl();
  if (url.empty() || !ConfirmRemoval(url, "cut", "Cut")) return;
  if (ExtractToTempFile(url)) PutFileOnClipboard(m_tempFile);
  m_download.CutLink(url);
}

void TVornOptionsPopupMenu::Copy() {
  const std::string url = SelectedUrl();
  if (!url.empty() && ExtractToTempFile(url)) PutFileOnClipboard(m_tempFile);
}

void TVornOptionsPopupMenu::CopyAsShortcut() {
  const std::string url = SelectedUrl();
  if (!url.empty()) QGuiApplication::clipboard()->setText(ToQ(url));
}

bool TVornOptionsPopupMenu::ExtractToTempFile(const std::string& url) {
  DeleteTempFile();
  const std::string& folder = m_document.Folder();
  if (folder.empty()) return false;
  std::string name = ExtractUrlFileName(url);
  // A name that is no plain file name would leave the working folder.
  if (name.empty() || name == "." || name == "..") name = "index.html";
  const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
  try {
    const std::string content = m_document.GetDocumentContent(url);
    const std::string type = m_document.GetDocumentValue(url, kIndexContentType);
    if (!WriteFileAtomically(path, RenderStoredDocument(type, content))) return false;
  } catch (const EArchiveError& e) {
    // The page is named rather than copied as nothing.
    DialogService().ShowMessageDlg(e.what(), mdiError, mbOk, "Read Error", 0);
    return false;
  } catch (const std::exception&) {
    return false;
  }
  m_tempFile = path;
  return true;
}

void TVornOptionsPopupMenu::DeleteTempFile() {
  if (m_tempFile.empty()) return;
  std::remove(m_tempFile.c_str());
  m_tempFile.clear();
}

}  // namespace tq
