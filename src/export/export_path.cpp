// Export paths built from addresses, and relative links between exported files.
#include "export/export_path.h"

#include <cstdint>
#include <vector>

#include "foundation/ansi.h"
#include "foundation/canonical_url.h"
#include "foundation/url.h"

namespace tq {
namespace {

constexpr std::string_view kIndexName = "index.html";
constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char c) {
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Bytes of the well-formed UTF-8 sequence that starts at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  unsigned code = lead & (0x3F >> (length - 1));
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= min && code <= 0x10FFFF && !surrogate ? length : 0;
}

// A name as it may stand on disk, in a ZIP member or an e-book: control bytes and "\" (a folder
// separator to some readers of ZIP files and e-books) are percent-encoded, and so is every byte
// that is not part of well-formed UTF-8.
std::string CleanName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '\\') {
      AppendEscaped(out, c);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const size_t length = Utf8Length(name, i)) {
      out.append(name.substr(i, length));
      i += length;
    } else {
      AppendEscaped(out, c);
      ++i;
    }
  }
  return out;
}

enum class TStep { kName, kStay, kUp };

// What an address component does to the path, also in its percent-encoded forms: servers and
// browsers read "%2e%2E" as "..".
TStep StepOf(std::string_view component) {
  if (component.empty()) return TStep::kStay;
  const std::string decoded = component.find('%') == std::string_view::npos
                                  ? std::string(component)
                                  : PercentDecode(component);
  if (decoded == ".") return TStep::kStay;
  if (decoded == "..") return TStep::kUp;
  return TStep::kName;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

// The text after the last dot of name, as admission reads an extension: xml.sax.utils.html is
// a page already.
std::string_view LastExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

// A stable 64-bit FNV-1a hash of text, as 16 hex digits: names shortened in one export must be
// the same in the next.
std::string HashText(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<size_t>(i)] = kHex[hash & 15];
  return out;
}

}  // namespace

std::string FitName(std::string_view name) {
  if (name.size() <= kMaxNameBytes) return std::string(name);
  // An extension longer than this is part of the name, not what opens the file.
  constexpr size_t kMaxExtension = 16;
  std::string_view extension;
  if (const size_t dot = name.rfind('.');
      dot != std::string_view::npos && dot > 0 && name.size() - dot <= kMaxExtension)
    extension = name.substr(dot);
  const std::string tag = "~" + HashText(name);
  size_t keep = kMaxNameBytes - tag.size() - extension.size();
  // Cut between characters: the name stays UTF-8.
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  std::string out(name.substr(0, keep));
  out += tag;
  out += extension;
  return out;
}

bool IsPageContentType(std::string_view contentType) {
  return AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos;
}

std::string AppendPageId(std::string_view name, std::string_view pageId, bool isPage) {
  std::string out(name);
  out += kQueryMark;
  out += "PageID=";
  out += pageId;
  if (isPage) {
    out += ".html";
  } else if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
    // Without its extension a style sheet or script would not be read as one from disk.
    out.append(name.substr(dot));
  }
  return FitName(out);
}

std::string MakeExportPath(std::string_view url, int pageNumber, std::string_view contentType) {
  std::vector<std::string> folders;
  const TUrlProtocol protocol = GetUrlProtocol(url);
  folders.emplace_back(protocol == upHttps ? "https" : protocol == upFtp ? "ftp" : "http");
  const std::string server = ExtractUrlServer(url);
  if (!server.empty()) {
    const size_t scheme = server.find("://");
    const std::string_view host =
        std::string_view(server).substr(scheme == std::string::npos ? 0 : scheme + 3);
    if (!host.empty()) {
      std::string name;
      if (StepOf(host) == TStep::kName) {
        name = CleanName(host);
      } else {
        for (char c : host) AppendEscaped(name, static_cast<unsigned char>(c));
      }
      folders.push_back(FitName(name));
    }
  }
  // An address without a host gets a folder of its own, so its files never stand beside the
  // servers' folders, where one could take the name of a server's folder.
  if (folders.size() == 1) folders.emplace_back(kNoHostFolder);
  const size_t fixed = folders.size();  // ".." never climbs out of the server's folder
  const auto step = [&](std::string_view component) {
    switch (StepOf(component)) {
      case TStep::kStay:
        break;
      case TStep::kUp:
        if (folders.size() > fixed) folders.pop_back();
        break;
      case TStep::kName:
        folders.push_back(FitName(CleanName(component)));
        break;
    }
  };

  const std::string urlFolder = ExtractUrlDir(url);
  for (std::string_view component : SplitPath(urlFolder)) step(component);
  const std::string fileName = ExtractUrlFileName(url);
  std::string_view name = fileName;
  if (const size_t slash = name.rfind('/'); slash != std::string_view::npos) {
    for (std::string_view component : SplitPath(name.substr(0, slash))) step(component);
    name.remove_prefix(slash + 1);
  }
  if (StepOf(name) != TStep::kName) {
    step(name);
    name = kIndexName;
  }

  const bool isPage = IsPageContentType(contentType);
  std::string leaf = CleanName(name);
  if (!ExtractUrlQuery(url).empty()) {
    leaf = AppendPageId(leaf, std::to_string(pageNumber), isPage);
  } else if (isPage) {
    const std::string ext = AnsiUpperCase(LastExtension(leaf));
    if (ext != "HTM" && ext != "HTML") leaf += ".html";
  }
  leaf = FitName(leaf);

  std::string path;
  for (const std::string& folder : folders) path += folder + "/";
  path += leaf;
  if (const size_t colon = path.find(':'); colon != std::string::npos) path[colon] = '_';
  return path;
}

std::string MakeRelativeLink(std::string_view fromPath, std::string_view toPath) {
  const size_t slash = fromPath.rfind('/');
  const std::vector<std::string_view> from =
      SplitPath(slash == std::string_view::npos ? std::string_view() : fromPath.substr(0, slash));
  const std::vector<std::string_view> to = SplitPath(toPath);
  size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
  std::string link;
  for (size_t i = common; i < from.size(); ++i) link += "../";
  for (size_t i = common; i < to.size(); ++i) {
    if (!link.empty() && link.back() != '/') link += '/';
    link.append(to[i]);
  }
  return link;
}

std::string EncodeLinkPath(std::string_view relativePath) {
  std::string out;
  out.reserve(relativePath.size());
  for (char ch : relativePath) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '=';
    if (plain) {
      out += ch;
    } else {
      AppendEscaped(out, c);
    }
  }
  return out;
}

}  // namespace tq
