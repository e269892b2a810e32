// Windows side of the network line's sockets: Winsock with one overlapped receive and one overlapped
// send in flight, each with an event of its own. The event thread waits for the receive's event and
// the write thread for the send's, so neither can take the other's notice (one WSAEventSelect event,
// reset by whichever thread asks first, could do that).
#include <winsock2.h>
#include <windows.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/wide_text_win32.h"
#include "serial/serial_error.h"
#include "serial/serial_event.h"
#include "serial/tcp_socket.h"

namespace hexloader {
namespace {

constexpr std::size_t ReceiveBytes = 16 * 1024;
constexpr std::size_t SendBytes = 64 * 1024;  // taken by one send at most
// Keep-alive probes after 10 s of silence, every 5 s; data unacknowledged 20 s ends the connection.
constexpr ULONG KeepIdleMs = 10'000;
constexpr ULONG KeepIntervalMs = 5'000;
constexpr int TcpMaxRetransmitOption = 5;  // TCP_MAXRT (ws2ipdef.h): seconds
constexpr DWORD MaxRetransmitS = 20;

// WSAStartup once for the process; the system cleans up at its end.
int StartWinsock() {
  static const int result = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return result;
}

int LastSocketError() { return ::WSAGetLastError(); }

DWORD MsUntil(TSocketClock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TSocketClock::now()).count();
  return left > 0 ? static_cast<DWORD>(std::min<long long>(left, 0x7FFFFFFE)) : 0;
}

TConnectFailure::TKind ConnectErrorKind(int Code) {
  switch (Code) {
    case WSAECONNREFUSED: return TConnectFailure::Refused;
    case WSAETIMEDOUT: return TConnectFailure::TimedOut;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
    case WSAEADDRNOTAVAIL: return TConnectFailure::Unreachable;
    default: return TConnectFailure::Failed;
  }
}

void Tune(SOCKET Socket) {
  const BOOL on = TRUE;
  ::setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  ::setsockopt(Socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
  tcp_keepalive keepalive{1, KeepIdleMs, KeepIntervalMs};
  DWORD ignored = 0;
  ::WSAIoctl(Socket, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &ignored, nullptr, nullptr);
  // Every segment acknowledged at once: a server that leaves Nagle's algorithm on holds the rest of a
  // device's answer until its first part is acknowledged, and Windows delays that by up to 200 ms.
  DWORD ackFrequency = 1;
  ::WSAIoctl(Socket, SIO_TCP_SET_ACK_FREQUENCY, &ackFrequency, sizeof ackFrequency, nullptr, 0, &ignored, nullptr,
             nullptr);
  const DWORD maxRetransmit = MaxRetransmitS;
  ::setsockopt(Socket, IPPROTO_TCP, TcpMaxRetransmitOption, reinterpret_cast<const char*>(&maxRetransmit),
               sizeof maxRetransmit);
}

}  // namespace

struct TTcpSocket::TState {
  SOCKET Socket = INVALID_SOCKET;
  std::mutex Lock;
  // The receive in flight fills Received; what it brought is handed out from ReceivedAt on.
  WSAOVERLAPPED ReceiveOp{};
  bool ReceivePending = false;
  std::vector<char> Received = std::vector<char>(ReceiveBytes);
  std::size_t ReceivedAt = 0, ReceivedLeft = 0;
  bool Ended = false;
  int ReceiveError = 0;
  // The send in flight, with its own copy of the bytes.
  WSAOVERLAPPED SendOp{};
  bool SendPending = false;
  std::vector<char> Sending;
  int SendError = 0;

  // The operations' events, for their whole life (the operations' structures are cleared for each).
  const WSAEVENT ReceiveEvent = ::WSACreateEvent();
  const WSAEVENT SendEvent = ::WSACreateEvent();

