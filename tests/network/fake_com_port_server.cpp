#include "tests/network/fake_com_port_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace hexloader::test {
namespace {

constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr std::uint8_t ComPort = 44;

int BoundLoopbackSocket(std::uint16_t& Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  Port = ntohs(a.sin_port);
  return fd;
}

void AppendDoubled(TBytes& Out, const TBytes& Data) {
  for (std::uint8_t b : Data) {
    Out.push_back(b);
    if (b == IAC) Out.push_back(IAC);
  }
}

}  // namespace

TLoopbackServer::TLoopbackServer(TServe Serve) {
  Listener_ = BoundLoopbackSocket(Port_);
  // A small receive buffer, set before listening so that connections take it with a window scale to
  // match: a client's output then fills a connection soon while the server reads nothing.
  const int small = 64 * 1024;
  ::setsockopt(Listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  if (::listen(Listener_, 8) != 0) throw std::runtime_error("listen");
  // Owned by this object, which sets Stopping_ and joins it; it looks at Stopping_ every 20 ms.
  Thread_ = std::thread([this, Serve = std::move(Serve)] {
    while (!Stopping_.load()) {
      pollfd p{Listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(Listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      Serve(fd, Stopping_);
      ::close(fd);
    }
  });
}

TLoopbackServer::~TLoopbackServer() {
  Stopping_ = true;
  Thread_.join();
  ::close(Listener_);
}

std::uint16_t FreeLoopbackPort() {
  std::uint16_t port = 0;
  ::close(BoundLoopbackSocket(port));
  return port;
}

TBytes ReadSome(int Fd, std::size_t Count, int TimeoutMs) {
  TBytes out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (out.size() < Count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{Fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    std::uint8_t buffer[4096];
    const ssize_t n = ::recv(Fd, buffer, std::min(sizeof buffer, Count - out.size()), 0);
    if (n <= 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

void SendAll(int Fd, const TBytes& Bytes) {
  std::size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = ::send(Fd, Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

TBytes Ser2netGreeting() {
  return {IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 1, IAC, DONT, 1, IAC, DO, 0, IAC, WILL, 0, IAC, DO, ComPort};
}

// What a greeting asks or offers: the client's agreement to it needs no answer.
static std::set<std::pair<std::uint8_t, std::uint8_t>> AgreedBy(const TBytes& Greeting) {
  std::set<std::pair<std::uint8_t, std::uint8_t>> agreed;
  for (std::size_t i = 0; i + 2 < Greeting.size(); ++i)
    if (Greeting[i] == IAC && Greeting[i + 1] >= WILL) {
      // Keyed by what the server says when it agrees: a refusal in the greeting is its last word too.
      const std::uint8_t verb = Greeting[i + 1] == DONT ? DO : Greeting[i + 1] == WONT ? WILL : Greeting[i + 1];
      agreed.insert({verb, Greeting[i + 2]});
      i += 2;
    }
  return agreed;
}

TFakeComPortServer::TFakeComPortServer(TServerScript Script)
    : Script_(std::move(Script)),
      Agreed_(AgreedBy(Script_.Greeting)),
      Server_([this](int Fd, const std::atomic<bool>& Stopping) { Serve(Fd, Stopping); }) {}

TFakeComPortServer::~TFakeComPortServer() = default;

void TFakeComPortServer::Reply(int Fd, const TBytes& Bytes) {
  std::lock_guard<std::mutex> guard(SendLock_);
  if (!Script_.AnswerByteByByte) return SendAll(Fd, Bytes);
  for (std::uint8_t b : Bytes) {
    SendAll(Fd, {b});
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
}

void TFakeComPortServer::Serve(int Fd, const std::atomic<bool>& Stopping) {
  if (!Script_.Greeting.empty()) Reply(Fd, Script_.Greeting);
  if (Script_.CloseAfterGreeting) {
    TBytes text;
    AppendDoubled(text, Script_.CloseText);
    SendAll(Fd, text);
    return;
  }
  ClientFd_ = Fd;
  struct TForget {
    std::atomic<int>& Fd;
    std::mutex& Lock;
    ~TForget() {
      std::lock_guard<std::mutex> guard(Lock);
      Fd = -1;
    }
  } forget{ClientFd_, SendLock_};
  while (!Stopping.load() && !CloseRequested_.load()) {
    if (Stalled_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    pollfd p{Fd, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0) continue;
    std::uint8_t buffer[4096];
    const ssize_t n = ::recv(Fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      ClientClosed_ = true;
      Changed_.notify_all();
      return;
    }
    Parse(TBytes(buffer, buffer + n), Fd);
  }
}

void TFakeComPortServer::Parse(const TBytes& In, int Fd) {
  TBytes out;  // answers and echoes, sent after the lock is let go
  std::unique_lock<std::mutex> lock(Lock_);
  Raw_.insert(Raw_.end(), In.begin(), In.end());
  const auto data = [&](std::uint8_t B) {
    Data_.push_back(B);
    if (Script_.EchoData) AppendDoubled(out, {B});
  };
  for (std::uint8_t b : In) {
    switch (State_) {
      case Data:
        if (b == IAC) State_ = Iac;
        else data(b);
        break;
      case Iac:
        State_ = Data;
        if (b == IAC) data(b);
        else if (b >= WILL) Verb_ = b, State_ = Verb;
        else if (b == SB) Sub_.clear(), State_ = Sub;
        break;
      case Verb: {
        State_ = Data;
        // The server's side of what the client said: WILL x is answered with DO/DONT, DO x with WILL/WONT.
        const bool client_will = Verb_ == WILL || Verb_ == WONT;
        const std::uint8_t asked = client_will ? DO : WILL;
        if (!Script_.AnswerNegotiation || Agreed_.count({asked, b}) || (Verb_ != WILL && Verb_ != DO)) break;
        const bool accept = b == 0 || b == 3 || (b == ComPort && client_will);
        out.insert(out.end(), {IAC, accept ? asked : static_cast<std::uint8_t>(client_will ? DONT : WONT), b});
        Agreed_.insert({asked, b});
        break;
      }
      case Sub:
        if (b == IAC) State_ = SubIac;
        else Sub_.push_back(b);
        break;
      case SubIac:
        if (b == IAC) {
          Sub_.push_back(b);
          State_ = Sub;
          break;
        }
        State_ = Data;
        if (b != SE || Sub_.size() < 2 || Sub_[0] != ComPort) break;
        {
          const TBytes request(Sub_.begin() + 1, Sub_.end());
          Requests_.push_back(request);
          const std::uint8_t command = request[0];
          const bool modemLine = command == 5 && request.size() == 2 &&
                                 (request[1] == 8 || request[1] == 9 || request[1] == 11 || request[1] == 12);
          if (modemLine || Script_.Unanswered.count(command)) break;
          if (command == 12) AppendDoubled(out, Script_.BeforePurgeAnswer);
          TBytes value(request.begin() + 1, request.end());
          if (auto o = Script_.Answer.find(command); o != Script_.Answer.end()) {
            value.clear();
            if (command == 1)
              for (int shift = 24; shift >= 0; shift -= 8)
                value.push_back(static_cast<std::uint8_t>(o->second >> shift));
            else value.push_back(static_cast<std::uint8_t>(o->second));
          }
          TBytes body{static_cast<std::uint8_t>(command + 100)};
          body.insert(body.end(), value.begin(), value.end());
          out.insert(out.end(), {IAC, SB, ComPort});
          AppendDoubled(out, body);
          out.insert(out.end(), {IAC, SE});
          if (command == 12) AppendDoubled(out, Script_.AfterPurgeAnswer);
        }
        break;
    }
  }
  lock.unlock();
  Changed_.notify_all();
  if (!out.empty()) Reply(Fd, out);
}

void TFakeComPortServer::Send(const TBytes& Raw) {
  std::lock_guard<std::mutex> guard(SendLock_);
  if (ClientFd_.load() >= 0) SendAll(ClientFd_.load(), Raw);
}

void TFakeComPortServer::CloseClient() { CloseRequested_ = true; }

TBytes TFakeComPortServer::ClientData() const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Data_;
}

std::vector<TBytes> TFakeComPortServer::Requests() const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Requests_;
}

TBytes TFakeComPortServer::ClientRaw() const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Raw_;
}

bool TFakeComPortServer::AwaitClientData(std::size_t Count, int TimeoutMs) const {
  std::unique_lock<std::mutex> lock(Lock_);
  return Changed_.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return Data_.size() >= Count; });
}

}  // namespace hexloader::test
