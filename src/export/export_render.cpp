// Rendering exported documents with the export's link mapping.
#include "export/export_render.h"

#include "export/export_path.h"
#include "formats/stored_document.h"
#include "foundation/url.h"

namespace tq {

TVornExportRender::TVornExportRender(const TVornDepFiles& files,
                                     const TVornLinkTranslation& translation)
    : m_files(files), m_translate(translation.Enabled), m_followed(translation.Followed) {}

std::string TVornExportRender::MapLink(const TVornDepFile& from, const std::string& address) const {
  if (!m_translate || m_followed != EltOffline) return address;
  const TLinkKind kind = GetLinkKind(address, from.Url);
  if (kind != lkAbsolute && kind != lkFtp) return address;
  const TVornDepFile* to = m_files.Find(address);
  // Not exported: whatever unfollowed links are translated to, the online address is the only
  // target that exists.
  if (to == nullptr) return address;
  return EncodeLinkPath(MakeRelativeLink(from.LocalPath, to->LocalPath));
}

std::string TVornExportRender::Render(const TVornDepFile& file, std::string content) const {
  if (!IsPageContentType(file.ContentType)) return content;
  TLinkMapping mapping;
  if (m_translate) {
    mapping = [&](int, const std::string& address) { return MapLink(file, address); };
  }
  return RenderStoredDocument(file.ContentType, content, mapping);
}

}  // namespace tq
