// TOptionsForm: the program's options dialog over a TOptionsDialogModel, and the e-book compiler
// finder window it opens from its export page. OK takes the controls over into the options and
// stays open when a time box holds no time. Interface thread only.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QDialog>

#include "dialogs/find_compiler_model.h"
#include "dialogs/options_dialog_model.h"

class QBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QWidget;

namespace tq {

class TOptionsForm : public QDialog {
 public:
  TOptionsForm(TVornOptions& options, std::vector<std::string> phonebook,
               QWidget* parent = nullptr);

  TOptionsDialogModel& Model() { return m_model; }
  QTreeWidget* Selector() const { return m_selector; }
  QWidget* Page(TOptionsPage page) const { return m_pages.at(page); }
  QLineEdit* DisconnectTimeBox() const { return m_disconnectTime; }
  QLineEdit* ExitTimeBox() const { return m_exitTime; }

 private:
  QBoxLayout* NewPage(TOptionsPage page);
  void BuildInternet();
  void BuildProxy(TOptionsPage page, TProxyControls& proxy);
  void BuildBrowsers();
  void BuildAdvanced();
  void TakeOver();

  TOptionsDialogModel m_model;
  QTreeWidget* m_selector = nullptr;
  QStackedWidget* m_stack = nullptr;
  std::array<QWidget*, opExport + 1> m_pages{};
  QLineEdit *m_disconnectTime = nullptr, *m_exitTime = nullptr;
};

class TFindCompilerForm : public QDialog {
 public:
  explicit TFindCompilerForm(QWidget* parent = nullptr);

  TFindCompilerModel& Model() { return m_model; }
  QPushButton* StartButton() const { return m_start; }
  QListWidget* FoundList() const { return m_list; }

  void reject() override;  // refused while searching

 private:
  void Update();

  TFindCompilerModel m_model;
  QPushButton *m_start, *m_ok, *m_cancel;
  QListWidget* m_list;
  QLabel *m_idle, *m_folder;
};

}  // namespace tq
