// Media types by file extension.
#include "server/media_type.h"

#include <algorithm>
#include <array>
#include <utility>

#include "foundation/ansi.h"
#include "foundation/url.h"

namespace tq {
namespace {

// Sorted by extension.
constexpr std::array<std::pair<std::string_view, std::string_view>, 56> kTypes = {{
    {"7z", "application/x-7z-compressed"},
    {"aac", "audio/aac"},
    {"avi", "video/x-msvideo"},
    {"bmp", "image/bmp"},
    {"bz2", "application/x-bzip2"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"doc", "application/msword"},
    {"epub", "application/epub+zip"},
    {"exe", "application/octet-stream"},
    {"flac", "audio/flac"},
    {"gif", "image/gif"},
    {"gz", "application/gzip"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ico", "image/vnd.microsoft.icon"},
    {"iso", "application/x-iso9660-image"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript"},
    {"json", "application/json"},
    {"m4a", "audio/mp4"},
    {"md", "text/markdown"},
    {"mid", "audio/midi"},
    {"mjs", "text/javascript"},
    {"mkv", "video/x-matroska"},
    {"mov", "video/quicktime"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"mpeg", "video/mpeg"},
    {"mpg", "video/mpeg"},
    {"odt", "application/vnd.oasis.opendocument.text"},
    {"oga", "audio/ogg"},
    {"ogg", "audio/ogg"},
    {"ogv", "video/ogg"},
    {"opus", "audio/opus"},
    {"otf", "font/otf"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"ps", "application/postscript"},
    {"rar", "application/vnd.rar"},
    {"rtf", "application/rtf"},
    {"svg", "image/svg+xml"},
    {"tar", "application/x-tar"},
    {"tgz", "application/gzip"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"ttf", "font/ttf"},
    {"txt", "text/plain"},
    {"wav", "audio/wav"},
    {"webm", "video/webm"},
    {"webp", "image/webp"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
}};

bool IsTokenChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte < 0x7F &&
         std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

}  // namespace

bool IsMediaType(std::string_view text) {
  const std::string_view media = text.substr(0, text.find(';'));
  const std::size_t slash = media.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == media.size()) return false;
  const auto token = [](std::string_view part) {
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    return !part.empty() && std::all_of(part.begin(), part.end(), IsTokenChar);
  };
  return token(media.substr(0, slash)) && token(media.substr(slash + 1));
}

std::string MediaTypeOfAddress(std::string_view address) {
  const std::string extension = AnsiLowerCase(ExtractUrlLastExt(address));
  const auto it =
      std::lower_bound(kTypes.begin(), kTypes.end(), extension,
                       [](const auto& entry, const std::string& key) { return entry.first < key; });
  return it != kTypes.end() && it->first == extension ? std::string(it->second)
                                                      : std::string(kUnknownMediaType);
}

}  // namespace tq
