// Browser discovery through xdg-settings and the freedesktop desktop entries.
#include "platform/installed_browsers.h"

#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <fstream>

namespace tq {
namespace {

constexpr int kQueryTimeoutMs = 5000;

std::string DefaultBrowserEntry() {
  QProcess query;
  query.start(QStringLiteral("xdg-settings"),
              {QStringLiteral("get"), QStringLiteral("default-web-browser")});
  if (!query.waitForFinished(kQueryTimeoutMs)) {
    query.kill();
    query.waitForFinished();
    return {};
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
  return query.readAllStandardOutput().trimmed().toStdString();
}

// The program of an Exec line: its first word, quotes removed, looked up on PATH without a "/".
std::string ProgramOfExec(std::string exec) {
  std::string program;
  if (!exec.empty() && exec.front() == '"') {
    const size_t close = exec.find('"', 1);
    program = exec.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    program = exec.substr(0, exec.find(' '));
  }
  if (program.empty() || program.find('/') != std::string::npos) return program;
  return QStandardPaths::findExecutable(QString::fromStdString(program)).toStdString();
}

// Name and program of a desktop entry ("firefox.desktop") from the usual application folders.
TInstalledBrowser FromDesktopEntry(const std::string& id) {
  const QString path =
      QStandardPaths::locate(QStandardPaths::ApplicationsLocation, QString::fromStdString(id));
  if (path.isEmpty()) return {};
  std::ifstream in(path.toStdString());
  TInstalledBrowser browser;
  bool inEntry = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    if (line.rfind("Name=", 0) == 0 && browser.Name.empty()) browser.Name = line.substr(5);
    if (line.rfind("Exec=", 0) == 0 && browser.File.empty()) {
      browser.File = ProgramOfExec(line.substr(5));
    }
  }
  return browser;
}

}  // namespace

std::vector<TInstalledBrowser> FindInstalledBrowsers() {
  namespace fs = std::filesystem;
  std::vector<TInstalledBrowser> found;
  auto add = [&](TInstalledBrowser browser) {
    if (browser.File.empty() || ::access(browser.File.c_str(), X_OK) != 0) return;
    std::error_code ec;
    const fs::path real = fs::canonical(browser.File, ec);
    if (ec || !fs::is_regular_file(real, ec)) return;
    for (const auto& known : found) {
      if (fs::equivalent(known.File, real, ec)) return;
    }
    if (browser.Name.empty()) browser.Name = real.filename().string();
    found.push_back(std::move(browser));
  };
  const std::string entry = DefaultBrowserEntry();
  if (!entry.empty()) add(FromDesktopEntry(entry));
  add({"Chromium", "/usr/bin/chromium"});
  add({"Firefox", "/usr/bin/firefox"});
  return found;
}

}  // namespace tq
