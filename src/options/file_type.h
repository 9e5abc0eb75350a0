// TFileType: one file association, the program that opens a kind of file. Its fields keep the
// shape every association of the program has (a shell verb, a command for the running instance);
// on this desktop an association is a desktop entry for the program and a MIME type with the
// extension's pattern, so those are what registering writes.
//
// Any thread; RegisterType and UnregisterType wait for the desktop's cache tools.
#pragma once

#include <string>

#include "foundation/errors.h"
#include "platform/desktop_file_type.h"

namespace tq {

class EFileTypeError : public EVornError {
 public:
  using EVornError::EVornError;
};

class TFileType {
 public:
  // With its leading dot; setting it without one prepends ".".
  const std::string& FileExtension() const { return m_fileExtension; }
  void SetFileExtension(std::string extension);

  std::string FileTypeName;  // the type's description; also names the MIME type
  std::string OpenWith;      // full path of the program that opens the files
  bool UseDDE = false;       // the program takes the file over from a second start
  std::string DDECommand;    // what a second start hands over, "%1" standing for the file
  std::string DDEIfExec;
  std::string DDEApplication;
  std::string DDETopic;
  std::string MenuCaption;
  std::string Verb;
  std::string DesktopId;  // the desktop entry's name; empty: the program's file name
  std::string Icon;       // the entry's icon: an icon name or a full path; empty: none

  // Fills defaults and checks: raises EFileTypeError "TFileType.FileExtension has not been set"
  // or "TFileType.OpenWith has not been set". An empty FileTypeName becomes the extension
  // without its dot and " File", Verb "Open", MenuCaption "&" and the verb; with UseDDE an empty
  // DDECommand becomes "[Open(%1)]", DDEApplication the program's file name without its
  // extension, DDETopic "Server".
  void CheckValues();

  // CheckValues, then writes the desktop entry and the MIME type (platform/desktop_file_type.h).
  // Raises EFileTypeError or EVornOSError.
  void RegisterType();
  // Removes what RegisterType wrote for this extension and program, when it is there.
  void UnregisterType();

  // The desktop's form of this association: the entry is named DesktopId, else after the
  // program's file name without its extension; the MIME type after FileTypeName ("Tarnquill
  // Project File" gives "application/x-tarnquill-project").
  TDesktopFileType DesktopForm() const;

 private:
  std::string m_fileExtension;
};

}  // namespace tq
