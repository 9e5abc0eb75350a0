// The eight link lists of a project: their roles, the names the user sees and the STATUS numbers
// under which the content index stores their links. A list without a STATUS is never stored.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tq {

enum TVornLinkList : uint8_t {
  ellReady,    // fetched and stored (redirected ones too)
  ellWorking,  // being fetched or analysed
  ellQueue,    // admitted, waiting for a worker, in fetch order
  ellFailed,   // transfer failed; ErrorText says why
  ellIgnored,  // refused by the rules or the size bounds; Reason says why
  ellEmail,    // mail links, one per mail address
  ellDeleted,  // deleted or cut by the user; never fetched again
  ellPending,  // found on analysed pages or redirect targets, waiting for admission
};

inline constexpr int kLinkListCount = 8;

// STATUS numbers of the content index. 5 is not used.
inline constexpr int kStatusReady = 0;
inline constexpr int kStatusQueue = 1;
inline constexpr int kStatusFailed = 2;
inline constexpr int kStatusIgnored = 3;
inline constexpr int kStatusEmail = 4;
inline constexpr int kStatusDeleted = 6;

struct TVornLinkListRole {
  TVornLinkList List;
  std::string_view Name;      // the controller's field name
  std::string_view UserName;  // shown to the user; empty for the hidden lists
  std::optional<int> Status;  // none: never stored
};

inline constexpr std::array<TVornLinkListRole, kLinkListCount> kLinkListRoles = {{
    {ellReady, "ReadyLinks", "Ready", kStatusReady},
    {ellWorking, "WorkingLinks", "In Progress", std::nullopt},
    {ellQueue, "QueueLinks", "Queue", kStatusQueue},
    {ellFailed, "FailedLinks", "Failed", kStatusFailed},
    {ellIgnored, "IgnoredLinks", "Ignored", kStatusIgnored},
    {ellEmail, "EmailLinks", "Emails", kStatusEmail},
    {ellDeleted, "DeletedLinks", "", kStatusDeleted},
    {ellPending, "PendingLinks", "", std::nullopt},
}};

constexpr const TVornLinkListRole& LinkListRole(TVornLinkList list) {
  return kLinkListRoles[list];
}

// The list a stored STATUS loads into; none for numbers no list uses.
constexpr std::optional<TVornLinkList> LinkListOfStatus(int status) {
  for (const auto& role : kLinkListRoles) {
    if (role.Status == status) return role.List;
  }
  return std::nullopt;
}

}  // namespace tq
