// Fuzzes opening a project file whole: the input is the file. It goes through the load (copy,
// archive check, settings, index, adoption, the links handed over) into a document and its crawl
// settings; then every handed-over address is read back. Nothing may crash; a load that fails
// says why; a content reads whole, alike in one piece and as a stream, or raises the archive
// error.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/crawl_settings.h"
#include "fuzz_check.h"
#include "storage/content_index.h"
#include "storage/document.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path path = fs::temp_directory_path() / ("tq-load-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(path / "cache");
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const std::string file = (Folder() / "fuzzed.web").string();
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  TVornDocument doc((Folder() / "cache").string(), Folder().string());
  TVornCrawlSettings settings;
  std::vector<std::string> addresses;
  std::optional<TFileError> error;
  doc.OnLoadSettings = [&](TVornCustomIniFile& ini, bool templateMode) {
    settings.LoadFromIni(ini, templateMode);
  };
  doc.OnLoadLink = [&](TVornLinkPtr link, int) {
    FUZZ_CHECK(link != nullptr);
    if (addresses.size() < 64) {
      addresses.push_back(link->LinkKind() == lkMail ? link->GetMailAddress() : link->GetUrl());
    }
    return true;
  };
  doc.OnLoadError = [&](TFileError e) { error = e; };
  const bool loaded = doc.Load(file);
  FUZZ_CHECK(loaded != error.has_value());
  for (const std::string& address : addresses) {
    (void)doc.GetDocumentValue(address, kIndexContentType);
    try {
      const std::string content = doc.GetDocumentContent(address);
      (void)RenderStoredDocument(doc, address);
      if (auto stream = doc.OpenDocumentContent(address)) {
        FUZZ_CHECK(stream->Size() == content.size());
      }
    } catch (const EArchiveError&) {
      // Unreadable, and said so.
    }
  }
  return 0;
}