  TState() {
    ReceiveOp.hEvent = ReceiveEvent;
    SendOp.hEvent = SendEvent;
  }
  ~TState() {
    if (Socket != INVALID_SOCKET) {
      // Nothing may still point into the buffers when they are released.
      ::CancelIoEx(reinterpret_cast<HANDLE>(Socket), nullptr);
      DWORD bytes = 0, flags = 0;
      if (ReceivePending) ::WSAGetOverlappedResult(Socket, &ReceiveOp, &bytes, TRUE, &flags);
      if (SendPending) ::WSAGetOverlappedResult(Socket, &SendOp, &bytes, TRUE, &flags);
      ::closesocket(Socket);
    }
    if (ReceiveEvent != WSA_INVALID_EVENT) ::WSACloseEvent(ReceiveEvent);
    if (SendEvent != WSA_INVALID_EVENT) ::WSACloseEvent(SendEvent);
  }
  bool Valid() const { return ReceiveEvent != WSA_INVALID_EVENT && SendEvent != WSA_INVALID_EVENT; }

  // Starts a receive; its event is signaled once it has ended (at once when bytes are waiting).
  void PostReceive() {
    ReceiveOp = WSAOVERLAPPED{};
    ReceiveOp.hEvent = ReceiveEvent;
    ::WSAResetEvent(ReceiveEvent);
    WSABUF buffer{static_cast<ULONG>(Received.size()), Received.data()};
    DWORD flags = 0;
    if (::WSARecv(Socket, &buffer, 1, nullptr, &flags, &ReceiveOp, nullptr) == 0 || LastSocketError() == WSA_IO_PENDING)
      ReceivePending = true;
    else ReceiveError = LastSocketError();
  }

  // Takes the result of the receive in flight once it has ended.
  void CollectReceive() {
    if (!ReceivePending) return;
    DWORD bytes = 0, flags = 0;
    if (::WSAGetOverlappedResult(Socket, &ReceiveOp, &bytes, FALSE, &flags)) {
      ReceivePending = false;
      if (bytes == 0) Ended = true;
      ReceivedAt = 0;
      ReceivedLeft = bytes;
      return;
    }
    const int e = LastSocketError();
    if (e == WSA_IO_INCOMPLETE) return;
    ReceivePending = false;
    ReceiveError = e;
  }

  // Takes the result of the send in flight once it has ended; true when none is in flight then.
  bool CollectSend() {
    if (!SendPending) return true;
    DWORD bytes = 0, flags = 0;
    if (!::WSAGetOverlappedResult(Socket, &SendOp, &bytes, FALSE, &flags)) {
      const int e = LastSocketError();
      if (e == WSA_IO_INCOMPLETE) return false;
      SendError = e;
    }
    SendPending = false;
    return true;
  }

