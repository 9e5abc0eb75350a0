// TVornHTMLElements: which start tags carry links, in which attributes, and which event
// attributes hold scripts worth scanning; plus the page state every analysis of one page shares
// (the page address, the level its links get, and the links found so far).
//
// The table functions are pure and safe on any thread. An object is used by one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/link.h"
#include "engine/links.h"

namespace tq {

// One tag of the table: its lower-case name, the attributes whose values are links (in the order
// they are treated) and the kind of tag the links found on it carry.
struct TVornTagEntry {
  std::string_view Name;
  std::array<std::string_view, 3> LinkAttributes;
  int LinkAttributeCount = 0;
  TVornPublishedTagsKind TagKind = eptUnknown;
};

// The event attributes scanned for quoted file names on the table's tags (onblur and onchange
// are not among them).
inline constexpr std::array<std::string_view, 16> kVornEventAttributes = {
    "onclick", "ondblclick",  "onfocus",     "onkeydown",  "onkeypress",  "onkeyup",
    "onload",  "onmousedown", "onmousemove", "onmouseout", "onmouseover", "onmouseup",
    "onreset", "onselect",    "onsubmit",    "onunload"};

class TVornHTMLElements {
 public:
  // pageUrl: the page's absolute address, against which every link is resolved.
  // pageLevel: the page's depth; the links found get pageLevel + 1.
  TVornHTMLElements(std::string pageUrl, int32_t pageLevel);
  virtual ~TVornHTMLElements() = default;
  TVornHTMLElements(const TVornHTMLElements&) = delete;
  TVornHTMLElements& operator=(const TVornHTMLElements&) = delete;

  // The table entry of a tag name (any letter case), or null for a tag without links.
  static const TVornTagEntry* FindTag(std::u16string_view name);
  // The position of an event attribute's name (any letter case) in kVornEventAttributes, or -1.
  static int EventAttributeIndex(std::u16string_view name);

  const std::string& BaseUrl() const { return m_baseUrl; }
  // The level the page's links get (the page level + 1).
  int32_t Level() const { return m_level; }
  // Sets the level of the analyser and of every link already found.
  void SetLevel(int32_t level);

  // The links found by the last analysis, in placeholder-number order. Shared so that whoever
  // takes them over keeps them after the analyser is gone.
  const std::shared_ptr<TVornLevelLinks>& Links() const { return m_links; }

 protected:
  std::string m_baseUrl;
  int32_t m_level;
  std::shared_ptr<TVornLevelLinks> m_links;
};

}  // namespace tq
