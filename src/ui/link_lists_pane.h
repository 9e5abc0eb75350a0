// TLinkListsPane: the bottom pane of a project window: the six link lists, each with its counter
// line, behind a tab strip whose tabs show the lists' counts, fed by the engine's list events,
// with column sorting, the lists' menus and the gestures that open a link. Interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <QWidget>

#include "engine/download.h"
#include "ui/link_list_model.h"

class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QTreeView;

namespace tq {

class TLinkListsPane : public QWidget {
 public:
  // Takes over the engine's list, work, status and fetch-start events; the engine must not
  // deliver events after the pane is gone.
  TLinkListsPane(TVornDownload& engine, QWidget* parent = nullptr);

  TVornLinkListModel& Model(TLinkListKind kind) { return *m_lists[size_t(kind)].Model; }
  QTreeView* View(TLinkListKind kind) const { return m_lists[size_t(kind)].View; }
  QLabel* Counter(TLinkListKind kind) const { return m_lists[size_t(kind)].Counter; }
  QTabBar* Tabs() const { return m_tabs; }
  // The list whose page shows now.
  TLinkListKind Shown() const;
  // The bytes of every link that arrived in the Ready list while the pane watched.
  int64_t ReadyBytes() const { return m_readyBytes; }
  // Brings the tab of kind to the front, when it is shown.
  void ShowList(TLinkListKind kind);
  // Adds or removes the tab of the Ignored or Emails list (the lists fill either way).
  void ShowOptionalTab(TLinkListKind kind, bool shown);
  // The list menu for kind, built as on opening it (tests read its items).
  QMenu* BuildMenu(TLinkListKind kind);

  // A link to open in the browser: offline (through the server) or online.
  std::function<void(const std::string& url, bool offline)> OnBrowse;
  std::function<void(const std::string& url)> OnGoToFile;
  // An e-mail address to hand to the desktop's mail program.
  std::function<void(const std::string& address)> OnSendMail;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TList {
    TVornLinkListModel* Model = nullptr;
    QTreeView* View = nullptr;
    QLabel* Counter = nullptr;
    QWidget* Page = nullptr;
  };

  void OpenSelected(TLinkListKind kind, bool enterKey);
  // The first selected row's caption; empty when nothing is selected.
  std::string SelectedText(TLinkListKind kind) const;
  void WireEvents();

  TVornDownload& m_engine;
  QTabBar* m_tabs = nullptr;
  QStackedWidget* m_pages = nullptr;
  std::array<TList, kLinkListKinds> m_lists;
  QMenu* m_menu = nullptr;
  int64_t m_readyBytes = 0;
};

}  // namespace tq