  bool ReceiveReady() const { return ReceivedLeft > 0 || Ended || ReceiveError != 0; }
};

TTcpSocket::TTcpSocket() = default;
TTcpSocket::TTcpSocket(std::unique_ptr<TState> State) : State_(std::move(State)) {}
TTcpSocket::~TTcpSocket() = default;
TTcpSocket::TTcpSocket(TTcpSocket&& Other) noexcept = default;
TTcpSocket& TTcpSocket::operator=(TTcpSocket&& Other) noexcept = default;

TSocketIo TTcpSocket::Send(const void* Data, std::size_t Count) {
  TState& s = *State_;
  std::lock_guard<std::mutex> guard(s.Lock);
  if (!s.CollectSend()) return {TSocketIo::WouldBlock};
  if (s.SendError != 0) return {TSocketIo::Failed, 0, s.SendError};
  if (Count == 0) return {TSocketIo::Done};
  const std::size_t n = std::min(Count, SendBytes);
  const auto* bytes = static_cast<const char*>(Data);
  s.Sending.assign(bytes, bytes + n);
  s.SendOp = WSAOVERLAPPED{};
  s.SendOp.hEvent = s.SendEvent;
  ::WSAResetEvent(s.SendEvent);
  WSABUF buffer{static_cast<ULONG>(n), s.Sending.data()};
  if (::WSASend(s.Socket, &buffer, 1, nullptr, 0, &s.SendOp, nullptr) != 0 && LastSocketError() != WSA_IO_PENDING) {
    s.SendError = LastSocketError();
    return {TSocketIo::Failed, 0, s.SendError};
  }
  s.SendPending = true;
  return {TSocketIo::Done, n};
}

TSocketIo TTcpSocket::Receive(void* Buffer, std::size_t Count) {
  TState& s = *State_;
  std::lock_guard<std::mutex> guard(s.Lock);
  if (Count == 0) return {TSocketIo::Done};
  // A receive that ends at once (bytes already there) is taken in the same call.
  for (int round = 0; round < 2; ++round) {
    s.CollectReceive();
    if (s.ReceivedLeft > 0) {
      const std::size_t n = std::min(Count, s.ReceivedLeft);
      std::memcpy(Buffer, s.Received.data() + s.ReceivedAt, n);
      s.ReceivedAt += n;
      s.ReceivedLeft -= n;
      if (s.ReceivedLeft == 0) s.PostReceive();  // the next one under way while these are used
      return {TSocketIo::Done, n};
    }
    if (s.ReceiveError != 0) return {TSocketIo::Failed, 0, s.ReceiveError};
    if (s.Ended) return {TSocketIo::Closed};
    if (s.ReceivePending) break;
    s.PostReceive();
  }
  return {TSocketIo::WouldBlock};
}

TSocketWait TTcpSocket::Wait(bool Read, bool Write, const TSerialHandleObject* Wake, int TimeoutMs) {
  TState& s = *State_;
  HANDLE handles[3];
  DWORD count = 0;
  const HANDLE wake = Wake ? reinterpret_cast<HANDLE>(Wake->Handle()) : nullptr;
  if (wake) handles[count++] = wake;  // first: reported before the socket when both hold
  bool readable = false, writable = false;
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    if (Read) {
      s.CollectReceive();
      if (!s.ReceiveReady() && !s.ReceivePending) {
        s.PostReceive();
        s.CollectReceive();
      }
      if (s.ReceiveReady()) readable = true;
      else handles[count++] = s.ReceiveEvent;
    }
    if (Write) {
      if (s.CollectSend()) writable = true;
      else handles[count++] = s.SendEvent;
    }
  }
  if (wake && ::WaitForSingleObject(wake, 0) == WAIT_OBJECT_0) return {TSocketWait::Woken};
  if (readable || writable) return {TSocketWait::Ready, readable, writable};
  const DWORD timeout = TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs);
  if (count == 0) {
    ::Sleep(timeout == INFINITE ? 0 : timeout);
    return {TSocketWait::TimedOut};
  }
  const DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, timeout);
  if (r == WAIT_TIMEOUT) return {TSocketWait::TimedOut};
  if (r >= WAIT_OBJECT_0 + count) return {TSocketWait::Failed, false, false, static_cast<int>(::GetLastError())};
  if (wake && r == WAIT_OBJECT_0) return {TSocketWait::Woken};
  // Which operations ended: the caller's next receive or send takes their results.
  return {TSocketWait::Ready, Read && ::WaitForSingleObject(s.ReceiveEvent, 0) == WAIT_OBJECT_0,
          Write && ::WaitForSingleObject(s.SendEvent, 0) == WAIT_OBJECT_0};
}

