// TFindFileForm: the "Find Files and Folders" dialog. It looks for a keyword in the addresses of
// a project's links on a thread of its own, lists the matches with their list, level and page,
// and closes with OK on "Go to file" so that the main window can show the chosen link.
//
// Threads: interface thread only.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "search/find_files.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tq {

class TVornDownload;

class TFindFileForm : public QDialog {
 public:
  TFindFileForm(TVornDownload& download, const std::string& projectName, QWidget* parent = nullptr);

  // The address of the selected row; empty without one.
  std::string SelectedUrl() const;
  TVornFindFiles& Finder() { return m_find; }

  QLineEdit* KeywordBox() const { return m_keyword; }
  QCheckBox* CaseSensitive() const { return m_case; }
  QPushButton* SearchButton() const { return m_search; }
  QPushButton* GoToButton() const { return m_goTo; }
  QPushButton* CloseButton() const { return m_close; }
  QTreeWidget* Results() const { return m_results; }
  QLabel* StatusPanel() const { return m_status; }
  QProgressBar* Gauge() const { return m_gauge; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  void SearchClick();
  void SearchEnded();
  void UpdateGoTo();

  TVornFindFiles m_find;
  QLineEdit* m_keyword;
  QCheckBox* m_case;
  QPushButton* m_search;
  QPushButton* m_goTo;
  QPushButton* m_close;
  QTreeWidget* m_results;
  QProgressBar* m_animation;
  QProgressBar* m_gauge;
  QLabel* m_status;
};

}  // namespace tq
