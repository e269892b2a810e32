// Resolving and connecting within one deadline; the platform files do the system calls.
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

#include "serial/serial_event.h"
#include "serial/tcp_socket.h"

namespace hexloader {
namespace {

std::uint32_t MsUntil(TSocketClock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TSocketClock::now()).count();
  return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

// One name resolution, shared by the thread that runs it and the caller waiting for it, so that a
// caller that stops waiting (deadline, cancel) may leave while the thread still runs.
struct TResolution {
  TSerialEvent Done;  // signaled once Result is written
  TResolved Result;
};

TResolved ResolveWithin(const std::string& Host, std::uint16_t Port, TSocketClock::time_point Deadline,
                        const TSerialHandleObject* Cancel, const TResolver& Resolver) {
  TResolved resolved;
  std::shared_ptr<TResolution> resolution;
  std::thread thread;
  try {
    resolution = std::make_shared<TResolution>();
    // Owned by this call: joined once it has said it is done; otherwise detached, holding the only
    // other reference to its TResolution, and ended by the resolver's own time-outs. It touches nothing
    // else, so it may outlive the caller (and the connecting object behind it).
    thread = std::thread([resolution, Resolver, Host, Port] {
      TResolved result;
      try {
        result = Resolver(Host, Port);
      } catch (const std::exception& e) {
        result.Failure = TConnectFailure::Of(TConnectFailure::Failed, 0, e.what());
      }
      resolution->Result = std::move(result);
      resolution->Done.Signal();
    });
  } catch (const std::system_error& e) {
    resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, e.code().value());
    return resolved;
  } catch (const std::exception& e) {  // no event left
    resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, 0, e.what());
    return resolved;
  }
  int error = 0;
  const int r = Cancel ? WaitForAny({&resolution->Done, Cancel}, MsUntil(Deadline), &error)
                       : WaitForAny({&resolution->Done}, MsUntil(Deadline), &error);
  if (r == 0) {
    thread.join();
    return std::move(resolution->Result);
  }
  thread.detach();
  if (r == 1) resolved.Failure.Kind = TConnectFailure::Cancelled;
  else if (r == -1) resolved.Failure.Kind = TConnectFailure::ResolveTimedOut;
  else resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, error);
  return resolved;
}

}  // namespace

TTcpSocket ConnectTcp(const std::string& Host, std::uint16_t Port, TSocketClock::time_point Deadline,
                      const TSerialHandleObject* Cancel, TConnectFailure& Failure, const TResolver& Resolver) {
  Failure = {};
  TResolved resolved = ResolveWithin(Host, Port, Deadline, Cancel, Resolver);
  if (resolved.Failure.Kind != TConnectFailure::None) {
    Failure = resolved.Failure;
    return {};
  }
  if (resolved.Addresses.empty()) {
    Failure.Kind = TConnectFailure::UnknownHost;
    return {};
  }
  // A name with an address that refuses (IPv6 where the server listens on IPv4 only) may still have
  // one that answers; an address that does not answer at all has used up the deadline.
  for (const TSocketAddress& address : resolved.Addresses) {
    TTcpSocket socket = ConnectAddress(address, Deadline, Cancel, Failure);
    if (socket) return socket;
    if (Failure.Kind != TConnectFailure::Refused && Failure.Kind != TConnectFailure::Unreachable) break;
  }
  return {};
}

}  // namespace hexloader
