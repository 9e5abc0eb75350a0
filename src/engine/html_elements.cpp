// The tag and attribute table of link analysis.
#include "engine/html_elements.h"

#include "formats/html_tokenizer.h"

namespace tq {
namespace {

constexpr std::array<TVornTagEntry, 20> kTags = {{
    {"a", {"href"}, 1, eptAnchor},
    {"applet", {"src", "code", "codebase"}, 3, eptApplet},
    {"area", {"href"}, 1, eptArea},
    {"base", {"href"}, 1, eptBase},
    {"bgsound", {"src"}, 1, eptBgSound},
    {"body", {"background"}, 1, eptBody},
    {"embed", {"src"}, 1, eptEmbed},
    {"form", {"action"}, 1, eptUnknown},
    {"frame", {"src"}, 1, eptFrame},
    {"iframe", {"src"}, 1, eptIFrame},
    {"img", {"src"}, 1, eptImage},
    {"input", {"img", "src"}, 2, eptInput},
    {"link", {"href"}, 1, eptLink},
    {"meta", {"url"}, 1, eptUnknown},
    {"object", {"codebase", "data"}, 2, eptObject},
    {"script", {"src"}, 1, eptScript},
    {"table", {"background"}, 1, eptTable},
    {"td", {"background"}, 1, eptTD},
    {"th", {"background"}, 1, eptTH},
    // TR has no link attribute, but its event attributes are scanned.
    {"tr", {}, 0, eptTR},
}};

}  // namespace

TVornHTMLElements::TVornHTMLElements(std::string pageUrl, int32_t pageLevel)
    : m_baseUrl(std::move(pageUrl)),
      m_level(pageLevel + 1),
      m_links(std::make_shared<TVornLevelLinks>()) {
  m_links->SetLevel(m_level);
}

const TVornTagEntry* TVornHTMLElements::FindTag(std::u16string_view name) {
  // Every name in the table is at most 7 letters: a longer name is no table tag.
  if (name.empty() || name.size() > 7) return nullptr;
  for (const TVornTagEntry& entry : kTags)
    if (entry.Name.size() == name.size() && HtmlNameEquals(name, entry.Name)) return &entry;
  return nullptr;
}

int TVornHTMLElements::EventAttributeIndex(std::u16string_view name) {
  if (name.size() < 6 || (name[0] | 0x20) != 'o' || (name[1] | 0x20) != 'n') return -1;
  for (std::size_t i = 0; i < kVornEventAttributes.size(); ++i)
    if (kVornEventAttributes[i].size() == name.size() &&
        HtmlNameEquals(name, kVornEventAttributes[i]))
      return static_cast<int>(i);
  return -1;
}

void TVornHTMLElements::SetLevel(int32_t level) {
  m_level = level;
  m_links->SetLevel(level);
}

}  // namespace tq
