#include <iterator>

#include "serial/thread_priority.h"
#include "serial/comm_api_win32.h"

namespace hexloader {

long CurrentThreadId() { return static_cast<long>(::GetCurrentThreadId()); }

int ApplyThreadPriority(long ThreadId, TThreadPriority Priority) {
  static constexpr int kPriorities[] = {THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                        THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                        THREAD_PRIORITY_TIME_CRITICAL};
  const int i = static_cast<int>(Priority);
  if (i < 0 || i >= static_cast<int>(std::size(kPriorities))) return ERROR_INVALID_PARAMETER;
  HANDLE thread = ::OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, static_cast<DWORD>(ThreadId));
  if (!thread) return static_cast<int>(::GetLastError());
  const int error = ::SetThreadPriority(thread, kPriorities[i]) ? 0 : static_cast<int>(::GetLastError());
  ::CloseHandle(thread);
  return error;
}

}  // namespace hexloader
