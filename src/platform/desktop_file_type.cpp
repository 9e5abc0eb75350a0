// Freedesktop desktop entries and MIME packages for a file type.
#include "platform/desktop_file_type.h"

#include <cctype>
#include <cerrno>
#include <filesystem>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "foundation/atomic_file.h"
#include "foundation/errors.h"
#include "foundation/html_escape.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

constexpr int kToolTimeoutMs = 20000;

fs::path DataHome() {
  return fs::path(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString());
}

fs::path EntryPath(const TDesktopFileType& type) {
  return DataHome() / "applications" / (type.DesktopId + ".desktop");
}

fs::path PackagePath(const TDesktopFileType& type) {
  std::string ext = type.Extension;
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  return DataHome() / "mime" / "packages" / (type.DesktopId + "-" + ext + ".xml");
}

[[noreturn]] void Refuse(const std::string& what) {
  throw EVornOSError("Cannot register the file type: " + what, EINVAL);
}

void CheckPlain(const std::string& value, const char* what) {
  for (const unsigned char c : value) {
    if (c < 0x20 || c == 0x7f) Refuse(std::string(what) + " holds a control character");
  }
}

std::string XmlEscaped(const std::string& text) {
  return HtmlEscaped(text);
}

// A MIME type name: a type and a subtype of letters, digits and "+-._".
void CheckMimeType(const std::string& mime) {
  const size_t slash = mime.find('/');
  bool ok = slash != std::string::npos && slash > 0 && slash + 1 < mime.size() &&
            mime.find('/', slash + 1) == std::string::npos;
  for (const unsigned char c : mime) {
    ok = ok && (std::isalnum(c) || c == '/' || c == '+' || c == '-' || c == '.' || c == '_');
  }
  if (!ok) Refuse("\"" + mime + "\" is no MIME type name");
}

void WriteOrRaise(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (!WriteFileAtomically(path.string(), text)) {
    const int code = errno;
    throw EVornOSError("Cannot write " + path.string(), code);
  }
}

// Runs a cache tool over folder and waits for it; a tool that is not installed is skipped, as a
// desktop without it has no cache to refresh.
void RunTool(const char* tool, const fs::path& folder) {
  const QString program = QStandardPaths::findExecutable(QString::fromUtf8(tool));
  if (program.isEmpty()) return;
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(program, {QString::fromStdString(folder.string())});
  if (!process.waitForFinished(kToolTimeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
}

void RefreshCaches() {
  RunTool("update-mime-database", DataHome() / "mime");
  RunTool("update-desktop-database", DataHome() / "applications");
}

}  // namespace

std::string DesktopExecValue(const std::string& program) {
  CheckPlain(program, "the program's path");
  // Inside a quoted argument '"', '`', '$' and '\' take a backslash; the value itself is a string
  // whose backslashes are doubled again before the quoting is read; '%' starts a field code
  // unless doubled.
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$') {
      quoted += "\\\\";
      quoted += c;
    } else if (c == '\\') {
      quoted += "\\\\\\\\";
    } else if (c == '%') {
      quoted += "%%";
    } else {
      quoted += c;
    }
  }
  return quoted + "\" %f";
}

void InstallDesktopFileType(const TDesktopFileType& type) {
  CheckMimeType(type.MimeType);
  CheckPlain(type.ApplicationName, "the program's name");
  CheckPlain(type.Description, "the type's name");
  CheckPlain(type.Extension, "the extension");
  CheckPlain(type.Icon, "the icon");
  if (type.DesktopId.empty() || type.DesktopId.find('/') != std::string::npos) {
    Refuse("\"" + type.DesktopId + "\" is no desktop entry name");
  }
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" +
      type.ApplicationName +
      "\n"
      "Exec=" +
      DesktopExecValue(type.Program) +
      "\n"
      "MimeType=" +
      type.MimeType +
      ";\n"
      "Terminal=false\n" +
      (type.Icon.empty() ? std::string() : "Icon=" + type.Icon + "\n");
  const std::string package =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"" +
      type.MimeType +
      "\">\n"
      "    <comment>" +
      XmlEscaped(type.Description) +
      "</comment>\n"
      "    <glob pattern=\"*" +
      XmlEscaped(type.Extension) +
      "\"/>\n"
      "  </mime-type>\n"
      "</mime-info>\n";
  WriteOrRaise(EntryPath(type), entry);
  WriteOrRaise(PackagePath(type), package);
  RefreshCaches();
}

bool DesktopFileTypeInstalled(const TDesktopFileType& type) {
  std::error_code ec;
  return fs::exists(PackagePath(type), ec);
}

void RemoveDesktopFileType(const TDesktopFileType& type) {
  std::error_code ec;
  const bool entry = fs::remove(EntryPath(type), ec);
  const bool package = fs::remove(PackagePath(type), ec);
  if (entry || package) RefreshCaches();
}

}  // namespace tq
