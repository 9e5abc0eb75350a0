// Display texts for sizes and durations, as the lists, status bar and statistics show them.
// Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// "1024 Bytes", "1.5 Kb", "2.0 Mb", "1.2 Gb": units switch strictly above 1024, 1048576 and
// 1073741824 bytes, with one truncated (never rounded) decimal.
std::string FormatFileSize(double size);

// "1d 2h 3m 4s " with zero parts left out; every part ends with a blank; 0 gives "".
std::string FormatDuration(int32_t seconds);

}  // namespace tq
