// The tips dialog ("Tips and Tricks") and the Help menu's commands that lead away from the
// program: the help contents, the support page and the home page, opened by the desktop's
// browser. Interface thread only.
#pragma once

#include <string>

#include <QDialog>

class QCheckBox;
class QLabel;

namespace tq {

class TMainForm;

// The tips shown one after the other, starting at first (wrapped into range).
class TTipsForm : public QDialog {
 public:
  TTipsForm(int first, bool showOnStartup, QWidget* parent = nullptr);

  int Tip() const { return m_tip; }
  void NextTip();
  QLabel* Text() const { return m_text; }
  QCheckBox* ShowOnStartup() const { return m_showOnStartup; }

 private:
  int m_tip = 0;
  QLabel* m_text = nullptr;
  QCheckBox* m_showOnStartup = nullptr;
};

// Shows the tips modally, going on from the tip after the one shown last; the tip and the
// "&Show Tips on Startup" box are kept in section "Tips" of configFile.
void ShowTips(const std::string& configFile, QWidget* parent);
// Whether configFile asks for the tips at start (off unless the user turned it on).
bool TipsOnStartup(const std::string& configFile);

// Connects HelpHelp (the manual's page about the window) and TipsAction of window, hides
// TehnicalsupportAction and HelpHomePage, and lets F1 open the manual in every window.
void WireHelpCommands(TMainForm& window);

}  // namespace tq
