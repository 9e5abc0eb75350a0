// TTroubleShooterForm: the help window for a known problem found at start-up ("nocard": no
// network adapter). It shows the topic's page and a "Don't show me this again" check box; it has
// no OK button: the user or a "close" link on the page closes it. Interface thread only.
#pragma once

#include <string>

#include <QDialog>

class QCheckBox;
class QTextBrowser;

namespace tq {

class TTroubleShooterForm : public QDialog {
 public:
  explicit TTroubleShooterForm(const std::string& topic, QWidget* parent = nullptr);

  QTextBrowser* Page() const { return m_page; }
  QCheckBox* DontShowAgain() const { return m_dontShow; }

 private:
  QTextBrowser* m_page = nullptr;
  QCheckBox* m_dontShow = nullptr;
};

// The page of topic (HTML); a short notice for a topic without a page.
QString TroubleShooterPage(const std::string& topic);

// The dialog service's ShowTroubleShooter: the window for topic, modal; mrCancel unless its page
// closed it with OK.
int RunTroubleShooter(const std::string& topic, bool& dontShowAgain);

}  // namespace tq
