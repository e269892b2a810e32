// Wait objects on Windows: manual-reset events and WaitForMultipleObjects.
#include <algorithm>

#include "serial/comm_api_win32.h"
#include "serial/serial_error.h"
#include "serial/serial_event.h"

namespace hexloader {
namespace {

std::intptr_t MakeEvent() {
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event) RaiseCommError(serial_msg::ThreadCreation, static_cast<int>(::GetLastError()));
  return reinterpret_cast<std::intptr_t>(event);
}

HANDLE AsHandle(std::intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }

}  // namespace

TSerialHandleObject::~TSerialHandleObject() { ::CloseHandle(AsHandle(Handle_)); }

TSerialHandleObject::TWaitResult TSerialHandleObject::WaitFor(std::uint32_t TimeoutMs) {
  switch (::WaitForSingleObject(AsHandle(Handle_), TimeoutMs)) {
    case WAIT_OBJECT_0: return wrSignaled;
    case WAIT_TIMEOUT: return wrTimeout;
    case WAIT_ABANDONED: return wrAbandoned;
    default: LastError_ = static_cast<int>(::GetLastError()); return wrError;
  }
}

TSerialEvent::TSerialEvent() : TSerialHandleObject(MakeEvent()) {}

void TSerialEvent::Signal() { ::SetEvent(AsHandle(Handle())); }
void TSerialEvent::Reset() { ::ResetEvent(AsHandle(Handle())); }
bool TSerialEvent::IsSignaled() const { return ::WaitForSingleObject(AsHandle(Handle()), 0) == WAIT_OBJECT_0; }

int WaitForAny(std::initializer_list<const TSerialHandleObject*> Objects, std::uint32_t TimeoutMs, int* Error) {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  const DWORD n = static_cast<DWORD>(Objects.size());
  if (n == 0 || n > MAXIMUM_WAIT_OBJECTS) return -2;
  DWORD i = 0;
  for (const TSerialHandleObject* o : Objects) handles[i++] = AsHandle(o->Handle());
  // With several signaled, the lowest index is reported: the earliest in the list wins.
  const DWORD r = ::WaitForMultipleObjects(n, handles, FALSE, TimeoutMs);
  if (r < WAIT_OBJECT_0 + n) return static_cast<int>(r - WAIT_OBJECT_0);
  if (r == WAIT_TIMEOUT) return -1;
  if (Error)
    *Error =
        r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + n ? ERROR_ABANDONED_WAIT_0 : static_cast<int>(::GetLastError());
  return -2;
}

}  // namespace hexloader
