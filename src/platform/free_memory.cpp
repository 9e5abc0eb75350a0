// glibc keeps freed memory in per-thread arenas and gives back only the top of each; malloc_trim
// also releases the free pages inside them.
#include "platform/free_memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tq {

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

}  // namespace tq
