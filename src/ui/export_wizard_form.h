// TExportForm: the export wizard's window over its widget-free model: one page widget per page
// of the model, the title panel, and Back, Next, Cancel and Finish following the model.
//
// Threads: interface thread only.
#pragma once

#include <functional>
#include <memory>

#include <QDialog>

#include "dialogs/export_wizard_model.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QVBoxLayout;

namespace tq {

class TVornOptions;

class TExportForm : public QDialog {
 public:
  // options (may be null) names the e-book compiler.
  TExportForm(TVornDownload& download, TVornDocument* document, int startMode,
              const TVornOptions* options, QWidget* parent = nullptr);
  ~TExportForm() override;

  TExportWizardModel& Model() { return *m_model; }
  QPushButton* BackButton() const { return m_back; }
  QPushButton* NextButton() const { return m_next; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* FinishButton() const { return m_finish; }
  QLabel* TitleLabel() const { return m_title; }
  QLabel* StatusLabel() const { return m_status; }
  QTreeWidget* EmailList() const { return m_emails; }

  // The wizard ended its job while minimised: (title, text) of a tray notice.
  std::function<void(const QString& title, const QString& text)> OnNotice;

 protected:
  void changeEvent(QEvent* event) override;
  void reject() override;

 private:
  QWidget* AddPage(int page, QVBoxLayout*& layout);
  void BuildPages();
  QLineEdit* AddFileField(QVBoxLayout* layout, std::string& value);
  void Refresh();
  void FillPage(int page);

  std::unique_ptr<TExportWizardModel> m_model;
  QStackedWidget* m_pages = nullptr;
  QLabel* m_title = nullptr;
  QPushButton* m_back = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_finish = nullptr;
  QProgressBar* m_linksGauge = nullptr;
  QTreeWidget* m_emails = nullptr;
  QLineEdit* m_folder = nullptr;
  QLineEdit* m_destination = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_fileCaption = nullptr;
  QLabel* m_fileLine = nullptr;
  QProgressBar* m_gauge = nullptr;
  QListWidget* m_templates = nullptr;
  QLineEdit* m_templateName = nullptr;
  int m_shownPage = -1;
};

}  // namespace tq
