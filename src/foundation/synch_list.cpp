// The one lock shared by every hand-over list.
#include "foundation/synch_list.h"

namespace tq {

std::recursive_mutex& SynchListLock() {
  // A function-local static is initialised exactly once, even under concurrent first calls.
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace tq
