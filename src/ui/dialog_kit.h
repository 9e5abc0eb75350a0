// Small pieces the project and program dialogs are built from: controls bound to a field of a
// widget-free dialog model (the control shows the field and writes every change back into it),
// a page heading, and the one place where a dialog runs modally, which tests take over to drive
// the dialog through its widgets. Interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include <QDialog>
#include <QString>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QVBoxLayout;

namespace tq {

struct TCheckString;

// Runs dialog modally and returns its result (QDialog::Accepted or Rejected). With a handler
// set, the handler gets the dialog instead and its answer is returned.
int ExecModal(QDialog& dialog);
using TModalHandler = std::function<int(QDialog& dialog)>;
void SetModalHandler(TModalHandler handler);

// A caption for control whose "&" marks the key that moves the focus to it; without a control
// the marker is taken out of the text ("&&" stays a literal "&").
QLabel* CaptionLabel(const QString& text, QWidget* control);
QLabel* AddHeading(QBoxLayout* layout, const QString& text);
// The top of a borderless progress window: title in bold, "This will take a few seconds", a
// busy bar, "Percent done :" and the gauge (0 to 100), which it returns.
QProgressBar* AddBusyGauge(QBoxLayout* layout, const QString& title);

// Each control shows value and writes every change into it; onChange (if given) runs after.
QCheckBox* BindCheck(QBoxLayout* layout, const char* caption, bool& value,
                     std::function<void()> onChange = {});
// The range is widened to hold a stored value outside it, so an untouched box keeps the value.
QSpinBox* BindSpin(QBoxLayout* layout, const char* caption, int min, int max, int& value,
                   int step = 1);
// A stored value beyond what a spin box holds is kept until the box is changed.
QSpinBox* BindSpin(QBoxLayout* layout, const char* caption, int min, int max, int64_t& value);
QLineEdit* BindEdit(QBoxLayout* layout, const char* caption, std::string& value,
                    std::function<void()> onChange = {});
// One radio button per caption; value is the index of the chosen one.
QButtonGroup* BindRadios(QBoxLayout* layout, std::initializer_list<const char*> captions,
                         int& value, std::function<void()> onChange = {});
QButtonGroup* BindRadios(QBoxLayout* layout, std::initializer_list<const char*> captions,
                         bool& second, std::function<void()> onChange = {});

// A page selector tree (no header, no expand buttons) beside a stack of pages, as one row of
// layout that takes its spare height.
QTreeWidget* AddPageSelector(QBoxLayout* layout, QStackedWidget*& stack);
// "&OK", "&Cancel" and "&Help", right-aligned, none a default button; in that order.
std::array<QPushButton*, 3> AddOkCancelHelp(QBoxLayout* layout);
// A list with a column beside it for its edit boxes and buttons.
QListWidget* AddListWithSide(QBoxLayout* layout, QVBoxLayout*& side);
// A caption above an edit box.
QLineEdit* AddCaptionedEdit(QBoxLayout* layout, const char* caption);

// Puts items into list as checkable entries (check = Checked).
void FillCheckList(QListWidget* list, const std::vector<TCheckString>& items);

// The caption of a button found in a dialog by its text, for tests and the screenshot tour.
template <class T>
T* FindByText(QWidget* root, const QString& text) {
  for (T* child : root->findChildren<T*>()) {
    if (child->text() == text) return child;
  }
  return nullptr;
}

}  // namespace tq
