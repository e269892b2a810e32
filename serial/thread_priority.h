#pragma once
// Thread priorities of the serial threads on the platform (thread_priority_<platform>.cpp).
#include "serial/serial_types.h"

namespace hexloader {

// The calling thread's platform id, for ApplyThreadPriority from another thread.
long CurrentThreadId();

// Gives the thread ThreadId the priority (Windows: the relative thread priority of the same name;
// Linux: a nice value relative to the process's, tpHighest two steps above normal). A raise that the process is not allowed to make keeps the normal priority.
// Returns 0 or the platform error code.
int ApplyThreadPriority(long ThreadId, TThreadPriority Priority);

}  // namespace hexloader
