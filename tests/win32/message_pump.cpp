#include "tests/win32/message_pump.h"

#include <windows.h>

#include <algorithm>

namespace hexloader::test {

void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
  using TClock = std::chrono::steady_clock;
  const auto deadline = TClock::now() + Timeout;
  while (!Done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    if (left <= 0) return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<long long>(left, 10)), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    DispatchWaitingMessages();
  }
  return true;
}

void PumpFor(std::chrono::milliseconds Time) {
  PumpUntil([] { return false; }, Time);
}

}  // namespace hexloader::test
