// TNewProjectForm: the new project dialog ("Other ..."): project types or templates, title,
// address and the three build switches under "&More". The caller reads Model() after OK.
// Interface thread only.
#pragma once

#include <QDialog>

#include "dialogs/new_project_model.h"

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QWidget;

namespace tq {

class TNewProjectForm : public QDialog {
 public:
  explicit TNewProjectForm(TVornTemplates& templates, QWidget* parent = nullptr);

  TNewProjectModel& Model() { return m_model; }
  QTreeWidget* Selector() const { return m_selector; }
  QListWidget* TypeList() const { return m_types; }
  QListWidget* TemplateList() const { return m_templatesList; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* MoreButton() const { return m_more; }

 private:
  void Update();
  void FillTemplates();

  TNewProjectModel m_model;
  QTreeWidget* m_selector = nullptr;
  QStackedWidget* m_stack = nullptr;
  QListWidget *m_types = nullptr, *m_templatesList = nullptr;
  QLabel *m_typeLabel = nullptr, *m_templateLabel = nullptr;
  QWidget* m_buildBoxes = nullptr;
  QPushButton *m_ok, *m_more, *m_less;
};

}  // namespace tq
