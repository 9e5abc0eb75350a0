#include "ui/new_project_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {

// The height the build switches add below the form when "&More" reveals them.
constexpr int kMoreHeight = 55;

TNewProjectForm::TNewProjectForm(TVornTemplates& templates, QWidget* parent)
    : QDialog(parent), m_model(templates) {
  setObjectName(QStringLiteral("NewProjectForm"));
  setWindowTitle(QStringLiteral("New Project"));
  auto* layout = new QVBoxLayout(this);
  m_selector = AddPageSelector(layout, m_stack);
  m_selector->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Standard Project")}));
  m_selector->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Template Based Project")}));

  auto* standard = new QWidget();
  auto* standardLayout = new QVBoxLayout(standard);
  m_types = new QListWidget();
  for (std::string_view type : kNewProjectTypes) m_types->addItem(ToQ(std::string(type)));
  standardLayout->addWidget(m_types);
  m_typeLabel = new QLabel();
  standardLayout->addWidget(m_typeLabel);
  m_stack->addWidget(standard);

  auto* templated = new QWidget();
  auto* templatedLayout = new QVBoxLayout(templated);
  m_templatesList = new QListWidget();
  templatedLayout->addWidget(m_templatesList);
  auto* usingRow = new QHBoxLayout();
  usingRow->addWidget(new QLabel(QStringLiteral("Using template :")));
  m_templateLabel = new QLabel();
  usingRow->addWidget(m_templateLabel, 1);
  auto* remove = new QPushButton(QStringLiteral("Delete"));
  remove->setToolTip(QStringLiteral("Delete selected template"));
  usingRow->addWidget(remove);
  templatedLayout->addLayout(usingRow);
  m_stack->addWidget(templated);

  BindEdit(layout, "Title :", m_model.Title)->setToolTip(QStringLiteral("The project's name"));
  QLineEdit* url = BindEdit(layout, "Url :", m_model.Url, [this] { Update(); });
  url->setObjectName(QStringLiteral("url"));
  url->setToolTip(QStringLiteral("The address the project starts from"));
  m_buildBoxes = new QWidget();
  auto* boxes = new QVBoxLayout(m_buildBoxes);
  BindCheck(boxes, "Build Links Ready Tree", m_model.BuildAllTree);
  BindCheck(boxes, "Build Ignored Links List", m_model.BuildIgnored);
  BindCheck(boxes, "Build Emails List", m_model.BuildEmails);
  m_buildBoxes->setVisible(false);
  layout->addWidget(m_buildBoxes);

  auto* buttons = new QHBoxLayout();
  m_more = new QPushButton(QStringLiteral("&More"));
  m_more->setToolTip(QStringLiteral("More Options"));
  m_less = new QPushButton(QStringLiteral("&Less"));
  m_less->setToolTip(QStringLiteral("Less options"));
  m_less->setVisible(false);
  buttons->addWidget(m_more);
  buttons->addWidget(m_less);
  buttons->addStretch();
  m_ok = new QPushButton(QStringLiteral("&OK"));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
  auto* help = new QPushButton(QStringLiteral("&Help"));
  for (QPushButton* button : {m_ok, cancel, help}) buttons->addWidget(button);
  layout->addLayout(buttons);

  connect(m_selector, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    m_model.Page = static_cast<TNewProjectPage>(m_selector->indexOfTopLevelItem(item) == 1);
    m_stack->setCurrentIndex(m_model.Page);
    Update();
  });
  connect(m_types, &QListWidget::currentRowChanged, this, [this](int row) {
    m_model.TypeIndex = row;
    Update();
  });
  connect(m_templatesList, &QListWidget::currentRowChanged, this, [this](int row) {
    m_model.TemplateIndex = row;
    Update();
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    m_model.DeleteTemplate();
    FillTemplates();
  });
  auto expand = [this](bool more) {
    m_more->setVisible(!more);
    m_less->setVisible(more);
    m_buildBoxes->setVisible(more);
    resize(width(), height() + (more ? kMoreHeight : -kMoreHeight));
  };
  connect(m_more, &QPushButton::clicked, this, [expand] { expand(true); });
  connect(m_less, &QPushButton::clicked, this, [expand] { expand(false); });
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  FillTemplates();
  m_selector->setCurrentItem(m_selector->topLevelItem(0));
  Update();
}

void TNewProjectForm::FillTemplates() {
  const QSignalBlocker quiet(m_templatesList);
  m_templatesList->clear();
  for (const std::string& name : m_model.TemplateNames()) m_templatesList->addItem(ToQ(name));
  m_templatesList->setCurrentRow(m_model.TemplateIndex);
  Update();
}

void TNewProjectForm::Update() {
  m_typeLabel->setText(ToQ(m_model.TypeLabel()));
  m_templateLabel->setText(ToQ(m_model.TemplateLabel()));
  m_ok->setEnabled(m_model.OkEnabled());
}

}  // namespace tq
