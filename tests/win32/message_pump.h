#pragma once
// The Win32 tests' own message loop: what the program's loop, or a modal dialog's, would do meanwhile.
#include <chrono>
#include <functional>

namespace hexloader::test {

// Dispatches every message waiting for this thread.
void DispatchWaitingMessages();
// Dispatches the thread's messages as they come until Done() or the time is up; false when the time ran out.
bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout);
// Dispatches the thread's messages for Time.
void PumpFor(std::chrono::milliseconds Time);

}  // namespace hexloader::test
