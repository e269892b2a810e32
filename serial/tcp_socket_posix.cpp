// POSIX side of the network line's sockets: a non-blocking socket waited for with poll, beside the
// wake object's descriptor.
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/serial_event.h"
#include "serial/tcp_socket.h"
#include "serial/tcp_tuning_linux.h"

namespace hexloader {
namespace {

int MsUntil(TSocketClock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TSocketClock::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 0x7FFFFFFF)) : 0;
}

TConnectFailure::TKind ConnectErrorKind(int Code) {
  switch (Code) {
    case ECONNREFUSED: return TConnectFailure::Refused;
    case ETIMEDOUT: return TConnectFailure::TimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
    case EADDRNOTAVAIL: return TConnectFailure::Unreachable;
    default: return TConnectFailure::Failed;
  }
}

}  // namespace

struct TTcpSocket::TState {
  int Fd = -1;
  explicit TState(int F) : Fd(F) {}
  ~TState() {
    if (Fd >= 0) ::close(Fd);
  }
};

TTcpSocket::TTcpSocket() = default;
TTcpSocket::TTcpSocket(std::unique_ptr<TState> State) : State_(std::move(State)) {}
TTcpSocket::~TTcpSocket() = default;
TTcpSocket::TTcpSocket(TTcpSocket&& Other) noexcept = default;
TTcpSocket& TTcpSocket::operator=(TTcpSocket&& Other) noexcept = default;

TSocketIo TTcpSocket::Send(const void* Data, std::size_t Count) {
  for (;;) {
    // MSG_NOSIGNAL: a server gone away is an error code here, not a SIGPIPE for the whole program.
    const ssize_t n = ::send(State_->Fd, Data, Count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return {TSocketIo::Done, static_cast<std::size_t>(n)};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {TSocketIo::WouldBlock};
    return {TSocketIo::Failed, 0, errno};
  }
}

TSocketIo TTcpSocket::Receive(void* Buffer, std::size_t Count) {
  for (;;) {
    const ssize_t n = ::recv(State_->Fd, Buffer, Count, MSG_DONTWAIT);
    if (n > 0) {
      AcknowledgeAtOnce(State_->Fd);
      return {TSocketIo::Done, static_cast<std::size_t>(n)};
    }
    if (n == 0) return {Count > 0 ? TSocketIo::Closed : TSocketIo::Done};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {TSocketIo::WouldBlock};
    return {TSocketIo::Failed, 0, errno};
  }
}

TSocketWait TTcpSocket::Wait(bool Read, bool Write, const TSerialHandleObject* Wake, int TimeoutMs) {
  const short events = static_cast<short>((Read ? POLLIN : 0) | (Write ? POLLOUT : 0));
  // Without interest the socket stays out of the set: a closed connection would end every wait at once.
  pollfd fds[2] = {{Wake ? static_cast<int>(Wake->Handle()) : -1, POLLIN, 0}, {events ? State_->Fd : -1, events, 0}};
  const auto deadline = TSocketClock::now() + std::chrono::milliseconds(TimeoutMs < 0 ? 0 : TimeoutMs);
  for (;;) {
    const int r = ::poll(fds, 2, TimeoutMs < 0 ? -1 : MsUntil(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return {TSocketWait::Failed, false, false, errno};
    if (r == 0) return {TSocketWait::TimedOut};
    if (fds[0].revents) return {TSocketWait::Woken};
    const short got = fds[1].revents;
    return {TSocketWait::Ready, Read && (got & (POLLIN | POLLHUP | POLLERR)) != 0,
            Write && (got & (POLLOUT | POLLHUP | POLLERR)) != 0};
  }
}

TTcpSocket ConnectAddress(const TSocketAddress& Address, TSocketClock::time_point Deadline,
                          const TSerialHandleObject* Cancel, TConnectFailure& Failure) {
  Failure = {};
  Failure.Address = SocketAddressText(Address);
  const auto* address = reinterpret_cast<const sockaddr*>(Address.Bytes.data());
  const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    Failure.Kind = TConnectFailure::Failed;
    Failure.Code = errno;
    return {};
  }
  auto state = std::make_unique<TTcpSocket::TState>(fd);
  TuneTcpSocket(fd);
  if (::connect(fd, address, static_cast<socklen_t>(Address.Length)) != 0) {
    const int e = errno;
    if (e != EINPROGRESS && e != EINTR) {
      Failure.Kind = ConnectErrorKind(e);
      Failure.Code = e;
      return {};
    }
    pollfd fds[2] = {{Cancel ? static_cast<int>(Cancel->Handle()) : -1, POLLIN, 0}, {fd, POLLOUT, 0}};
    for (;;) {
      const int r = ::poll(fds, 2, MsUntil(Deadline));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        Failure.Kind = TConnectFailure::Failed;
        Failure.Code = errno;
        return {};
      }
      if (r == 0) {
        Failure.Kind = TConnectFailure::TimedOut;
        return {};
      }
      if (fds[0].revents) {
        Failure.Kind = TConnectFailure::Cancelled;
        return {};
      }
      break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
      Failure.Kind = ConnectErrorKind(error);
      Failure.Code = error;
      return {};
    }
  }
  return TTcpSocket(std::move(state));
}

TResolved ResolveTcp(const std::string& Host, std::uint16_t Port) {
  TResolved resolved;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const int r = ::getaddrinfo(Host.c_str(), std::to_string(Port).c_str(), &hints, &list);
  if (r != 0) {
    if (r == EAI_SYSTEM) resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, errno);
    else if (r == EAI_NONAME || r == EAI_AGAIN || r == EAI_FAIL || r == EAI_NODATA || r == EAI_ADDRFAMILY)
      resolved.Failure = TConnectFailure::Of(TConnectFailure::UnknownHost, 0, ::gai_strerror(r));
    else resolved.Failure = TConnectFailure::Of(TConnectFailure::Failed, 0, ::gai_strerror(r));
    return resolved;
  }
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(TSocketAddress::Bytes)) continue;
    TSocketAddress address;
    std::memcpy(address.Bytes.data(), a->ai_addr, a->ai_addrlen);
    address.Length = static_cast<int>(a->ai_addrlen);
    resolved.Addresses.push_back(address);
  }
  ::freeaddrinfo(list);
  if (resolved.Addresses.empty()) resolved.Failure.Kind = TConnectFailure::UnknownHost;
  return resolved;
}

std::string SocketAddressText(const TSocketAddress& Address) {
  char text[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(Address.Bytes.data()), static_cast<socklen_t>(Address.Length),
                    text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return "?";
  return text;
}

int ConnectionResetCode() { return ECONNRESET; }
bool IsClosedByPeer(int Code) { return Code == ECONNRESET || Code == EPIPE; }
int TimedOutCode() { return ETIMEDOUT; }
int InvalidValueCode() { return EINVAL; }

}  // namespace hexloader
