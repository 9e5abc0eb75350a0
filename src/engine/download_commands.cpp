// The user's commands on a project's link lists: a link moved between lists, deleted or cut from
// the project, an e-mail entry deleted.
#include <memory>

#include "engine/download.h"
#include "foundation/rw_lock.h"

namespace tq {
namespace {

// The lists a removed link is looked for in, in that order.
constexpr TVornLinkList kRemovableLists[] = {ellReady, ellQueue, ellIgnored, ellFailed};

}  // namespace

bool TVornDownload::MoveLink(TVornLinkList from, TVornLinkList to, const std::string& url,
                             std::string_view reason) {
  TVornBaseLinks& source = Links(from);
  // The source stays locked until the link is in its new list: its readers see one step.
  TVornWriteGuard guard(source.Lock());
  const int index = source.FindUrl(kFindExact, url);
  if (index < 0) return false;
  auto moved = std::make_shared<TVornLink>();
  moved->Assign(*source.Get(index));
  if (!reason.empty()) moved->Reason = std::string(reason);
  source.Delete(index);
  Links(to).Add(moved);
  return true;
}

bool TVornDownload::DeleteLink(const std::string& url) {
  for (TVornLinkList list : kRemovableLists) {
    if (MoveLink(list, ellDeleted, url)) return true;
  }
  return false;
}

void TVornDownload::CutLink(const std::string& url) {
  bool recorded = false;
  for (TVornLinkList list : kRemovableLists) {
    if (!recorded) {
      recorded = MoveLink(list, ellDeleted, url);
      if (recorded) continue;
    }
    TVornBaseLinks& links = Links(list);
    TVornWriteGuard guard(links.Lock());
    const int index = links.FindUrl(kFindExact, url);
    if (index >= 0) links.Delete(index);
  }
  if (!recorded) {
    // No list held it: Deleted still remembers the address, so it is not fetched again.
    auto link = std::make_shared<TVornLink>();
    link->SetPage(url);
    link->SetText(url);
    m_deleted.Add(link);
  }
}

bool TVornDownload::DeleteEmail(const std::string& address) {
  TVornWriteGuard guard(m_email.Lock());
  const int index = m_email.FindUrl(kFindExact, address);
  if (index < 0) return false;
  m_email.Delete(index);
  return true;
}

}  // namespace tq
