// Between the core's 8-bit texts and Qt's strings. Addresses, settings values and server texts
// are Windows-1252 bytes; file paths are UTF-8 on disk. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace tq {

// Windows-1252 bytes as text; the five bytes the code page leaves undefined keep their value.
QString ToQ(std::string_view text);
// Text as Windows-1252 bytes; a character the code page cannot hold becomes "?".
std::string FromQ(const QString& text);

QString PathToQ(const std::string& path);
std::string PathFromQ(const QString& path);

}  // namespace tq
