// Link admission: which found links a project fetches. Each link waiting for admission is
// dropped as a duplicate, listed as a mail address, refused into Ignored with a reason, or
// queued; the file-type filters also bound the size a transfer announces.
//
// Thread rules: TVornAdmission keeps no state of its own besides references, so AdmitPending
// runs on the controller's admission thread (one run at a time) while other threads append to
// PendingLinks and change the other lists through their own locks, and CheckSize runs on any
// number of transfer threads at once. Settings are read without a lock: change them only
// between crawls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/crawl_settings.h"
#include "engine/links.h"

namespace tq {

enum TVornLinkValidation : uint8_t {
  elvNotThisType = 0,  // the filter does not deal with this link
  elvOk = 1,
  elvNo = 2,
  elvMust = 3,  // never produced
};

// The reasons a refused link carries.
inline constexpr std::string_view kReasonNoFilter =
    "This file type is not listed into one of the filters area";
inline constexpr std::string_view kReasonTag = "Tag out of Tags Sensibility list";
inline constexpr std::string_view kReasonLevel = "Level excceds the level limit";
inline constexpr std::string_view kReasonBaseServer = "Downloading only from the base server";
inline constexpr std::string_view kReasonStartingDirectory = "Not on starting directory or below";
inline constexpr std::string_view kReasonDirectoryKeywords = "Ignored using Directory Keywords";
inline constexpr std::string_view kReasonFileKeywords = "Ignored using Filename keywords";
inline constexpr std::string_view kReasonStartingProtocol =
    "\"Url Filters - Servers Filters\" was set to use only the starting protocol)";
inline constexpr std::string_view kReasonProtocolNotSelected =
    "\"Url Filters - Servers Filters\" this protocol is not selected";
inline constexpr std::string_view kReasonServerKeywords =
    "\"Url Filters - Servers Filters - Keywords\"";
inline constexpr std::string_view kReasonSize = "The File Size is out of bounds";
inline constexpr std::string_view kReasonRobots = "Refused by the server's robots.txt";
// Not a rule: the user moved the link from the Queue.
inline constexpr std::string_view kReasonIgnoredByUser = "Ignored by user";

// The checks below read the link's address and, when they refuse, write its Reason; pass a link
// no other thread writes (a private copy, or one whose list lock the caller holds).

// The filter takes the link's file type: Download on and the extension (everything after the
// first dot of the file name) or the text after the last dot of the last path segment listed,
// case-insensitive; with ffeSelected only marked entries count.
bool ClaimsLink(const TVornFileFilters& filter, const TVornLink& link);
// Some entry of the filter's list, marked or not, is the link's extension (as ClaimsLink reads
// it), whatever Download says.
bool ListsExtension(const TVornFileFilters& filter, const TVornLink& link);
// Where the filter fetches from, against the starting address; fflAySite asks serverRules.
TVornLinkValidation CheckLocation(const TVornFileFilters& filter,
                                  const TVornServerRules& serverRules, std::string_view startUrl,
                                  TVornLink& link);
// The link's Size (bytes) against the filter's bounds (KiB), only with ffsSelected.
TVornLinkValidation CheckSize(const TVornFileFilters& filter, TVornLink& link);
// Included / excluded keyword test of text; elvOk when the rule set is disabled.
TVornLinkValidation CheckKeywords(const TVornRules& rules, std::string_view text);
TVornLinkValidation CheckLink(const TVornDirectoryRules& rules, std::string_view startUrl,
                              TVornLink& link);
TVornLinkValidation CheckLink(const TVornFileRules& rules, std::string_view startUrl,
                              TVornLink& link);
TVornLinkValidation CheckLink(const TVornServerRules& rules, std::string_view startUrl,
                              TVornLink& link);

// The lists admission reads and writes; all must be set, the controller owns them.
struct TVornAdmissionLists {
  TVornBaseLinks* Ready = nullptr;
  TVornBaseLinks* Working = nullptr;
  TVornBaseLinks* Queue = nullptr;
  TVornBaseLinks* Failed = nullptr;
  TVornBaseLinks* Ignored = nullptr;
  TVornBaseLinks* Email = nullptr;
  TVornBaseLinks* Deleted = nullptr;
  TVornBaseLinks* Pending = nullptr;
};

class TVornAdmission {
 public:
  TVornAdmission(const TVornCrawlSettings& settings, const TVornAdmissionLists& lists)
      : m_settings(settings), m_lists(lists) {}

  // Admits links from the front of PendingLinks until it is empty. Each link is deleted from
  // PendingLinks once handled, also when handling it raises; the error then ends the run and
  // reaches the caller, and the links behind it wait for the next run.
  void AdmitPending();
  // Admits one pending link, unless a list holds its address already. A page's requisite (with
  // General.PageRequisites on) passes the level limit and the folder rules, and one that Ignored
  // holds for those reasons is judged again and, admitted, moves from Ignored to the Queue.
  void AdmitLink(TVornLinkPtr link);

  // The size bound of the first filter (Archive, Audio, Images, Text, Video) that claims the
  // link (a requisite's role claims as in admission); any size passes when none does. Sets Reason
  // under the link's list lock on refusal. maxBytes, when given, receives that filter's maximum in
  // bytes, or -1 when it sets none.
  TVornLinkValidation CheckSize(TVornLink& link, int64_t* maxBytes = nullptr) const;

  // Asked last, on the admission thread, for a link every rule admits: false refuses it with
  // kReasonRobots. Unset: nothing is asked. Set it between crawls only.
  std::function<bool(const std::string& url)> RobotsAllow;

 private:
  // The first list that holds url, in the order duplicates are looked for; null for a new link.
  const TVornBaseLinks* KnownIn(const std::string& url) const;
  bool IsRequisite(const TVornLink& link) const;
  // The filter a requisite's role names (images: Images; style sheets, scripts, fonts, frames:
  // Text; video, audio), when no filter lists its extension; else null.
  const TVornFileFilters* RoleFilter(const TVornLink& link) const;
  bool Claims(const TVornFileFilters& filter, const TVornLink& link,
              const TVornFileFilters* roleFilter) const;
  TVornLinkValidation Locate(const TVornFileFilters& filter, std::string_view startUrl,
                             TVornLink& link) const;
  bool IgnoredForRequisite(const std::string& url) const;
  void ForgetIgnored(const std::string& url);
  void FinalAdd(const TVornLinkPtr& link, const std::string& url, bool fileNameEmpty,
                const TVornFileFilters* roleFilter);
  const TVornCrawlSettings& m_settings;
  TVornAdmissionLists m_lists;
  // Archive, Audio, Images, Text, Video: the order filters are consulted in.
  const TVornFileFilters* m_filters[5] = {
      &m_settings.FilterArchiveFiles, &m_settings.FilterAudioFiles, &m_settings.FilterImagesFiles,
      &m_settings.FilterTextFiles, &m_settings.FilterVideoFiles};
};

}  // namespace tq
