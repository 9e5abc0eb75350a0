// The link analyser: numbering links, rewriting their values into placeholders and building the
// stored copy.
#include "engine/content.h"

#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <vector>

#include "formats/css_tokenizer.h"
#include "formats/html_rewrite.h"
#include "formats/html_writer.h"
#include "formats/srcset.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"
#include "foundation/canonical_url.h"
#include "foundation/errors.h"
#include "foundation/url.h"

namespace tq {
namespace {

// The analysis lock: one page is tokenised at a time in the whole process, whatever project it
// belongs to. Held only by TVornContent::Analyze.
std::mutex g_analysisLock;
std::atomic<bool> g_analysisLockHeld{false};

constexpr std::string_view kJavaScript = "JAVASCRIPT:";
constexpr std::string_view kFileScheme = "FILE://";

std::string_view TrimBlanksAndControls(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

bool IsFileLike(std::string_view item) {
  return item.find(' ') == std::string_view::npos && item.find('.') != std::string_view::npos &&
         AnsiUpperCase(item).find("DOCUMENT") == std::string::npos;
}

// A cleaned link value made absolute against its page (pageServer: its server), in the canonical
// form its link is registered with.
std::string ResolveCleanLink(std::string url, std::string_view pageUrl,
                             std::string_view pageServer) {
  const TLinkKind kind = GetLinkKind(url, pageUrl);
  if (kind == lkRelative || kind == lkRootRelative) url = ResolveUrl(pageUrl, url, pageServer);
  std::string canonical;
  return CanonicalizeUrl(url, canonical) ? canonical : url;
}

// Mail links are the one kind of link with another scheme than the crawl's own: they fill the
// Emails list. data:, about:, tel: and the rest stay in the page as written.
bool MayBecomeLink(std::string_view value) {
  return IsFetchableReference(value) || AnsiStartsText("mailto:", value);
}

// The words of a space-separated attribute value (rel), upper-cased.
std::vector<std::string> UpperWords(std::string_view value) {
  std::vector<std::string> words;
  const std::string upper = AnsiUpperCase(value);
  std::size_t at = 0;
  while (at < upper.size()) {
    const std::size_t end = upper.find_first_of(" \t\r\n\f", at);
    if (end != at) words.push_back(upper.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return words;
}

std::string UpperAttribute(const THtmlStartTag& tag, std::string_view name) {
  const std::optional<std::string> value = tag.GetAttribute(name);
  return value ? AnsiUpperCase(TrimBlanksAndControls(*value)) : std::string();
}

// What an object or embed shows, by the media type it declares.
TVornRequisite RequisiteOfType(const THtmlStartTag& tag) {
  const std::string type = UpperAttribute(tag, "type");
  if (type.starts_with("IMAGE/")) return erqImage;
  if (type.starts_with("VIDEO/")) return erqVideo;
  if (type.starts_with("AUDIO/")) return erqAudio;
  if (type.starts_with("TEXT/HTML") || type.starts_with("APPLICATION/XHTML")) return erqFrame;
  return erqObject;
}

// A link element names a requisite by its rel: a style sheet, an icon, or something preloaded
// for the page (by what its "as" says). Other rel values (next, search, canonical) are links
// to follow.
TVornRequisite RequisiteOfLinkElement(const THtmlStartTag& tag) {
  const std::optional<std::string> rel = tag.GetAttribute("rel");
  if (!rel) return erqNone;
  TVornRequisite found = erqNone;
  for (const std::string& word : UpperWords(*rel)) {
    if (word == "STYLESHEET") return erqStyleSheet;
    if (word == "ICON" || word == "APPLE-TOUCH-ICON" || word == "APPLE-TOUCH-ICON-PRECOMPOSED" ||
        word == "MASK-ICON") {
      found = erqImage;
    } else if (word == "MODULEPRELOAD") {
      found = erqScript;
    } else if (word == "PRELOAD") {
      const std::string as = UpperAttribute(tag, "as");
      if (as == "STYLE") found = erqStyleSheet;
      if (as == "SCRIPT") found = erqScript;
      if (as == "FONT") found = erqFont;
      if (as == "IMAGE") found = erqImage;
    }
  }
  return found;
}

// What the page needs the value of this attribute for when it is displayed.
TVornRequisite RequisiteOf(const THtmlStartTag& tag, std::string_view attribute,
                           TVornPublishedTagsKind kind) {
  switch (kind) {
    case eptImage:
    case eptBody:
    case eptTable:
    case eptTD:
    case eptTH:
      return erqImage;
    case eptInput:
      return UpperAttribute(tag, "type") == "IMAGE" ? erqImage : erqNone;
    case eptScript:
      return erqScript;
    case eptFrame:
    case eptIFrame:
      return erqFrame;
    case eptBgSound:
      return erqAudio;
    case eptLink:
      return RequisiteOfLinkElement(tag);
    case eptObject:
      // codebase is a folder the object's parts were once resolved against, nothing to show.
      return attribute == "data" ? RequisiteOfType(tag) : erqNone;
    case eptEmbed:
      return RequisiteOfType(tag);
    default:
      return erqNone;
  }
}

}  // namespace

bool IsStyleSheetType(std::string_view contentType) {
  return AnsiUpperCase(contentType).find("TEXT/CSS") != std::string::npos;
}

TVornContent::TVornContent(std::string pageUrl, int32_t pageLevel)
    : TVornHTMLElements(std::move(pageUrl), pageLevel) {}

bool TVornContent::AnalysisLockHeld() {
  return g_analysisLockHeld.load();
}

std::string TVornContent::CleanLinkValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string clean;
  clean.reserve(value.size());
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (byte < 0x80) {
      clean += c;
    } else {
      clean += '%';
      clean += kHex[byte >> 4];
      clean += kHex[byte & 15];
    }
  }
  return clean;
}

void TVornContent::SetBaseUrl(std::string pageUrl) {
  m_baseUrl = std::move(pageUrl);
  if (m_status != TVornAnalysisStatus::easNone) {
    const std::string input = std::move(m_input);
    const std::string contentType = std::move(m_contentType);
    Analyze(input, contentType);
  }
}

TVornAnalysisStatus TVornContent::Analyze(std::string_view bytes, std::string_view contentType) {
  if (bytes.data() != m_input.data()) m_input.assign(bytes);
  if (contentType.data() != m_contentType.data()) m_contentType.assign(contentType);
  m_baseServer = ExtractUrlServer(m_baseUrl);
  m_errorText.clear();
  m_output.clear();
  // A fresh list each time: whoever took over the previous analysis's links keeps them intact.
  m_links = std::make_shared<TVornLevelLinks>();
  m_links->SetLevel(m_level);
  {
    std::lock_guard<std::mutex> lock(g_analysisLock);
    g_analysisLockHeld.store(true);
    if (TestOnlyOnLockHeld) TestOnlyOnLockHeld(*this);
    THtmlWriter writer;
    try {
      if (Cancelled()) throw TCancelledError();
      if (StyleLinks && IsStyleSheetType(m_contentType)) {
        RegisterStyleLinks(m_input);
        m_output = m_input;
      } else {
        TStyleTextHook onStyleText;
        if (StyleLinks)
          onStyleText = [this](std::u16string_view css) { RegisterStyleLinks(Utf16ToUtf8(css)); };
        const std::string body = RewriteHtml(
            m_input, m_contentType,
            [this](THtmlStartTag& tag) {
              if (Cancelled()) throw TCancelledError();
              TreatStartTag(tag);
            },
            writer, onStyleText);
        if (Cancelled()) throw TCancelledError();
        m_output = BuildStoredDocument(body);
      }
      m_status = TVornAnalysisStatus::easDone;
    } catch (const TCancelledError&) {
      m_status = TVornAnalysisStatus::easCancelled;
    } catch (const std::exception& error) {
      m_status = TVornAnalysisStatus::easFailed;
      m_errorText = error.what();
      m_output = writer.TakeOutput();
    }
    if (m_status != TVornAnalysisStatus::easDone) {
      m_links = std::make_shared<TVornLevelLinks>();
      m_links->SetLevel(m_level);
    }
    g_analysisLockHeld.store(false);
  }
  if (m_status == TVornAnalysisStatus::easDone && OnAnalysisEnd) OnAnalysisEnd(*this, m_links);
  return m_status;
}

void TVornContent::TreatStartTag(THtmlStartTag& tag) {
  if (const TVornTagEntry* entry = FindTag(tag.Name())) {
    // A's event attributes are treated before and again after its href.
    const bool anchor = entry->TagKind == eptAnchor;
    if (anchor) TreatEventAttributes(tag, entry->TagKind);
    for (int i = 0; i < entry->LinkAttributeCount; ++i)
      TreatLinkValue(tag, entry->LinkAttributes[static_cast<std::size_t>(i)], entry->TagKind);
    TreatEventAttributes(tag, entry->TagKind);
  }
  if (!StyleLinks) return;
  if (tag.NameIs("img") || tag.NameIs("source")) TreatSrcset(tag);
  if (const std::optional<std::string> style = tag.GetAttribute("style"))
    RegisterStyleLinks(*style);
}

void TVornContent::TreatLinkValue(THtmlStartTag& tag, std::string_view attribute,
                                  TVornPublishedTagsKind kind) {
  const std::optional<std::string> value = tag.GetAttribute(attribute);
  if (!value || value->empty()) return;
  const std::string_view text = *value;
  // Browsers ignore blanks and control characters around an address; kept, they would end up
  // inside the resolved address.
  const std::string_view address = TrimBlanksAndControls(text);
  if (AnsiStartsText(kJavaScript, address)) {
    const std::string script = ScanScript(TrimBlanksAndControls(address.substr(11)), kind);
    std::string rewritten(address.substr(0, 11));
    rewritten += script;
    if (rewritten != text) tag.SetAttribute(attribute, rewritten);
    return;
  }
  if (AnsiStartsText(kFileScheme, address) || !MayBecomeLink(address)) return;
  const std::size_t hash = address.find('#');
  const std::string placeholder =
      RegisterLink(address.substr(0, hash), kind, RequisiteOf(tag, attribute, kind));
  if (placeholder.empty()) return;
  std::string fragment;
  if (hash != std::string_view::npos) {
    // The fragment stays as written, less the characters a browser drops from addresses.
    for (char c : address.substr(hash))
      if (c != '\t' && c != '\r' && c != '\n') fragment += c;
  }
  tag.SetAttribute(attribute, placeholder + fragment);
}

void TVornContent::TreatEventAttributes(THtmlStartTag& tag, TVornPublishedTagsKind kind) {
  // Most tags have no event attribute: find the ones present in one pass over the tag, then
  // treat them in the table's order, which decides the numbers of the links they hold.
  uint32_t present = 0;
  for (const THtmlAttribute& attribute : tag.Attributes()) {
    const int index = EventAttributeIndex(attribute.Name);
    if (index >= 0 && !attribute.Removed) present |= 1u << index;
  }
  for (std::size_t i = 0; present != 0; ++i, present >>= 1) {
    if ((present & 1u) == 0) continue;
    const std::string_view event = kVornEventAttributes[i];
    const std::optional<std::string> value = tag.GetAttribute(event);
    if (!value || value->empty()) continue;
    const std::string script = ScanScript(*value, kind);
    if (script != *value) tag.SetAttribute(event, script);
  }
}

std::string TVornContent::ScanScript(std::string_view script, TVornPublishedTagsKind kind) {
  std::string out;
  out.reserve(script.size());
  bool inside = false;
  while (!script.empty()) {
    if (script.front() == '\'') {
      inside = !inside;
      out += '\'';
      script.remove_prefix(1);
      continue;
    }
    const std::size_t end = script.find('\'');
    const std::string_view item = script.substr(0, end);
    script.remove_prefix(item.size());
    // An item that already is a placeholder was registered by an earlier pass over the same
    // attribute (A's events are treated twice): registering it again would nest placeholders.
    if (!inside || !IsFileLike(item) || item.starts_with(kLinkPlaceholderTextStart)) {
      out += item;
      continue;
    }
    const std::size_t hash = item.find('#');
    const std::string_view text = item.substr(0, hash);
    std::string placeholder;
    if (!AnsiStartsText(kFileScheme, text) && MayBecomeLink(text))
      placeholder = RegisterLink(text, kind);
    if (placeholder.empty()) {
      out += item;
    } else {
      out += placeholder;
      if (hash != std::string_view::npos) out += item.substr(hash);
    }
  }
  return out;
}

std::string TVornContent::RegisterLink(std::string_view value, TVornPublishedTagsKind kind,
                                       TVornRequisite requisite) {
  std::string url = CleanLinkValue(value);
  if (url.empty()) return {};
  url = ResolveCleanLink(std::move(url), m_baseUrl, m_baseServer);
  int index = m_links->FindUrl(kFindExact, url);
  if (index < 0) {
    auto link = std::make_shared<TVornLink>();
    link->SetPage(m_baseUrl);
    link->SetText(url);
    link->TagKind = kind;
    link->Requisite = requisite;
    index = m_links->Add(std::move(link));
  } else if (requisite != erqNone) {
    // An image the page also links to (<a href="x.png"><img src="x.png"></a>) is one link: the
    // page still needs it, whichever tag named it first. Nobody else holds the list yet.
    const TVornLinkPtr link = m_links->Get(index);
    if (link->Requisite == erqNone) link->Requisite = requisite;
  }
  return LinkPlaceholderText(index);
}

void TVornContent::TreatSrcset(THtmlStartTag& tag) {
  const std::optional<std::string> value = tag.GetAttribute("srcset");
  if (!value) return;
  const std::string_view text = *value;
  std::string rewritten;
  std::size_t copied = 0;
  for (const TSrcsetCandidate& candidate : ParseSrcset(text)) {
    std::string_view address = text.substr(candidate.Begin, candidate.End - candidate.Begin);
    address = address.substr(0, address.find('#'));  // the fragment stays behind the placeholder
    const std::string placeholder = RegisterNamedLink(address, eptImage, erqImage);
    if (placeholder.empty()) continue;
    rewritten.append(text.substr(copied, candidate.Begin - copied));
    rewritten += placeholder;
    copied = candidate.Begin + address.size();
  }
  if (rewritten.empty()) return;
  rewritten.append(text.substr(copied));
  tag.SetAttribute("srcset", rewritten);
}

std::string TVornContent::StyleLinkAddress(std::string_view reference,
                                           std::string_view documentUrl) {
  const std::string_view value = reference.substr(0, reference.find('#'));
  if (value.empty() || !IsFetchableReference(value)) return {};
  std::string url = CleanLinkValue(value);
  if (url.empty()) return {};
  return ResolveCleanLink(std::move(url), documentUrl, ExtractUrlServer(documentUrl));
}

void TVornContent::RegisterStyleLinks(std::string_view css) {
  // Style sheets are stored as they are: their links only need to be fetched, and each is
  // needed to display the pages that use the sheet.
  for (const TCssReference& reference : FindCssReferences(css)) {
    const std::string_view url = reference.Url;
    const TVornRequisite requisite = reference.Import     ? erqStyleSheet
                                     : reference.FontFace ? erqFont
                                                          : erqImage;
    RegisterNamedLink(url.substr(0, url.find('#')), reference.Import ? eptLink : eptImage,
                      requisite);
  }
}

std::string TVornContent::RegisterNamedLink(std::string_view value, TVornPublishedTagsKind kind,
                                            TVornRequisite requisite) {
  if (value.empty() || !IsFetchableReference(value)) return {};
  return RegisterLink(value, kind, requisite);
}

std::string TVornContent::BuildStoredDocument(std::string_view body) const {
  TStoredDocumentWriter header;
  const int count = m_links->Count();
  for (int i = 0; i < count; ++i) {
    const TVornLinkPtr link = m_links->Get(i);
    if (link->LinkKind() == lkMail) {
      header.AddMailLink(link->GetMailAddress());
      continue;
    }
    std::string address;
    try {
      address = link->GetUrl();
    } catch (const EVornError&) {
      // A link whose address cannot be computed still keeps its number: an empty line.
    }
    header.AddLink(address);
  }
  return header.Build(m_baseUrl, body);
}

}  // namespace tq
