// TVornLink: one reference found in a document (or a project's starting address), with what the
// crawl learnt about it. A link's identity is its absolute address (GetUrl), or its mail address
// for mail links.
//
// Links are shared (std::shared_ptr) between lists, events and workers, so a link deleted from
// its list stays valid for whoever still holds it. A link in a list is guarded by that list's
// lock: SetPage, SetText, SetLinkKind and Assign take the owner's write lock and keep the list's
// address indexes right. Other fields are plain data; writers and readers of those on different
// threads must hold the owner's lock themselves (TVornBaseLinks::BeginWrite/BeginRead).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/url.h"

namespace tq {

class TVornBaseLinks;

// The kind of tag a link was found in; ordinals are fixed.
enum TVornPublishedTagsKind : uint8_t {
  eptAnchor,
  eptApplet,
  eptArea,
  eptBase,
  eptBgSound,
  eptBody,
  eptComment,
  eptEmbed,
  eptForm,
  eptFrame,
  eptIFrame,
  eptImage,
  eptInput,
  eptLayer,
  eptLink,
  eptMeta,
  eptObject,
  eptRedirect,
  eptScript,
  eptSound,
  eptTable,
  eptTD,
  eptTR,
  eptTH,
  eptUnknown,
};

// What a page needs a link for when it is displayed (a requisite), or erqNone for a link the
// crawl follows by its level. A requisite is admitted with its page whatever the level limit and
// the folder rules say; its role names the filter that takes it when no filter lists its type.
// Decided by the analyser from the tag and attribute (or style sheet rule) that named the link;
// kept in memory only, like TagKind.
enum TVornRequisite : uint8_t {
  erqNone,
  erqImage,       // img, srcset, input type=image, backgrounds, icons, CSS url()
  erqStyleSheet,  // link rel=stylesheet, CSS @import
  erqScript,      // script src
  erqFont,        // CSS url() inside @font-face
  erqFrame,       // frame and iframe pages
  erqVideo,       // object and embed, by their type
  erqAudio,       // the same, and bgsound
  erqObject,      // object and embed of another or no declared type
};

class TVornLink {
 public:
  TVornLink() = default;
  // A copy of every field but the owner, without taking any lock: use Assign for a link that
  // another thread may change.
  TVornLink(const TVornLink& other);
  TVornLink& operator=(const TVornLink&) = delete;

  const std::string& Page() const { return m_page; }
  // Sets the page and forgets the computed addresses.
  void SetPage(std::string page);

  const std::string& Text() const { return m_text; }
  // Stores text without one pair of surrounding double quotes, then one pair of apostrophes, and
  // reclassifies it when page and text are both set. The computed addresses are kept: set the
  // page first, then the text.
  void SetText(std::string_view text);

  TLinkKind LinkKind() const { return m_linkKind; }
  void SetLinkKind(TLinkKind kind);

  // The absolute address in its canonical form, computed once from page, text and kind (relative
  // texts resolved against the whole page address); empty for mail, script and empty links. Raises
  // EVornError "Invalid link or link deleted" when it cannot be computed.
  std::string GetUrl() const;
  // What follows "mailto:" (without any "?query", "%XX" decoded) for mail links, empty for other
  // kinds.
  std::string GetMailAddress() const;

  // Copies every field of other except the owner, computed addresses included. Reads other
  // under its list's read lock and writes this link under its own list's write lock, one after
  // the other, so two threads assigning across two lists in opposite directions cannot deadlock.
  void Assign(const TVornLink& other);

  // The list that holds the link, or null.
  TVornBaseLinks* Owner() const { return m_owner.load(std::memory_order_acquire); }

  // What a transfer learns about the link while the link sits in In Progress, where the
  // interface reads it meanwhile: written under the owner's write lock. Sizes are clamped to
  // what Size holds (0 to 2 GiB - 1), never wrapped.
  void SetSize(int64_t bytes);
  void SetSizeAndType(int64_t bytes, std::string contentType);
  void SetReason(std::string reason);
  // The validators of the answer that brought the stored copy (empty when the server sent none).
  void SetValidators(std::string etag, std::string lastModified);

  std::string ErrorText;  // why the transfer failed
  std::string Reason;     // why the rules or the size bounds refused it
  int32_t Size = 0;       // announced, then received or stored size in bytes
  std::string ContentType;
  int32_t Level = 0;  // depth: 0 for the starting link
  TVornPublishedTagsKind TagKind = eptAnchor;
  TVornRequisite Requisite = erqNone;
  // The ETag and Last-Modified of the stored copy, asked about again when the copy is refreshed.
  std::string ETag, LastModified;
  // When the server stopped answering for a stored copy that is kept (UTC, "YYYY-MM-DD
  // HH:MM:SS"); empty while it answers.
  std::string GoneSince;
  // The size of the stored copy while an update fetches the link again, -1 otherwise. Such a
  // link moves through the Queue leaving its stored copy and its index entry as they are. Kept
  // in memory only.
  int32_t StoredSize = -1;
  bool Refreshing() const { return StoredSize >= 0; }

 private:
  friend class TVornBaseLinks;

  void CopyFields(const TVornLink& other);
  // GetUrl and GetMailAddress without the copy, for the owning list; same errors.
  const std::string& UrlRef() const;
  const std::string& MailRef() const;
  TVornLink Snapshot() const;  // a copy taken under the owner's read lock
  template <class Change>
  void Modify(Change&& change);  // runs change under the owner's write lock, then re-indexes
  template <class Change>
  void Locked(Change&& change);  // runs change under the owner's write lock

  std::string m_page;
  TLinkKind m_linkKind = lkRelative;
  // Filled only with non-empty values, and for listed links before any reader sees them, so
  // concurrent readers under a list's read lock never write.
  mutable std::string m_urlCache;
  mutable std::string m_mailCache;
  std::string m_text;
  std::atomic<TVornBaseLinks*> m_owner{nullptr};
  int64_t m_seq = 0;  // position key inside the owner, kept by the owner under its write lock
};

using TVornLinkPtr = std::shared_ptr<TVornLink>;

}  // namespace tq
