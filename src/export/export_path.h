// Where an exported document lands inside the export, and how one exported file links to
// another. Paths are relative, "/"-separated and UTF-8; every one of their components is a plain
// file or folder name, so no address can place a file outside the export or above its server's
// folder, whatever "..", "." or encoded forms of them it holds.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// Marks the page number that stands for an address's query in a file name ("¿" in UTF-8).
inline constexpr std::string_view kQueryMark = "\xC2\xBF";
// The folder that stands for the host of an address without one ("http:///x").
inline constexpr std::string_view kNoHostFolder = "_";
// The longest file or folder name file systems, ZIP readers and e-book compilers all take.
inline constexpr size_t kMaxNameBytes = 255;

// The export path of the document at url, the page number-th file of the export:
// protocol/host[_port]/folders/name, with kNoHostFolder as host for an address without one. A
// page without a file name is "index.html", an address with a query ends its name with
// "¿PageID=" and the page number, and a file that could not be opened by its extension gets one
// (".html" for a page whose last extension is neither htm nor html, the original last extension
// for other files whose name ends in the page number). Components "." and empty ones (also
// percent-encoded) are dropped, ".." takes back one folder but never the protocol or host
// folder, control bytes, "\" and bytes that are not UTF-8 are percent-encoded, and every
// component is fitted by FitName.
std::string MakeExportPath(std::string_view url, int pageNumber, std::string_view contentType);

// name unchanged when it has at most kMaxNameBytes bytes; otherwise as much of its beginning as
// fits (cut between UTF-8 characters), "~", 16 hex digits of a hash of the whole name and its
// last extension (when one of up to 15 characters follows a dot), kMaxNameBytes bytes in all:
// two long names never meet, and the file still opens by its type.
std::string FitName(std::string_view name);

// name followed by "¿PageID=" and pageId, then ".html" for a page or else name's last
// extension, so the file still opens by its type, fitted by FitName; MakeExportPath names query
// variants so, and the export renames a file whose path another file holds the same way.
std::string AppendPageId(std::string_view name, std::string_view pageId, bool isPage);

// The relative path that leads from the file at fromPath to the file at toPath (both export
// paths): "../" for each folder of fromPath not shared with toPath, then the rest of toPath. A
// file in the same folder gives its bare name.
std::string MakeRelativeLink(std::string_view fromPath, std::string_view toPath);

// relativePath written for an attribute value that a browser resolves against the page's file:
// every byte but letters, digits, "-._~/=" is percent-encoded, so "?", "#", ":" and "%" in a file
// name stay part of the name.
std::string EncodeLinkPath(std::string_view relativePath);

// True when contentType (any case) names an HTML page.
bool IsPageContentType(std::string_view contentType);

}  // namespace tq
