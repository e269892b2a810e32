#pragma once
// Every event handler of the windows runs inside Guarded: an exception that escapes it goes to the
// central exception display and never unwinds into Qt's event loop.
#include <exception>
#include <utility>

#include "core/exception_display.h"

namespace hexloader {

template <typename F>
void Guarded(F&& Handler) noexcept {
  try {
    std::forward<F>(Handler)();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

}  // namespace hexloader
