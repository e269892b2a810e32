#include "serial/network_line_opening.h"

#include <exception>
#include <system_error>

#include "serial/serial_error.h"

namespace hexloader {

TNetworkLineOpening::TNetworkLineOpening(const TNetworkPortAddress& Address, const TNetworkLineTimes& Times,
                                         std::optional<TSerialLineSettings> Settings,
                                         std::function<void()> OnFinished) {
  try {
    // Owned by this object, which cancels and joins it in its destructor; Cancel_ ends every wait it
    // makes (the resolver's thread, the only one it cannot end, is detached by ConnectTcp).
    Worker_ = std::thread([this, Address, Times, Settings = std::move(Settings), OnFinished = std::move(OnFinished)] {
      try {
        Line_ = TNetworkLine::Open(Address, Times, Settings ? &*Settings : nullptr, &Cancel_, Failure_);
      } catch (const std::exception& e) {  // no memory, no event: told as the opening's failure
        Failure_.Kind = TNetworkLineFailure::Failed;
        Failure_.Detail = e.what();
        Failure_.Host = Address.Host;
        Failure_.Port = Address.Port;
      }
      Done_.store(true, std::memory_order_release);
      Finished_.Signal();
      if (OnFinished) OnFinished();
    });
  } catch (const std::system_error& e) {
    RaiseCommError(serial_msg::ThreadCreation, e.code().value());
  }
}

TNetworkLineOpening::~TNetworkLineOpening() {
  Cancel_.Signal();
  if (Worker_.joinable()) Worker_.join();
}

std::unique_ptr<TNetworkLine> TNetworkLineOpening::TakeLine() {
  if (!IsFinished()) return nullptr;
  return std::move(Line_);
}

}  // namespace hexloader
