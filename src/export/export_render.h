// What an export writes for one stored document, by content type: a page gets its links pointed
// at the other exported files (or left at their online addresses), every other type is written
// as stored. A rewrite for another type (style sheets' url(...) values) plugs into Render beside
// the page case and maps its addresses with MapLink.
//
// Threads: immutable once made; any thread.
#pragma once

#include <string>

#include "engine/crawl_settings.h"
#include "export/dep_files.h"

namespace tq {

class TVornExportRender {
 public:
  // The settings are copied: the export keeps the translation it started with.
  TVornExportRender(const TVornDepFiles& files, const TVornLinkTranslation& translation);

  // The text that stands for a link of file from to the absolute address: with translation on,
  // followed links translated offline, and the address (http, https or ftp) exported, the
  // encoded relative path to that file; otherwise the address itself, so a link never names a
  // file the export does not write.
  std::string MapLink(const TVornDepFile& from, const std::string& address) const;

  // The bytes to write for file, whose stored content is given.
  std::string Render(const TVornDepFile& file, std::string content) const;

 private:
  const TVornDepFiles& m_files;
  bool m_translate;
  TLinkTranslation m_followed;
};

}  // namespace tq
