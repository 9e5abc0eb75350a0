// TWizardForm: both project wizards as one dialog over a TWizardModel: the new-project wizard
// (the caller reads the model after OK and makes the project) and the project wizard of an open
// project (Finish writes the model into the project's settings itself). Interface thread only.
#pragma once

#include <array>

#include <QDialog>

#include "dialogs/wizard_model.h"

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace tq {

class TVornConfirmations;
class TVornTemplates;

class TWizardForm : public QDialog {
 public:
  // templates: where the template page lists its names (null: none listed); settings: the
  // open project the project wizard writes on Finish (null for the new-project wizard);
  // confirmations: asked before closing (null: never asked).
  TWizardForm(TWizardModel model, TVornTemplates* templates, TVornCrawlSettings* settings,
              const TVornConfirmations* confirmations, QWidget* parent = nullptr);

  TWizardModel& Model() { return m_model; }
  QPushButton* BackButton() const { return m_back; }
  QPushButton* NextButton() const { return m_next; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* FinishButton() const { return m_finish; }
  QWidget* PageWidget(TWizardPage page) const { return m_pages.at(page); }

  void done(int result) override;

 private:
  void BuildPages();
  void ShowPage();
  void UpdateNext();

  TWizardModel m_model;
  TVornTemplates* m_templates;
  TVornCrawlSettings* m_settings;
  const TVornConfirmations* m_confirmations;
  QStackedWidget* m_stack = nullptr;
  std::array<QWidget*, wpNextStep + 1> m_pages{};
  QWidget* m_titleBar = nullptr;
  QLabel* m_subtitle = nullptr;
  QListWidget* m_templateList = nullptr;
  QLabel* m_templateName = nullptr;
  QLabel *m_serverLabel = nullptr, *m_folderLabel = nullptr;
  std::array<QWidget*, 4> m_typeBoxes{};
  QPushButton *m_back, *m_next, *m_cancel, *m_finish;
};

}  // namespace tq
