#pragma once
// Thread priorities of the serial threads on the platform (thread_priority_<platform>.cpp).
#include "serial/serial_types.h"

namespace hexloader {

// The calling thread's platform id, for ApplyThreadPriority from another thread.
long CurrentThreadId();

// Gives the calling thread a name the platform's tools show (Linux: at most 15 characters).
void NameCurrentThread(const char* Name);

// Gives the thread ThreadId the priority (Windows: the relative thread priority of the same name;
// Linux: a nice value relative to the calling thread's, tpHighest two steps above normal). Returns 0 or
// the platform error code; the thread keeps its priority on any failure.
int ApplyThreadPriority(long ThreadId, TThreadPriority Priority);

// The failure of ApplyThreadPriority meant only that the process may not make that change (an
// ordinary user raising a priority), not that something is broken.
bool PriorityChangeNotPermitted(int Code);

}  // namespace hexloader
