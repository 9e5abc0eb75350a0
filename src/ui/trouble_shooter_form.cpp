// The troubleshooter window and its pages.
#include "ui/trouble_shooter_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/dialog_service.h"
#include "ui/dialog_kit.h"
#include "ui/qt_text.h"

namespace tq {
namespace {

// A link to "close:" closes the window; "close:ok" closes it as confirmed.
constexpr const char* kNoCardPage = R"(<html><body>
<h2>No network connection was found</h2>
<p>Tarnquill found no network adapter on this computer. Without one it cannot download
projects, and the projects you have downloaded cannot be browsed offline either: the copy is
shown through a small web server on this computer, which needs networking switched on.</p>
<h3>What you can do</h3>
<ol>
<li>Check that networking is enabled in your desktop's network settings, or run
<code>nmcli networking on</code> in a terminal.</li>
<li>If your computer connects through a modem or a mobile connection, set the connection up in
<b>Tools - Options - Internet - Dial-UP</b>, so that Tarnquill can dial before it downloads.</li>
<li>If a firewall blocks connections to this computer itself (127.0.0.1), allow them for
Tarnquill.</li>
</ol>
<p>When networking works again, start Tarnquill anew.</p>
<p><a href="close:">Close this window</a></p>
</body></html>)";

}  // namespace

QString TroubleShooterPage(const std::string& topic) {
  if (topic == "nocard") return QString::fromUtf8(kNoCardPage);
  return QStringLiteral(
             "<html><body><p>There is no help for \"%1\".</p>"
             "<p><a href=\"close:\">Close this window</a></p></body></html>")
      .arg(ToQ(topic).toHtmlEscaped());
}

TTroubleShooterForm::TTroubleShooterForm(const std::string& topic, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tarnquill Troubleshooter"));
  setFixedSize(560, 440);
  auto* layout = new QVBoxLayout(this);
  m_page = new QTextBrowser(this);
  m_page->setObjectName(QStringLiteral("page"));
  m_page->setContextMenuPolicy(Qt::NoContextMenu);
  m_page->setOpenLinks(false);
  m_page->setHtml(TroubleShooterPage(topic));
  connect(m_page, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() == QLatin1String("close")) {
      done(url.path() == QLatin1String("ok") ? QDialog::Accepted : QDialog::Rejected);
    } else if (!url.isRelative()) {
      QDesktopServices::openUrl(url);
    } else {
      m_page->scrollToAnchor(url.fragment());
    }
  });
  layout->addWidget(m_page, 1);
  m_dontShow = new QCheckBox(QStringLiteral("Don't show me this again"), this);
  layout->addWidget(m_dontShow);
}

int RunTroubleShooter(const std::string& topic, bool& dontShowAgain) {
  TTroubleShooterForm form(topic, QApplication::activeWindow());
  const int result = ExecModal(form);
  dontShowAgain = form.DontShowAgain()->isChecked();
  return result == QDialog::Accepted ? mrOk : mrCancel;
}

}  // namespace tq
