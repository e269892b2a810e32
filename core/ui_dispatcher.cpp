#include "core/ui_dispatcher.h"

#include <atomic>

#include "core/exception.h"

namespace hexloader {
namespace {
std::atomic<TUiDispatcher*> current{nullptr};
}

void SetUiDispatcher(TUiDispatcher* Dispatcher) { current.store(Dispatcher); }

TUiDispatcher& UiDispatcher() {
  TUiDispatcher* d = current.load();
  if (!d) throw Exception("No user-interface dispatcher is set");
  return *d;
}

}  // namespace hexloader
