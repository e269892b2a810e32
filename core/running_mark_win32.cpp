#include <windows.h>

#include "core/running_mark.h"
#include "core/wide_text_win32.h"

namespace hexloader {

// Not owned (no waiting on it): its existence is the mark, and it goes with the last handle.
TRunningMark::TRunningMark() : Handle_(::CreateMutexW(nullptr, FALSE, WideFromUtf8(RunningMarkName).c_str())) {}

TRunningMark::~TRunningMark() {
  if (Handle_) ::CloseHandle(Handle_);
}

}  // namespace hexloader
