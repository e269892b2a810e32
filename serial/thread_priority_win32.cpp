#include <iterator>

#include "core/wide_text_win32.h"
#include "serial/comm_api_win32.h"
#include "serial/thread_priority.h"

namespace hexloader {

long CurrentThreadId() { return static_cast<long>(::GetCurrentThreadId()); }

void NameCurrentThread(const char* Name) {
  // SetThreadDescription came with Windows 10 (1607): looked up, so that older systems still run us.
  using TSetThreadDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set = reinterpret_cast<TSetThreadDescription>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set) set(::GetCurrentThread(), WideFromUtf8(Name).c_str());
}

int ApplyThreadPriority(long ThreadId, TThreadPriority Priority) {
  static constexpr int kPriorities[] = {
      THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
      THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};
  const int i = static_cast<int>(Priority);
  if (i < 0 || i >= static_cast<int>(std::size(kPriorities))) return ERROR_INVALID_PARAMETER;
  HANDLE thread = ::OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, static_cast<DWORD>(ThreadId));
  if (!thread) return static_cast<int>(::GetLastError());
  const int error = ::SetThreadPriority(thread, kPriorities[i]) ? 0 : static_cast<int>(::GetLastError());
  ::CloseHandle(thread);
  return error;
}

bool PriorityChangeNotPermitted(int Code) { return Code == ERROR_ACCESS_DENIED || Code == ERROR_PRIVILEGE_NOT_HELD; }

}  // namespace hexloader
