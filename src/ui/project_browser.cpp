// The plain stand-in and the choice between it and the web engine.
#include "ui/project_browser.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace tq {
namespace {

class TPlainBrowser : public TProjectBrowser {
 public:
  explicit TPlainBrowser(QWidget* parent) : TProjectBrowser(parent) {
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
  }

  void Navigate(const QString& address) override {
    m_address = address;
    m_label->setText(address);
    Q_EMIT DownloadBegin();
    // A real browser completes later; so does this one, after the caller has returned.
    QTimer::singleShot(0, this, [this, address] {
      Q_EMIT NavigateComplete(address);
      Q_EMIT DownloadComplete();
      Q_EMIT DocumentComplete();
    });
  }
  void GoBack() override {}
  void GoForward() override {}
  void StopLoading() override {}
  void Refresh() override {}
  void FindInPage() override {}
  QString Address() const override { return m_address; }
  QString Title() const override { return {}; }
  void TestOnlyRunScript(const QString&,
                         std::function<void(const QVariant& result)> done) override {
    done(QVariant());
  }

 private:
  QLabel* m_label = nullptr;
  QString m_address;
};

TBrowserFactory& Factory() {
  static TBrowserFactory factory;
  return factory;
}

}  // namespace

TProjectBrowser* CreatePlainBrowser(QWidget* parent) {
  return new TPlainBrowser(parent);
}

void SetBrowserFactory(TBrowserFactory factory) {
  Factory() = std::move(factory);
}

TProjectBrowser* CreateProjectBrowser(QWidget* parent) {
  if (Factory()) return Factory()(parent);
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
    return CreatePlainBrowser(parent);
  return CreateWebBrowser(parent);
}

}  // namespace tq
