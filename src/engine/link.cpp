// The link record: addresses computed from page, text and kind, and changes that keep the
// owning list's indexes right.
#include "engine/link.h"

#include <algorithm>
#include <climits>

#include "engine/links.h"
#include "foundation/canonical_url.h"
#include "foundation/errors.h"

namespace tq {

TVornLink::TVornLink(const TVornLink& other) {
  CopyFields(other);
}

void TVornLink::CopyFields(const TVornLink& other) {
  m_page = other.m_page;
  m_linkKind = other.m_linkKind;
  m_urlCache = other.m_urlCache;
  m_mailCache = other.m_mailCache;
  m_text = other.m_text;
  ErrorText = other.ErrorText;
  Reason = other.Reason;
  Size = other.Size;
  ContentType = other.ContentType;
  Level = other.Level;
  TagKind = other.TagKind;
  Requisite = other.Requisite;
  ETag = other.ETag;
  LastModified = other.LastModified;
  GoneSince = other.GoneSince;
  StoredSize = other.StoredSize;
}

template <class Change>
void TVornLink::Locked(Change&& change) {
  for (;;) {
    TVornBaseLinks* owner = Owner();
    if (!owner) {
      change(nullptr);
      return;
    }
    TVornWriteGuard guard(owner->m_lock);
    // The link may have moved to another list while this thread waited for the lock.
    if (Owner() != owner) continue;
    change(owner);
    return;
  }
}

template <class Change>
void TVornLink::Modify(Change&& change) {
  Locked([&](TVornBaseLinks* owner) {
    change();
    if (owner) owner->Relink(*this);
  });
}

namespace {
int32_t ClampedSize(int64_t bytes) {
  return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, INT32_MAX));
}
}  // namespace

void TVornLink::SetSize(int64_t bytes) {
  Locked([&](TVornBaseLinks*) { Size = ClampedSize(bytes); });
}

void TVornLink::SetSizeAndType(int64_t bytes, std::string contentType) {
  Locked([&](TVornBaseLinks*) {
    Size = ClampedSize(bytes);
    ContentType = std::move(contentType);
  });
}

void TVornLink::SetValidators(std::string etag, std::string lastModified) {
  Locked([&](TVornBaseLinks*) {
    ETag = std::move(etag);
    LastModified = std::move(lastModified);
  });
}

void TVornLink::SetReason(std::string reason) {
  Locked([&](TVornBaseLinks*) { Reason = std::move(reason); });
}

TVornLink TVornLink::Snapshot() const {
  for (;;) {
    TVornBaseLinks* owner = Owner();
    if (!owner) return TVornLink(*this);
    TVornReadGuard guard(owner->m_lock);
    if (Owner() == owner) return TVornLink(*this);
  }
}

void TVornLink::SetPage(std::string page) {
  Modify([&] {
    m_page = std::move(page);
    m_urlCache.clear();
    m_mailCache.clear();
  });
}

void TVornLink::SetText(std::string_view text) {
  auto stripOne = [&text](char quote) {
    if (!text.empty() && text.front() == quote) text.remove_prefix(1);
    if (!text.empty() && text.back() == quote) text.remove_suffix(1);
  };
  // Double quotes first: 'a' inside double quotes loses both pairs, "a" inside apostrophes
  // keeps its double quotes.
  stripOne('"');
  stripOne('\'');
  Modify([&] {
    m_text.assign(text);
    if (!m_page.empty() && !m_text.empty()) m_linkKind = GetLinkKind(m_text, m_page);
  });
}

void TVornLink::SetLinkKind(TLinkKind kind) {
  Modify([&] { m_linkKind = kind; });
}

std::string TVornLink::GetUrl() const {
  return UrlRef();
}

std::string TVornLink::GetMailAddress() const {
  return MailRef();
}

const std::string& TVornLink::UrlRef() const {
  if (!m_urlCache.empty()) return m_urlCache;
  std::string url;
  try {
    switch (m_linkKind) {
      case lkRelative:
      case lkRootRelative:
        if (!m_text.empty()) url = ResolveUrl(m_page, m_text, ExtractUrlServer(m_page));
        break;
      case lkAbsolute:
      case lkFtp:
        url = m_text;
        break;
      case lkBookmark:
        url = m_page;
        break;
      case lkMail:
      case lkScript:
      case lkNone:
        break;
    }
    // Every address is compared in its canonical form, so links of projects stored before it
    // (raw blanks, braces, upper-case hosts) meet the same addresses found now.
    std::string canonical;
    if (CanonicalizeUrl(url, canonical)) url = std::move(canonical);
  } catch (...) {
    throw EVornError("Invalid link or link deleted");
  }
  // An empty result is not cached, so readers of a listed link never write.
  if (!url.empty()) m_urlCache = std::move(url);
  return m_urlCache;
}

const std::string& TVornLink::MailRef() const {
  if (!m_mailCache.empty()) return m_mailCache;
  std::string mail;
  try {
    if (m_linkKind == lkMail && m_text.size() > 7) {
      mail = m_text.substr(7);
      if (mail.find('?') != std::string::npos) mail = StripUrlQuery(mail);
      // Pages write "docs%40python.org" for docs@python.org: the list holds the address itself.
      if (mail.find('%') != std::string::npos) mail = PercentDecode(mail, true);
    }
  } catch (...) {
    throw EVornError("Invalid link or link deleted");
  }
  if (!mail.empty()) m_mailCache = std::move(mail);
  return m_mailCache;
}

void TVornLink::Assign(const TVornLink& other) {
  if (&other == this) return;
  const TVornLink copy = other.Snapshot();
  Modify([&] { CopyFields(copy); });
}

}  // namespace tq
