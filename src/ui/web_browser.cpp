// The web engine behind the project window's browser. This is the one source file that includes
// the web engine's headers: they are heavy to compile.
#include <QInputDialog>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ui/project_browser.h"

namespace tq {
namespace {

// Pages raise no message boxes and report no script errors: the copy is browsed, not debugged.
class TQuietPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
    return false;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}
};

class TWebBrowser : public TProjectBrowser {
 public:
  explicit TWebBrowser(QWidget* parent) : TProjectBrowser(parent) {
    // Off the record: the copy's cookies and cache stay with this window.
    m_profile = new QWebEngineProfile();
    m_profile->setHttpUserAgent(QString::fromLatin1(kBrowserUserAgent));
    m_view = new QWebEngineView(this);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    auto* page = new TQuietPage(m_profile, m_view);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    m_view->setPage(page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    connect(page, &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { Q_EMIT StatusTextChange(url); });
    connect(page, &QWebEnginePage::loadStarted, this, [this] { Q_EMIT DownloadBegin(); });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool) {
      Q_EMIT NavigateComplete(Address());
      Q_EMIT DownloadComplete();
      Q_EMIT DocumentComplete();
    });
  }

  ~TWebBrowser() override {
    // The page must go before its profile.
    delete m_view;
    delete m_profile;
  }

  void Navigate(const QString& address) override { m_view->setUrl(QUrl::fromUserInput(address)); }
  void GoBack() override { m_view->back(); }
  void GoForward() override { m_view->forward(); }
  void StopLoading() override { m_view->stop(); }
  void Refresh() override { m_view->reload(); }
  void FindInPage() override {
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, QStringLiteral("Find"), QStringLiteral("Find what:"),
                              QLineEdit::Normal, m_lastSearch, &ok);
    if (!ok || text.isEmpty()) return;
    m_lastSearch = text;
    m_view->page()->findText(text);
  }
  QString Address() const override { return m_view->url().toString(); }
  QString Title() const override { return m_view->title(); }
  void TestOnlyRunScript(const QString& script,
                         std::function<void(const QVariant& result)> done) override {
    m_view->page()->runJavaScript(
        script, [done = std::move(done)](const QVariant& result) { done(result); });
  }

 private:
  QWebEngineProfile* m_profile = nullptr;
  QWebEngineView* m_view = nullptr;
  QString m_lastSearch;
};

}  // namespace

TProjectBrowser* CreateWebBrowser(QWidget* parent) {
  return new TWebBrowser(parent);
}

}  // namespace tq
