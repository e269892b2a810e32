#pragma once
// TCP connections of the network serial line, behind a small interface of our own: one file per
// platform (tcp_socket_posix.cpp with tcp_tuning_linux.cpp, tcp_socket_win32.cpp) and the connecting
// logic common to both (tcp_connect.cpp). Every result is a small type; the system's error code is
// kept apart in it, captured at the failing call.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hexloader {

class TSerialHandleObject;

using TSocketClock = std::chrono::steady_clock;

// The outcome of a send or a receive.
struct TSocketIo {
  enum TKind {
    Done,        // Bytes moved (a send: taken by the system, all of them or a first part)
    WouldBlock,  // nothing can move now
    Closed,      // a receive: the server closed the connection in order
    Failed,      // Code says why; the connection is of no further use
  } Kind = Done;
  std::size_t Bytes = 0;
  int Code = 0;
};

// The outcome of a wait.
struct TSocketWait {
  enum TKind { Ready, Woken, TimedOut, Failed } Kind = Ready;
  bool Readable = false;  // with Ready: a receive will not block (data, the end, or an error)
  bool Writable = false;  // with Ready: a send will take bytes (or report an error)
  int Code = 0;           // with Failed: the wait itself failed
};

// One connected TCP socket: non-blocking, TCP_NODELAY, keep-alive, not inherited by child processes.
// Move-only owner; closed with it. Sends and receives may come from different threads at once, and
// several threads may wait on it at once.
class TTcpSocket {
 public:
  TTcpSocket();
  ~TTcpSocket();
  TTcpSocket(TTcpSocket&& Other) noexcept;
  TTcpSocket& operator=(TTcpSocket&& Other) noexcept;
  explicit operator bool() const { return State_ != nullptr; }

  // Takes up to Count bytes without waiting.
  TSocketIo Send(const void* Data, std::size_t Count);
  // Gives up to Count received bytes without waiting.
  TSocketIo Receive(void* Buffer, std::size_t Count);
  // Waits until the socket is readable (Read) or writable (Write), Wake (may be null) is signaled, or
  // TimeoutMs passed (negative: no limit). Wake is reported first when several hold.
  TSocketWait Wait(bool Read, bool Write, const TSerialHandleObject* Wake, int TimeoutMs);

  struct TState;  // the platform's
  explicit TTcpSocket(std::unique_ptr<TState> State);

 private:
  std::unique_ptr<TState> State_;
};

// Why no connection was made.
struct TConnectFailure {
  enum TKind {
    None,
    UnknownHost,      // the name does not resolve (Text: the resolver's own words)
    ResolveTimedOut,  // no answer about the name before the deadline
    Refused,          // nothing listens on the port (RST)
    TimedOut,         // no answer from the address before the deadline
    Unreachable,      // no route, network down, ... (Code)
    Cancelled,        // the cancel object was signaled
    Failed,           // any other failure (Code, or Text for the resolver's)
  } Kind = None;
  int Code = 0;
  std::string Text;
  std::string Address;  // the numeric address a connect failed on

  static TConnectFailure Of(TKind Kind, int Code = 0, std::string Text = {}) {
    TConnectFailure failure;
    failure.Kind = Kind;
    failure.Code = Code;
    failure.Text = std::move(Text);
    return failure;
  }
};

// Resolved addresses: the platform's socket address structures, as bytes.
struct TSocketAddress {
  std::array<std::uint8_t, 128> Bytes{};
  int Length = 0;
};
struct TResolved {
  std::vector<TSocketAddress> Addresses;
  TConnectFailure Failure;  // Kind None when Addresses holds at least one
};
using TResolver = std::function<TResolved(const std::string& Host, std::uint16_t Port)>;

// The system's resolver (getaddrinfo, GetAddrInfoW) for TCP; may block for as long as the name
// servers take.
TResolved ResolveTcp(const std::string& Host, std::uint16_t Port);

// Resolves Host and connects to Port, both before Deadline: the addresses are tried in the order the
// resolver gave them until one answers. The resolver runs on a thread of its own, so a slow or missing
// name server holds the caller only until Deadline (or Cancel, which may be null); a resolver still
// busy then is left to finish by itself. Failure says why when the socket returned is empty.
TTcpSocket ConnectTcp(const std::string& Host, std::uint16_t Port, TSocketClock::time_point Deadline,
                      const TSerialHandleObject* Cancel, TConnectFailure& Failure,
                      const TResolver& Resolver = ResolveTcp);

// The numeric form of an address, for messages ("192.168.1.20", "::1").
std::string SocketAddressText(const TSocketAddress& Address);

// Connects to one resolved address (platform): Kind None with the socket, or why not.
TTcpSocket ConnectAddress(const TSocketAddress& Address, TSocketClock::time_point Deadline,
                          const TSerialHandleObject* Cancel, TConnectFailure& Failure);

// The system's codes for what the network line reports (errno or WSA values): a connection closed or
// reset by the server, an answer that did not come in time, a value the server would not take.
int ConnectionResetCode();
// True when Code from a send or a receive means the server ended the connection (reset it, or it
// was closed when bytes were sent).
bool IsClosedByPeer(int Code);
int TimedOutCode();
int InvalidValueCode();

}  // namespace hexloader
