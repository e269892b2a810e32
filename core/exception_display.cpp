#include "core/exception_display.h"

#include <cstdio>
#include <mutex>

#include "core/exception.h"

namespace hexloader {
namespace {

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}

TExceptionDisplay& Hook() {
  static TExceptionDisplay hook;
  return hook;
}

}  // namespace

void SetExceptionDisplay(TExceptionDisplay Display) {
  std::lock_guard<std::mutex> guard(HookLock());
  Hook() = std::move(Display);
}

std::string ExceptionDisplayText(const std::string& Message) {
  // The comparison is on the byte's code, so Cyrillic (high-bit) last characters also get a full stop.
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > static_cast<unsigned char>('.'))
    return Message + ".";
  return Message;
}

void ShowException(std::exception_ptr Error) noexcept {
  if (!Error) return;
  std::string message;
  try {
    std::rethrow_exception(Error);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown exception";
  }
  TExceptionDisplay hook;
  {
    std::lock_guard<std::mutex> guard(HookLock());
    hook = Hook();
  }
  try {
    if (hook) {
      hook(message);
      return;
    }
  } catch (...) {
    // A failing display must not take the program down; fall back to standard error.
  }
  std::fprintf(stderr, "%s\n", ExceptionDisplayText(message).c_str());
}

}  // namespace hexloader
