#include "ui/dialog_kit.h"

#include <algorithm>
#include <climits>

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>

#include "foundation/check_strings.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

TModalHandler& Handler() {
  static TModalHandler handler;
  return handler;
}

// A caption label before a control, on one row.
void Row(QBoxLayout* layout, const char* caption, QWidget* control) {
  auto* row = new QHBoxLayout();
  layout->addLayout(row);
  if (caption != nullptr && *caption != '\0')
    row->addWidget(CaptionLabel(QString::fromLatin1(caption), control));
  row->addWidget(control);
}

}  // namespace

QLabel* CaptionLabel(const QString& text, QWidget* control) {
  // A label shows its "&" as a mnemonic only when it has a control to hand the focus to; without
  // one the marker would be shown as it is.
  if (control == nullptr) {
    QString shown = text;
    shown.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
    return new QLabel(shown);
  }
  auto* label = new QLabel(text);
  label->setBuddy(control);
  return label;
}

int ExecModal(QDialog& dialog) {
  if (Handler()) return Handler()(dialog);
  return dialog.exec();
}

void SetModalHandler(TModalHandler handler) {
  Handler() = std::move(handler);
}

QLabel* AddHeading(QBoxLayout* layout, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(QStringLiteral("heading"));
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setAutoFillBackground(true);
  label->setStyleSheet(QStringLiteral("background: rgb(190, 204, 255); padding: 4px;"));
  layout->addWidget(label);
  return label;
}

QProgressBar* AddBusyGauge(QBoxLayout* layout, const QString& title) {
  auto* heading = new QLabel(title);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  layout->addWidget(new QLabel(QStringLiteral("This will take a few seconds")));
  auto* animation = new QProgressBar();
  animation->setRange(0, 0);  // busy, whatever the gauge says: the style animates it by itself
  animation->setTextVisible(false);
  animation->setMaximumHeight(8);
  layout->addWidget(animation);
  layout->addWidget(new QLabel(QStringLiteral("Percent done :")));
  auto* gauge = new QProgressBar();
  gauge->setRange(0, 100);
  layout->addWidget(gauge);
  return gauge;
}

QCheckBox* BindCheck(QBoxLayout* layout, const char* caption, bool& value,
                     std::function<void()> onChange) {
  auto* box = new QCheckBox(QString::fromLatin1(caption));
  box->setChecked(value);
  QObject::connect(box, &QCheckBox::toggled, box, [&value, onChange](bool on) {
    value = on;
    if (onChange) onChange();
  });
  layout->addWidget(box);
  return box;
}

QSpinBox* BindSpin(QBoxLayout* layout, const char* caption, int min, int max, int& value,
                   int step) {
  auto* spin = new QSpinBox();
  spin->setRange(std::min(min, value), std::max(max, value));
  spin->setSingleStep(step);
  spin->setValue(value);
  QObject::connect(spin, &QSpinBox::valueChanged, spin, [&value](int v) { value = v; });
  Row(layout, caption, spin);
  return spin;
}

QSpinBox* BindSpin(QBoxLayout* layout, const char* caption, int min, int max, int64_t& value) {
  int shown = static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  auto* spin = new QSpinBox();
  spin->setRange(std::min(min, shown), std::max(max, shown));
  spin->setValue(shown);
  QObject::connect(spin, &QSpinBox::valueChanged, spin, [&value](int v) { value = v; });
  Row(layout, caption, spin);
  return spin;
}

QLineEdit* BindEdit(QBoxLayout* layout, const char* caption, std::string& value,
                    std::function<void()> onChange) {
  auto* edit = new QLineEdit(ToQ(value));
  QObject::connect(edit, &QLineEdit::textEdited, edit, [&value, onChange](const QString& text) {
    value = FromQ(text);
    if (onChange) onChange();
  });
  Row(layout, caption, edit);
  return edit;
}

QButtonGroup* BindRadios(QBoxLayout* layout, std::initializer_list<const char*> captions,
                         int& value, std::function<void()> onChange) {
  auto* group = new QButtonGroup(layout);
  int id = 0;
  for (const char* caption : captions) {
    auto* radio = new QRadioButton(QString::fromLatin1(caption));
    group->addButton(radio, id);
    radio->setChecked(id == value);
    layout->addWidget(radio);
    ++id;
  }
  QObject::connect(group, &QButtonGroup::idToggled, group, [&value, onChange](int which, bool on) {
    if (!on) return;
    value = which;
    if (onChange) onChange();
  });
  return group;
}

QButtonGroup* BindRadios(QBoxLayout* layout, std::initializer_list<const char*> captions,
                         bool& second, std::function<void()> onChange) {
  auto* group = new QButtonGroup(layout);
  int id = 0;
  for (const char* caption : captions) {
    auto* radio = new QRadioButton(QString::fromLatin1(caption));
    group->addButton(radio, id);
    radio->setChecked((id == 1) == second);
    layout->addWidget(radio);
    ++id;
  }
  QObject::connect(group, &QButtonGroup::idToggled, group, [&second, onChange](int which, bool on) {
    if (!on) return;
    second = which == 1;
    if (onChange) onChange();
  });
  return group;
}

QTreeWidget* AddPageSelector(QBoxLayout* layout, QStackedWidget*& stack) {
  auto* row = new QHBoxLayout();
  layout->addLayout(row, 1);
  auto* selector = new QTreeWidget();
  selector->setHeaderHidden(true);
  selector->setRootIsDecorated(false);
  selector->setItemsExpandable(false);
  selector->setMaximumWidth(200);
  row->addWidget(selector);
  stack = new QStackedWidget();
  row->addWidget(stack, 1);
  return selector;
}

std::array<QPushButton*, 3> AddOkCancelHelp(QBoxLayout* layout) {
  auto* row = new QHBoxLayout();
  row->addStretch();
  std::array<QPushButton*, 3> buttons = {new QPushButton(QStringLiteral("&OK")),
                                         new QPushButton(QStringLiteral("&Cancel")),
                                         new QPushButton(QStringLiteral("&Help"))};
  for (QPushButton* button : buttons) {
    button->setAutoDefault(false);
    row->addWidget(button);
  }
  layout->addLayout(row);
  return buttons;
}

QListWidget* AddListWithSide(QBoxLayout* layout, QVBoxLayout*& side) {
  auto* row = new QHBoxLayout();
  layout->addLayout(row, 1);
  auto* list = new QListWidget();
  row->addWidget(list, 1);
  side = new QVBoxLayout();
  row->addLayout(side);
  return list;
}

QLineEdit* AddCaptionedEdit(QBoxLayout* layout, const char* caption) {
  auto* box = new QLineEdit();
  layout->addWidget(CaptionLabel(QString::fromLatin1(caption), box));
  layout->addWidget(box);
  return box;
}

void FillCheckList(QListWidget* list, const std::vector<TCheckString>& items) {
  const QSignalBlocker quiet(list);
  list->clear();
  for (const TCheckString& item : items) {
    auto* row = new QListWidgetItem(ToQ(item.Value), list);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(item.Checked ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace tq
