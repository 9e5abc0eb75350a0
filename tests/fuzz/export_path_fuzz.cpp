// Fuzzes export paths with addresses taken from the input (an address, a content type and a
// second address, separated by newlines). Every path must stay a relative path of plain names no
// longer than a file system takes, below a protocol and a host folder, and the relative link
// between two files of an export must lead from one to the other.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/dep_files.h"
#include "export/export_path.h"
#include "fuzz_check.h"

namespace {

std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t slash; (slash = path.find('/', start)) != std::string_view::npos; start = slash + 1)
    parts.emplace_back(path.substr(start, slash - start));
  parts.emplace_back(path.substr(start));
  return parts;
}

void CheckPlain(const std::string& path) {
  FUZZ_CHECK(Components(path).size() >= 3);
  for (const std::string& name : Components(path)) {
    FUZZ_CHECK(!name.empty() && name != "." && name != ".." && name.size() <= tq::kMaxNameBytes);
    for (char c : name) {
      const auto b = static_cast<unsigned char>(c);
      FUZZ_CHECK(b >= 0x20 && b != 0x7F && b != '\\');
    }
  }
}

// Where link, written in the file at from, leads: its folder, then each step of the link.
std::string Follow(const std::string& from, const std::string& link) {
  std::vector<std::string> parts = Components(from);
  parts.pop_back();
  for (const std::string& step : Components(link)) {
    if (step == "..") {
      FUZZ_CHECK(!parts.empty());
      parts.pop_back();
    } else {
      parts.push_back(step);
    }
  }
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view url = NextPart(rest);
  const std::string_view type = NextPart(rest);
  const std::string_view other = rest;

  CheckPlain(MakeExportPath(url, static_cast<int>(size), type));
  // As an export hands paths out: one file's name never names another's folder, so the link
  // between them names a file, never "" or a folder.
  TVornDepFiles files;
  files.Add(std::string(url), type);
  files.Add(std::string(other), "image/png");
  files.MakePathsUnique();
  const std::string& from = files[0].LocalPath;
  const std::string& to = files[1].LocalPath;
  CheckPlain(from);
  CheckPlain(to);
  FUZZ_CHECK(from != to);
  const std::string link = MakeRelativeLink(from, to);
  const std::string_view last = std::string_view(link).substr(link.rfind('/') + 1);
  FUZZ_CHECK(!last.empty() && last != ".." && last != ".");
  FUZZ_CHECK(Follow(from, link) == to);
  for (char c : EncodeLinkPath(link)) {
    const auto b = static_cast<unsigned char>(c);
    FUZZ_CHECK(b > 0x20 && b < 0x7F && c != '?' && c != '#' && c != ':' && c != '"');
  }
  return 0;
}
