// Giving memory the program has freed back to the system. Any thread.
#pragma once

namespace tq {

// Hands the free pages of every allocator arena back to the system, where the C library can;
// nothing elsewhere. The allocator keeps what threads freed for their own later use, which
// after a phase of work on other threads (a crawl before its save) is only resident weight.
// It walks every arena's free lists: for the ends of large phases, never for loops.
void ReleaseFreeMemory();

}  // namespace tq
