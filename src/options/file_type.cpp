// File associations.
#include "options/file_type.h"

#include <cctype>

#include "foundation/ascii_case.h"

namespace tq {
namespace {

// The program's file name without folder and extension.
std::string ProgramBaseName(const std::string& program) {
  std::string name = program.substr(program.find_last_of('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

// "application/x-" and the type name in lower-case letters and digits joined by "-", without a
// closing "File" word.
std::string MimeTypeOf(std::string name) {
  constexpr std::string_view kFile = " File";
  if (name.size() > kFile.size() && name.ends_with(kFile)) name.resize(name.size() - kFile.size());
  std::string slug;
  for (const unsigned char c : name) {
    if (std::isalnum(c) && c < 0x80) {
      slug += AsciiLower(static_cast<char>(c));
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return "application/x-" + (slug.empty() ? std::string("unknown") : slug);
}

}  // namespace

void TFileType::SetFileExtension(std::string extension) {
  if (!extension.empty() && extension.front() != '.') extension.insert(0, ".");
  m_fileExtension = std::move(extension);
}

void TFileType::CheckValues() {
  if (m_fileExtension.empty()) throw EFileTypeError("TFileType.FileExtension has not been set");
  if (FileTypeName.empty()) FileTypeName = m_fileExtension.substr(1) + " File";
  if (OpenWith.empty()) throw EFileTypeError("TFileType.OpenWith has not been set");
  if (Verb.empty()) Verb = "Open";
  if (MenuCaption.empty()) MenuCaption = "&" + Verb;
  if (UseDDE) {
    if (DDECommand.empty()) DDECommand = "[Open(%1)]";
    if (DDEApplication.empty()) DDEApplication = ProgramBaseName(OpenWith);
    if (DDETopic.empty()) DDETopic = "Server";
  }
}

TDesktopFileType TFileType::DesktopForm() const {
  TDesktopFileType form;
  form.DesktopId = DesktopId.empty() ? ProgramBaseName(OpenWith) : DesktopId;
  form.ApplicationName = ProgramBaseName(OpenWith);
  if (!form.ApplicationName.empty()) {
    form.ApplicationName[0] = AsciiUpper(form.ApplicationName[0]);
  }
  form.Program = OpenWith;
  form.MimeType = MimeTypeOf(FileTypeName);
  form.Description = FileTypeName;
  form.Extension = m_fileExtension;
  form.Icon = Icon;
  return form;
}

void TFileType::RegisterType() {
  CheckValues();
  InstallDesktopFileType(DesktopForm());
}

void TFileType::UnregisterType() {
  if (m_fileExtension.empty() || OpenWith.empty()) return;
  const TDesktopFileType form = DesktopForm();
  if (DesktopFileTypeInstalled(form)) RemoveDesktopFileType(form);
}

}  // namespace tq
