// What an export writes for one stored document, by content type: a page gets its links pointed
// at the other exported files (or left at their online addresses), and so do the url(...) and
// @import references of a style sheet and of a page's style elements and attributes; every
// other type is written as stored. Pages are written in UTF-8 and say so, and lose the href of
// their base elements, which would re-base the links made relative to their own files.
//
// Threads: immutable once made; any thread.
#pragma once

#include <string>
#include <string_view>

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

  // The bytes to write for file, whose stored content is given. A page is the stored page
  // rendered with MapLink, then written by WritePage.
  std::string Render(const TVornDepFile& file, std::string content) const;

 private:
  // css (a sheet, or the text of a style element or attribute of from) with every reference to
  // a fetchable address mapped by MapLink, fragment kept.
  std::string MapStyleSheet(const TVornDepFile& from, std::string_view css) const;
  // The rendered page file (decoded) in UTF-8: style references mapped, base hrefs dropped, its
  // charset declarations (META, XML declaration) saying UTF-8, one added when it has none, and
  // numeric references to non-ASCII characters outside scripts and styles made characters.
  std::string WritePage(const TVornDepFile& file, std::u16string_view text) const;

  const TVornDepFiles& m_files;
  bool m_translate;
  TLinkTranslation m_followed;
};

}  // namespace tq
