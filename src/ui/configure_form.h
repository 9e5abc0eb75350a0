// TConfigureForm: the project properties dialog over a TConfigureModel: a page selector whose
// filter, translation and password nodes carry check boxes, one page per group of crawl
// settings, and OK that writes them all into the project. Interface thread only.
#pragma once

#include <array>
#include <functional>

#include <QDialog>

#include "dialogs/configure_model.h"

class QBoxLayout;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tq {

class TConfigureForm : public QDialog {
 public:
  explicit TConfigureForm(TVornCrawlSettings& settings, QWidget* parent = nullptr);

  TConfigureModel& Model() { return m_model; }
  QTreeWidget* Selector() const { return m_selector; }
  // The selector node of a page (its first node when a group shows it too) and the page.
  QTreeWidgetItem* Node(TConfigurePage page) const;
  QWidget* Page(TConfigurePage page) const { return m_pages.at(page); }
  // The part of a page that its node's check box enables.
  QWidget* CheckedContent(TConfigurePage page) const { return m_content.at(page); }

 private:
  QBoxLayout* NewPage(TConfigurePage page);
  void BuildGeneral();
  void BuildPerformance();
  void BuildFilter(TConfigurePage page);
  void BuildTags();
  void BuildKeywords(TConfigurePage page, TKeywordPage& keywords);
  void BuildTranslation();
  void BuildPasswords();
  void BuildSelector();
  void SyncChecks();

  TConfigureModel m_model;
  QTreeWidget* m_selector = nullptr;
  QStackedWidget* m_stack = nullptr;
  std::array<QWidget*, cpPasswords + 1> m_pages{};
  std::array<QWidget*, cpPasswords + 1> m_content{};
  std::vector<std::function<void()>> m_refresh;
  bool m_aggressive =
      false;  // the recognition mode's second choice  // run when enabling may have changed
};

}  // namespace tq
