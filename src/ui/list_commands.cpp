#include "ui/list_commands.h"

#include <memory>

#include <QClipboard>
#include <QGuiApplication>

#include "foundation/rw_lock.h"
#include "ui/qt_text.h"

namespace tq {

bool MoveLinkByUrl(TVornBaseLinks& from, TVornBaseLinks& to, const std::string& url,
                   const char* reason) {
  TVornWriteGuard guard(from.Lock());
  const int index = from.FindUrl(kFindExact, url);
  if (index < 0) return false;
  auto moved = std::make_shared<TVornLink>();
  moved->Assign(*from.Get(index));
  if (reason != nullptr) moved->Reason = reason;
  from.Delete(index);
  to.Add(moved);
  return true;
}

bool RunMailCommand(TVornBaseLinks& emails, const std::string& address, TMailCommand command) {
  TVornWriteGuard guard(emails.Lock());
  const int index = emails.FindUrl(kFindExact, address);
  if (index < 0) return false;
  if (command != mcDelete) QGuiApplication::clipboard()->setText(ToQ(address));
  if (command != mcCopy) emails.Delete(index);
  return true;
}

}  // namespace tq
