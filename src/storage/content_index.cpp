// Content index entries: the writes per list, rebuilding links from an index, rendering by address.
#include "storage/content_index.h"

#include <vector>

namespace tq {
namespace {

// The keys every stored list but Deleted shares, after STATUS.
void WriteCommon(TVornCustomIniFile& index, std::string_view section, int status, int level,
                 std::string_view page) {
  index.WriteInteger(section, kIndexStatus, status);
  index.WriteInteger(section, kIndexLevel, level);
  index.WriteString(section, kIndexPage, page);
}

}  // namespace

void WriteReadyEntry(TVornCustomIniFile& index, std::string_view section, int level,
                     std::string_view page, int size) {
  WriteCommon(index, section, kStatusReady, level, page);
  index.WriteInteger(section, kIndexSize, size);
}

void WriteQueueEntry(TVornCustomIniFile& index, std::string_view section, int level,
                     std::string_view page) {
  WriteCommon(index, section, kStatusQueue, level, page);
}

void WriteFailedEntry(TVornCustomIniFile& index, std::string_view section, int level,
                      std::string_view page, std::string_view error) {
  WriteCommon(index, section, kStatusFailed, level, page);
  index.WriteString(section, kIndexError, error);
}

void WriteIgnoredEntry(TVornCustomIniFile& index, std::string_view section, int level,
                       std::string_view page, std::string_view reason) {
  WriteCommon(index, section, kStatusIgnored, level, page);
  index.WriteString(section, kIndexReason, reason);
}

void WriteEmailEntry(TVornCustomIniFile& index, std::string_view mailAddress, int level,
                     std::string_view page) {
  WriteCommon(index, mailAddress, kStatusEmail, level, page);
}

void WriteDeletedEntry(TVornCustomIniFile& index, std::string_view section) {
  index.WriteInteger(section, kIndexStatus, kStatusDeleted);
}

void WriteContentTypeEntry(TVornCustomIniFile& index, std::string_view section,
                           std::string_view contentType) {
  index.WriteInteger(section, kIndexStatus, kStatusReady);
  index.WriteString(section, kIndexContentType, contentType);
}

std::string IndexSectionOf(const TVornLink& link) {
  if (link.LinkKind() == lkMail) return link.GetMailAddress();
  return link.GetUrl();
}

bool WriteLinkEntry(TVornCustomIniFile& index, TVornLinkList list, const TVornLink& link) {
  switch (list) {
    case ellReady:
      WriteReadyEntry(index, IndexSectionOf(link), link.Level, link.Page(), link.Size);
      return true;
    case ellQueue:
      WriteQueueEntry(index, IndexSectionOf(link), link.Level, link.Page());
      return true;
    case ellFailed:
      WriteFailedEntry(index, IndexSectionOf(link), link.Level, link.Page(), link.ErrorText);
      return true;
    case ellIgnored:
      WriteIgnoredEntry(index, IndexSectionOf(link), link.Level, link.Page(), link.Reason);
      return true;
    case ellEmail:
      WriteEmailEntry(index, IndexSectionOf(link), link.Level, link.Page());
      return true;
    case ellDeleted:
      WriteDeletedEntry(index, IndexSectionOf(link));
      return true;
    case ellWorking:
    case ellPending:
      return false;
  }
  return false;
}

TVornLinkPtr RebuildLink(const TVornIndexFile& index, std::string_view section, int& status) {
  if (section.empty()) return nullptr;
  auto link = std::make_shared<TVornLink>();
  std::string page = index.ReadString(section, kIndexPage, "");
  link->SetPage(page.empty() ? std::string(section) : std::move(page));
  status = index.ReadInteger(section, kIndexStatus, kStatusReady);
  if (status == kStatusEmail) {
    // The section holds the decoded address; a "%" left in it is a character of the address.
    std::string text = "mailto:";
    for (char c : section) text += c == '%' ? std::string_view("%25") : std::string_view(&c, 1);
    link->SetText(text);
  } else {
    link->SetText(section);
  }
  link->Level = index.ReadInteger(section, kIndexLevel, 0);
  switch (status) {
    case kStatusReady:
      link->Size = index.ReadInteger(section, kIndexSize, 0);
      link->ETag = index.ReadString(section, kIndexETag, "");
      link->LastModified = index.ReadString(section, kIndexLastModified, "");
      link->GoneSince = index.ReadString(section, kIndexGoneSince, "");
      if (!link->GoneSince.empty()) link->ErrorText = index.ReadString(section, kIndexError, "");
      break;
    case kStatusFailed:
      link->ErrorText = index.ReadString(section, kIndexError, "");
      break;
    case kStatusIgnored:
      link->Reason = index.ReadString(section, kIndexReason, "");
      break;
    default:
      break;
  }
  return link;
}

size_t LoadLinksFromIndex(const TVornIndexFile& index, const TIndexLinkHandler& onLink) {
  size_t count = 0;
  std::string_view section;
  for (size_t slot = 0; slot < index.SlotCount(); ++slot) {
    int status = 0;
    TVornLinkPtr link =
        index.SectionAt(slot, section) ? RebuildLink(index, section, status) : nullptr;
    if (!link) continue;
    ++count;
    if (!onLink(std::move(link), status)) break;
  }
  return count;
}

std::string RenderStoredDocument(TStoredDocumentReader& reader, std::string_view address,
                                 const TLinkMapping& mapping) {
  const std::string contentType = reader.GetDocumentValue(address, kIndexContentType);
  const std::string content = reader.GetDocumentContent(address);
  return RenderStoredDocument(contentType, content, mapping);
}

}  // namespace tq
