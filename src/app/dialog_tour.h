// The dialogs' part of the screenshot tour: each project and program dialog shown over the main
// window and pictured, then closed again.
#pragma once

#include <QString>

namespace tq {

class TMainForm;
class TWWWDocForm;

// Writes one PNG per dialog into folder; false when a picture could not be written.
bool ShootDialogs(TMainForm& window, TWWWDocForm& project, const QString& folder);

// The manual's first page in the help window.
bool ShootManual(const QString& folder);

}  // namespace tq