TTcpSocket ConnectAddress(const TSocketAddress& Address, TSocketClock::time_point Deadline,
                          const TSerialHandleObject* Cancel, TConnectFailure& Failure) {
  Failure = {};
  if (const int e = StartWinsock()) {
    Failure = TConnectFailure::Of(TConnectFailure::Failed, e);
    return {};
  }
  Failure.Address = SocketAddressText(Address);
  const auto* address = reinterpret_cast<const sockaddr*>(Address.Bytes.data());
  auto state = std::make_unique<TTcpSocket::TState>();
  if (!state->Valid()) {
    Failure = TConnectFailure::Of(TConnectFailure::Failed, LastSocketError());
    return {};
  }
  state->Socket = ::WSASocketW(address->sa_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (state->Socket == INVALID_SOCKET) {
    Failure.Kind = TConnectFailure::Failed;
    Failure.Code = LastSocketError();
    return {};
  }
  Tune(state->Socket);
  // Connected without blocking, its end told through an event of its own; a cancel ends the wait.
  const WSAEVENT connected = ::WSACreateEvent();
  struct TCloseEvent {
    WSAEVENT Event;
    ~TCloseEvent() {
      if (Event != WSA_INVALID_EVENT) ::WSACloseEvent(Event);
    }
  } closeEvent{connected};
  if (connected == WSA_INVALID_EVENT || ::WSAEventSelect(state->Socket, connected, FD_CONNECT) != 0) {
    Failure.Kind = TConnectFailure::Failed;
    Failure.Code = LastSocketError();
    return {};
  }
  if (::connect(state->Socket, address, Address.Length) != 0) {
    const int e = LastSocketError();
    if (e != WSAEWOULDBLOCK) {
      Failure.Kind = ConnectErrorKind(e);
      Failure.Code = e;
      return {};
    }
    HANDLE handles[2] = {connected, Cancel ? reinterpret_cast<HANDLE>(Cancel->Handle()) : nullptr};
    const DWORD r = ::WaitForMultipleObjects(Cancel ? 2 : 1, handles, FALSE, MsUntil(Deadline));
    if (r == WAIT_TIMEOUT) {
      Failure.Kind = TConnectFailure::TimedOut;
      return {};
    }
    if (r == WAIT_OBJECT_0 + 1) {
      Failure.Kind = TConnectFailure::Cancelled;
      return {};
    }
    WSANETWORKEVENTS events{};
    if (r != WAIT_OBJECT_0 || ::WSAEnumNetworkEvents(state->Socket, connected, &events) != 0) {
      Failure.Kind = TConnectFailure::Failed;
      Failure.Code = r != WAIT_OBJECT_0 ? static_cast<int>(::GetLastError()) : LastSocketError();
      return {};
    }
    if (const int e = events.iErrorCode[FD_CONNECT_BIT]) {
      Failure.Kind = ConnectErrorKind(e);
      Failure.Code = e;
      return {};
    }
  }
  // Back to an ordinary socket: the overlapped calls never block, and need no event selection.
  ::WSAEventSelect(state->Socket, nullptr, 0);
  u_long nonBlocking = 0;
  ::ioctlsocket(state->Socket, FIONBIO, &nonBlocking);
  state->PostReceive();
  return TTcpSocket(std::move(state));
}

TResolved ResolveTcp(const std::string& Host, std::uint16_t Port) {
  TResolved resolved;
  if (const int e = StartWinsock()) {
    resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, e);
    return resolved;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  ADDRINFOW* list = nullptr;
  const int r = ::GetAddrInfoW(WideFromUtf8(Host).c_str(), std::to_wstring(Port).c_str(), &hints, &list);
  if (r != 0) {
    if (r == WSAHOST_NOT_FOUND || r == WSANO_DATA || r == WSATRY_AGAIN || r == WSANO_RECOVERY)
      resolved.Failure = TConnectFailure::Of(TConnectFailure::UnknownHost, r, TrimmedSysErrorMessage(r));
    else resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, r);
    return resolved;
  }
  for (const ADDRINFOW* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(TSocketAddress::Bytes)) continue;
    TSocketAddress address;
    std::memcpy(address.Bytes.data(), a->ai_addr, a->ai_addrlen);
    address.Length = static_cast<int>(a->ai_addrlen);
    resolved.Addresses.push_back(address);
  }
  ::FreeAddrInfoW(list);
  if (resolved.Addresses.empty()) resolved.Failure.Kind = TConnectFailure::UnknownHost;
  return resolved;
}

std::string SocketAddressText(const TSocketAddress& Address) {
  wchar_t text[NI_MAXHOST] = L"";
  if (::GetNameInfoW(reinterpret_cast<const sockaddr*>(Address.Bytes.data()), Address.Length, text, NI_MAXHOST, nullptr,
                     0, NI_NUMERICHOST) != 0)
    return "?";
  return Utf8FromWide(text);
}

int ConnectionResetCode() { return WSAECONNRESET; }
bool IsClosedByPeer(int Code) { return Code == WSAECONNRESET || Code == WSAECONNABORTED; }
int TimedOutCode() { return WSAETIMEDOUT; }
int InvalidValueCode() { return WSAEINVAL; }

}  // namespace hexloader
