// The media type of a stored document whose stored content type is none (an FTP transfer stores
// "Binary FTP"): the one its file name's extension usually has, as web servers give it.
//
// Pure functions, safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace tq {

inline constexpr std::string_view kUnknownMediaType = "application/octet-stream";

// Whether text has the shape of a media type ("type/subtype", parameters allowed).
bool IsMediaType(std::string_view text);

// The media type for the file name of an address by its extension (letter case ignored), or
// kUnknownMediaType.
std::string MediaTypeOfAddress(std::string_view address);

}  // namespace tq
