#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "serial/thread_priority.h"

namespace hexloader {

long CurrentThreadId() { return static_cast<long>(::syscall(SYS_gettid)); }

void NameCurrentThread(const char* Name) { ::pthread_setname_np(::pthread_self(), Name); }

int ApplyThreadPriority(long ThreadId, TThreadPriority Priority) {
  // Windows' relative priorities (-15, -2, -1, 0, +1, +2, +15) as nice steps in the opposite sense.
  static constexpr int kRelative[] = {-15, -2, -1, 0, 1, 2, 15};
  const int i = static_cast<int>(Priority);
  if (i < 0 || i >= static_cast<int>(std::size(kRelative))) return EINVAL;
  errno = 0;
  const int base = ::getpriority(PRIO_PROCESS, 0);
  if (base == -1 && errno != 0) return errno;
  const int nice = std::clamp(base - kRelative[i], -20, 19);
  if (::setpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId), nice) == 0) return 0;
  return errno;
}

bool PriorityChangeNotPermitted(int Code) { return Code == EPERM || Code == EACCES; }

}  // namespace hexloader
