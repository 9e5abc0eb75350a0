// The content index of a project (its key names are in engine/download_document.h, its store is
// storage/index_file.h): one section per address met by the crawl, keyed by the link's absolute
// address (the bare mail address for mail links), holding which list the link is in and what
// the crawl learnt about it. Here are the writes made when a link joins a list, rebuilding the
// links from an index, and rendering a stored document through a reader.
//
// The functions work on the store they are given and take no lock: the caller serialises access
// to it (the project document does).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/download_document.h"
#include "engine/link.h"
#include "engine/link_lists.h"
#include "formats/stored_document.h"
#include "foundation/ini_file.h"
#include "storage/index_file.h"

namespace tq {

// The content type recorded for pages the engine makes up itself and for FTP downloads.
inline constexpr std::string_view kMadeUpPageContentType = "TEXT/HTML";
inline constexpr std::string_view kFtpContentType = "Binary FTP";

// What is written when a link joins a list, in this order. STATUS comes first because content
// can only be stored into a section that already exists.
void WriteReadyEntry(TVornCustomIniFile& index, std::string_view section, int level,
                     std::string_view page, int size);
void WriteQueueEntry(TVornCustomIniFile& index, std::string_view section, int level,
                     std::string_view page);
void WriteFailedEntry(TVornCustomIniFile& index, std::string_view section, int level,
                      std::string_view page, std::string_view error);
void WriteIgnoredEntry(TVornCustomIniFile& index, std::string_view section, int level,
                       std::string_view page, std::string_view reason);
void WriteEmailEntry(TVornCustomIniFile& index, std::string_view mailAddress, int level,
                     std::string_view page);
void WriteDeletedEntry(TVornCustomIniFile& index, std::string_view section);
// A fetched document is handed over: STATUS 0 and its content type (the content follows).
void WriteContentTypeEntry(TVornCustomIniFile& index, std::string_view section,
                           std::string_view contentType);

// The section a link is kept under: the bare mail address for mail links, the absolute address
// otherwise. Raises EVornError when the link has no address (see TVornLink::GetUrl).
std::string IndexSectionOf(const TVornLink& link);

// Writes the entry for link joining list, choosing the write above by list. Returns false and
// writes nothing for the lists that are never stored (In Progress, Pending).
bool WriteLinkEntry(TVornCustomIniFile& index, TVornLinkList list, const TVornLink& link);

// Receives each rebuilt link with its STATUS (which may be a number no list uses: see
// LinkListOfStatus); returning false stops the rebuild.
using TIndexLinkHandler = std::function<bool(TVornLinkPtr link, int status)>;

// The link a section stands for: page from PAGE (the section name when empty), text the section
// name ("mailto:" + it for STATUS 4), level from LEVEL, and by STATUS the size (0), error text
// (2) or reason (3); status receives STATUS. Null for a section without a name.
TVornLinkPtr RebuildLink(const TVornIndexFile& index, std::string_view section, int& status);

// Rebuilds a link per section, in file order, and hands each over. Returns the number of links
// handed over.
size_t LoadLinksFromIndex(const TVornIndexFile& index, const TIndexLinkHandler& onLink);

// Read access to stored documents by address; the project document implements it. Both reads
// give empty text for an address without section or content, and never raise.
class TStoredDocumentReader {
 public:
  virtual ~TStoredDocumentReader() = default;
  virtual std::string GetDocumentValue(std::string_view url, std::string_view key) = 0;
  virtual std::string GetDocumentContent(std::string_view url) = 0;
};

// The page to deliver for the document stored under address (see the RenderStoredDocument of
// formats/stored_document.h); empty for an address the reader does not know. Raises what the
// reader raises for a content it cannot read.
std::string RenderStoredDocument(TStoredDocumentReader& reader, std::string_view address,
                                 const TLinkMapping& mapping = {});

}  // namespace tq
