// The admission tests, in the order a pending link goes through them.
#include "engine/admission.h"

#include <memory>

#include "foundation/ascii_case.h"
#include "foundation/canonical_url.h"
#include "foundation/errors.h"
#include "foundation/url.h"

namespace tq {
namespace {

TVornLinkValidation Refuse(TVornLink& link, std::string_view reason) {
  link.Reason = reason;
  return elvNo;
}

bool SameServer(std::string_view a, std::string_view b) {
  return AsciiEqualsNoCase(ExtractUrlServer(a), ExtractUrlServer(b));
}

// Some marked, non-empty keyword occurs in lowerText (already lower-cased).
bool AnyKeywordIn(const TCheckStrings& keywords, const std::string& lowerText) {
  for (int i = 0; i < keywords.Count(); ++i) {
    const TCheckString& item = keywords.Items(i);
    if (!item.Checked || item.Value.empty()) continue;
    if (lowerText.find(AsciiLowerCase(item.Value)) != std::string::npos) return true;
  }
  return false;
}

// Sizes in 64 bits: a bound of 2 GiB or more in KiB must not wrap to a negative byte count.
bool SizeOutOfBounds(const TVornFileFilters& filter, int64_t size) {
  if (filter.FileSizeUsage != ffsSelected) return false;
  if (filter.FileMinSize.Enabled && size < int64_t{filter.FileMinSize.Size} * 1024) return true;
  return filter.FileMaxSize.Enabled && size > int64_t{filter.FileMaxSize.Size} * 1024;
}

}  // namespace

bool ClaimsLink(const TVornFileFilters& filter, const TVornLink& link) {
  if (!filter.Download) return false;
  const std::string url = link.GetUrl();
  const std::string extension = ExtractUrlFileExt(url);
  if (extension.empty()) return false;
  // The file name's extension begins at its first dot, which makes jquery.min.js a "min.js" and
  // every page below a dotted folder (/v1.2/docs/page.html) a "2/docs/page.html". The type
  // after the last dot of the last segment is what servers and browsers go by, so it claims too.
  const std::string lastExtension = ExtractUrlLastExt(url);
  for (int i = 0; i < filter.FileExtensions.Count(); ++i) {
    const TCheckString& item = filter.FileExtensions.Items(i);
    if (filter.FileExtensionsUsage == ffeSelected && !item.Checked) continue;
    if (AsciiEqualsNoCase(item.Value, extension)) return true;
    if (!lastExtension.empty() && AsciiEqualsNoCase(item.Value, lastExtension)) return true;
  }
  return false;
}

TVornLinkValidation CheckLocation(const TVornFileFilters& filter,
                                  const TVornServerRules& serverRules, std::string_view startUrl,
                                  TVornLink& link) {
  const std::string url = link.GetUrl();
  switch (filter.FileLocation) {
    case fflStartingServer:
      return SameServer(url, startUrl) ? elvOk : Refuse(link, kReasonBaseServer);
    case fflStartingDirectory: {
      if (!SameServer(url, startUrl)) return Refuse(link, kReasonStartingDirectory);
      const std::string startDir = ExtractUrlDir(startUrl);
      if (startDir.empty() || AsciiStartsWithNoCase(ExtractUrlDir(url), startDir)) return elvOk;
      return Refuse(link, kReasonStartingDirectory);
    }
    case fflAySite:
      return CheckLink(serverRules, startUrl, link);
  }
  // An ordinal beyond the known ones, as read from a file: no location allows it.
  return elvNo;
}

bool ListsExtension(const TVornFileFilters& filter, const TVornLink& link) {
  const std::string url = link.GetUrl();
  const std::string extension = ExtractUrlFileExt(url);
  if (extension.empty()) return false;
  const std::string lastExtension = ExtractUrlLastExt(url);
  for (int i = 0; i < filter.FileExtensions.Count(); ++i) {
    const std::string& value = filter.FileExtensions.Items(i).Value;
    if (AsciiEqualsNoCase(value, extension) || AsciiEqualsNoCase(value, lastExtension)) return true;
  }
  return false;
}

TVornLinkValidation CheckSize(const TVornFileFilters& filter, TVornLink& link) {
  return SizeOutOfBounds(filter, link.Size) ? Refuse(link, kReasonSize) : elvOk;
}

TVornLinkValidation CheckKeywords(const TVornRules& rules, std::string_view text) {
  if (!rules.Enabled) return elvOk;
  const std::string lower = AsciiLowerCase(text);
  if (!AnyKeywordIn(rules.IncludedKeywords, lower)) return elvNo;
  return AnyKeywordIn(rules.ExcludedKeywords, lower) ? elvNo : elvOk;
}

TVornLinkValidation CheckLink(const TVornDirectoryRules& rules, std::string_view startUrl,
                              TVornLink& link) {
  const std::string url = link.GetUrl();
  switch (rules.DirectoryRules) {
    case edrOnlyStartingDirectory: {
      const std::string startDir = ExtractUrlDir(startUrl);
      const bool inside = startDir.empty() ? ExtractUrlServer(url) == ExtractUrlServer(startUrl)
                                           : AsciiStartsWithNoCase(ExtractUrlDir(url), startDir);
      return inside ? elvOk : Refuse(link, kReasonStartingDirectory);
    }
    case edrAll:
      return elvOk;
    case edrKeywords:
      return CheckKeywords(rules, ExtractUrlDir(url)) == elvOk
                 ? elvOk
                 : Refuse(link, kReasonDirectoryKeywords);
  }
  return elvNo;
}

TVornLinkValidation CheckLink(const TVornFileRules& rules, std::string_view, TVornLink& link) {
  switch (rules.FileRules) {
    case efrAll:
      return elvOk;
    case efrKeywords:
      return CheckKeywords(rules, ExtractUrlFileName(link.GetUrl())) == elvOk
                 ? elvOk
                 : Refuse(link, kReasonFileKeywords);
  }
  return elvNo;
}

TVornLinkValidation CheckLink(const TVornServerRules& rules, std::string_view startUrl,
                              TVornLink& link) {
  const std::string url = link.GetUrl();
  const TUrlProtocol startProtocol = GetUrlProtocol(startUrl);
  const TUrlProtocol protocol = GetUrlProtocol(url);
  TVornLinkValidation byProtocol = elvNo;
  switch (rules.ServerRules) {
    case esrAll:
      byProtocol = elvOk;
      break;
    case esrStartingProtocol:
      byProtocol = protocol == startProtocol ? elvOk : Refuse(link, kReasonStartingProtocol);
      break;
    case esrStartingProtocolAnd: {
      const bool selected = protocol == startProtocol || (protocol == upHttp && rules.HTTP) ||
                            (protocol == upHttps && rules.HTTPS) ||
                            (protocol == upFtp && rules.FTP);
      byProtocol = selected ? elvOk : Refuse(link, kReasonProtocolNotSelected);
      break;
    }
  }

  std::string host = ExtractUrlServer(url);
  if (const size_t slashes = host.find("//"); slashes != std::string::npos) {
    host.erase(0, slashes + 2);
  }
  // A related host passes; the protocol reason stays on the link, as the user saw it set.
  if (rules.FollowApropiateDomains && byProtocol == elvNo && IsRelatedDomain(startUrl, host)) {
    byProtocol = elvOk;
  }
  TVornLinkValidation byKeywords = CheckKeywords(rules, host);
  if (byKeywords == elvNo) byKeywords = Refuse(link, kReasonServerKeywords);
  return byProtocol == elvOk && byKeywords == elvOk ? elvOk : elvNo;
}

// --- TVornAdmission ---

void TVornAdmission::AdmitPending() {
  TVornBaseLinks& pending = *m_lists.Pending;
  // Only this thread deletes from PendingLinks; others append behind, so index 0 stays ours.
  while (pending.Count() > 0) {
    TVornLinkPtr link = pending.Get(0);
    pending.Delete(0);
    AdmitLink(std::move(link));
  }
}

const TVornBaseLinks* TVornAdmission::KnownIn(const std::string& url) const {
  // A finished page's link leaves WorkingLinks for its next list under WorkingLinks' write lock;
  // read-locked across the search, that move cannot fall between two look-ups, which would let
  // the link pass as new while it is in neither list.
  TVornReadGuard steady(m_lists.Working->Lock());
  const int mode = m_settings.TagsRecognition.RecognitionMode;
  const TVornBaseLinks* const lists[] = {
      m_lists.Ready,  m_lists.Queue,   m_settings.System.BuildIgnored() ? m_lists.Ignored : nullptr,
      m_lists.Failed, m_lists.Deleted, m_lists.Working};
  for (const TVornBaseLinks* list : lists) {
    if (list != nullptr && list->Contains(mode, url)) return list;
  }
  return nullptr;
}

bool TVornAdmission::IsRequisite(const TVornLink& link) const {
  return link.Requisite != erqNone && m_settings.General.PageRequisites;
}

const TVornFileFilters* TVornAdmission::RoleFilter(const TVornLink& link) const {
  if (!IsRequisite(link)) return nullptr;
  for (const TVornFileFilters* filter : m_filters) {
    if (ListsExtension(*filter, link)) return nullptr;
  }
  switch (link.Requisite) {
    case erqImage:
      return &m_settings.FilterImagesFiles;
    case erqStyleSheet:
    case erqScript:
    case erqFont:
    case erqFrame:
      return &m_settings.FilterTextFiles;
    case erqVideo:
      return &m_settings.FilterVideoFiles;
    case erqAudio:
      return &m_settings.FilterAudioFiles;
    default:
      return nullptr;
  }
}

bool TVornAdmission::Claims(const TVornFileFilters& filter, const TVornLink& link,
                            const TVornFileFilters* roleFilter) const {
  return ClaimsLink(filter, link) || (&filter == roleFilter && filter.Download);
}

TVornLinkValidation TVornAdmission::Locate(const TVornFileFilters& filter,
                                           std::string_view startUrl, TVornLink& link) const {
  // The starting directory of a filter's location is a folder rule like the others: a requisite
  // only has to come from the starting server.
  if (filter.FileLocation == fflStartingDirectory && IsRequisite(link)) {
    return SameServer(link.GetUrl(), startUrl) ? elvOk : Refuse(link, kReasonStartingDirectory);
  }
  return CheckLocation(filter, m_settings.ServerRules, startUrl, link);
}

void TVornAdmission::AdmitLink(TVornLinkPtr link) {
  const std::string url = link->GetUrl();
  // Most links found on a page are known already: those are dropped before any copy. A link
  // nobody else holds is admitted as it is, other ones as a copy.
  const TVornBaseLinks* known = KnownIn(url);
  // A link refused for its level or folder may come back as some page's requisite: it is judged
  // again as one, or the page would show without it only because a deep page named it first.
  const bool retry = known == m_lists.Ignored && IsRequisite(*link) && IgnoredForRequisite(url);
  if (known != nullptr && !retry) return;
  if (link.use_count() > 1) link = std::make_shared<TVornLink>(*link);
  TVornLink& l = *link;

  const TSystem& system = m_settings.System;
  if (l.LinkKind() == lkMail && system.BuildEmails()) {
    const std::string mail = l.GetMailAddress();
    if (m_lists.Email->IndexOfUrl(lkMail, mail) < 0) m_lists.Email->Add(link);
    return;
  }
  if (url.empty()) return;

  // Compared with links in the one spelling they have, whatever the user typed.
  const std::string startUrl = CanonicalUrl(m_settings.General.StartingUrl());
  const bool fileNameEmpty = ExtractUrlFileName(url).empty();
  const bool requisite = IsRequisite(l);
  const TVornFileFilters* roleFilter = RoleFilter(l);
  bool ok = fileNameEmpty;
  if (!fileNameEmpty) {
    bool anyClaims = false;
    for (const TVornFileFilters* filter : m_filters) {
      if (!Claims(*filter, l, roleFilter)) continue;
      anyClaims = true;
      if (Locate(*filter, startUrl, l) == elvOk) ok = true;
    }
    if (!anyClaims) l.Reason = kReasonNoFilter;
  }

  if (ok && !m_settings.TagsRecognition.TagsSensibility.test(l.TagKind)) {
    ok = false;
    l.Reason = kReasonTag;
  }
  if (l.Level > m_settings.General.LevelLimit && !requisite) {
    ok = false;
    l.Reason = kReasonLevel;
  }
  ok = ok && l.LinkKind() != lkNone;
  if (ok && !requisite) ok = CheckLink(m_settings.DirectoryRules, startUrl, l) == elvOk;
  if (ok) ok = CheckLink(m_settings.FileRules, startUrl, l) == elvOk;
  if (ok && RobotsAllow && !RobotsAllow(url)) {
    ok = false;
    l.Reason = kReasonRobots;
  }

  if (retry) {
    // Refused again, it stays listed as it was; admitted, it leaves Ignored for the Queue.
    if (ok) ForgetIgnored(url);
    if (!ok || KnownIn(url) != nullptr) return;
  }
  if (ok) {
    FinalAdd(link, url, fileNameEmpty, roleFilter);
  } else if (system.BuildIgnored()) {
    m_lists.Ignored->Add(link);
  }
}

bool TVornAdmission::IgnoredForRequisite(const std::string& url) const {
  // Only the reasons a requisite passes over: a size refusal came from a fetch, and judging that
  // link again would fetch it again for every page that names it.
  const TVornBaseLinks& ignored = *m_lists.Ignored;
  TVornReadGuard guard(ignored.Lock());
  const int index = ignored.FindUrl(m_settings.TagsRecognition.RecognitionMode, url);
  if (index < 0) return false;
  const std::string& reason = ignored.Get(index)->Reason;
  return reason == kReasonLevel || reason == kReasonStartingDirectory ||
         reason == kReasonDirectoryKeywords || reason == kReasonNoFilter;
}

void TVornAdmission::ForgetIgnored(const std::string& url) {
  TVornBaseLinks& ignored = *m_lists.Ignored;
  TVornWriteGuard guard(ignored.Lock());
  const int index = ignored.FindUrl(m_settings.TagsRecognition.RecognitionMode, url);
  if (index >= 0) ignored.Delete(index);
}

void TVornAdmission::FinalAdd(const TVornLinkPtr& link, const std::string& url, bool fileNameEmpty,
                              const TVornFileFilters* roleFilter) {
  try {
    const TLinkKind kind = link->LinkKind();
    for (const TVornBaseLinks* list :
         {m_lists.Ready, m_lists.Working, m_lists.Failed, m_lists.Queue}) {
      if (list->IndexOfUrl(kind, url) >= 0) return;
    }
    bool accepted = fileNameEmpty;
    for (const TVornFileFilters* filter : m_filters) {
      if (!accepted && Claims(*filter, *link, roleFilter)) accepted = true;
    }
    if (accepted) {
      m_lists.Queue->Add(link);
      return;
    }
    link->Reason = kReasonNoFilter;
    if (m_settings.System.BuildIgnored()) m_lists.Ignored->Add(link);
  } catch (const std::exception&) {
    // A failing add hook (index write, event) costs this link only, not the run.
  }
}

TVornLinkValidation TVornAdmission::CheckSize(TVornLink& link, int64_t* maxBytes) const {
  if (maxBytes != nullptr) *maxBytes = -1;
  const TVornFileFilters* roleFilter = RoleFilter(link);
  for (const TVornFileFilters* filter : m_filters) {
    if (!Claims(*filter, link, roleFilter)) continue;
    if (maxBytes != nullptr && filter->FileSizeUsage == ffsSelected &&
        filter->FileMaxSize.Enabled) {
      *maxBytes = int64_t{filter->FileMaxSize.Size} * 1024;
    }
    if (!SizeOutOfBounds(*filter, link.Size)) return elvOk;
    // The link sits in In Progress while its transfer asks, so Reason is written under that lock.
    link.SetReason(std::string(kReasonSize));
    return elvNo;
  }
  return elvOk;
}

}  // namespace tq
