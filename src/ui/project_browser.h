// TProjectBrowser: what the project window needs of its embedded browser, so the window does not
// depend on the web engine's heavy headers. The desktop program gets a web engine view with a
// profile of its own; where no web engine can draw (the offscreen platform of tests and
// headless runs) a plain view stands in that only follows the address.
//
// Threads: interface thread only.
#pragma once

#include <functional>

#include <QString>
#include <QVariant>
#include <QWidget>

namespace tq {

class TProjectBrowser : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  virtual void Navigate(const QString& address) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void StopLoading() = 0;
  virtual void Refresh() = 0;
  // Asks for a text and looks for it in the page.
  virtual void FindInPage() = 0;
  // The address shown now.
  virtual QString Address() const = 0;
  // The shown page's title (document.title); empty when none.
  virtual QString Title() const = 0;
  // Runs a script in the shown page and hands its result over later; a browser without scripts
  // hands over an empty result at once.
  virtual void TestOnlyRunScript(const QString& script,
                                 std::function<void(const QVariant& result)> done) = 0;

 Q_SIGNALS:
  void StatusTextChange(const QString& text);
  void NavigateComplete(const QString& address);
  void DownloadBegin();
  void DownloadComplete();
  void DocumentComplete();
};

using TBrowserFactory = std::function<TProjectBrowser*(QWidget* parent)>;

// Replaces how project windows make their browser; an empty factory restores the default.
void SetBrowserFactory(TBrowserFactory factory);
TProjectBrowser* CreateProjectBrowser(QWidget* parent);

// The web engine browser; the only way into the web engine's headers.
TProjectBrowser* CreateWebBrowser(QWidget* parent);
// The stand-in that follows the address without drawing pages.
TProjectBrowser* CreatePlainBrowser(QWidget* parent);

// The identity the embedded browser sends.
inline constexpr const char* kBrowserUserAgent = "Tarnquill ";

}  // namespace tq
