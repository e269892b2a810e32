#pragma once
// Servers on the loopback for the network line's tests: a plain listener (whatever a test does with
// the connection), and a device server playing RFC 2217 by a script (which settings it confirms, what
// it sends, when it closes), with what the client sent kept for the test to look at. The server side
// reads the client's bytes with its own small parser, not the codec under test.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "serial/network_port_name.h"

namespace hexloader::test {

using TBytes = std::vector<std::uint8_t>;

// A listening socket on 127.0.0.1 and a free port. Serve runs on the server's thread for each
// connection accepted, one after the other, with the connected descriptor (closed after it).
class TLoopbackServer {
 public:
  using TServe = std::function<void(int Fd, const std::atomic<bool>& Stopping)>;
  explicit TLoopbackServer(TServe Serve);
  ~TLoopbackServer();  // stops accepting, ends the thread
  std::uint16_t Port() const { return Port_; }
  TNetworkPortAddress Address() const { return {"127.0.0.1", Port_}; }

 private:
  int Listener_ = -1;
  std::uint16_t Port_ = 0;
  std::atomic<bool> Stopping_{false};
  std::thread Thread_;
};

// A port on the loopback where nothing listens (taken from the system, then let go).
std::uint16_t FreeLoopbackPort();

// Reads up to Count bytes from Fd within TimeoutMs; fewer when the peer closed or time ran out.
TBytes ReadSome(int Fd, std::size_t Count, int TimeoutMs);
void SendAll(int Fd, const TBytes& Bytes);

// What ser2net says when a client connects (as seen on the wire).
TBytes Ser2netGreeting();

// A device server speaking RFC 2217 by a script.
struct TServerScript {
  TBytes Greeting = Ser2netGreeting();  // sent on connecting
  bool AnswerNegotiation = true;        // WILL/DO from the client that the greeting has not agreed to yet
  // Requests answered with another value (command -> value), and commands never answered; the modem
  // lines (SET-CONTROL DTR/RTS) are never answered, as ser2net in front of a pseudo-terminal does.
  std::map<std::uint8_t, std::uint32_t> Answer;
  std::set<std::uint8_t> Unanswered;
  TBytes BeforePurgeAnswer;  // data bytes sent just before the purge is confirmed
  TBytes AfterPurgeAnswer;   // ... and just after
  bool EchoData = false;     // data bytes come back (doubled again on the way)
  bool CloseAfterGreeting = false;
  TBytes CloseText;               // data sent before closing after the greeting
  bool AnswerByteByByte = false;  // every answer cut into single-byte segments
};

class TFakeComPortServer {
 public:
  explicit TFakeComPortServer(TServerScript Script);
  ~TFakeComPortServer();
  TNetworkPortAddress Address() const { return Server_.Address(); }

  // Sends raw bytes to the connected client at once (data must be doubled by the caller); closes it.
  void Send(const TBytes& Raw);
  void CloseClient();
  // What the client sent: its data bytes (undoubled), its COM port requests (payloads), everything.
  TBytes ClientData() const;
  std::vector<TBytes> Requests() const;
  TBytes ClientRaw() const;
  // Waits until the client has sent Count data bytes (true) or TimeoutMs passed.
  bool AwaitClientData(std::size_t Count, int TimeoutMs) const;
  bool ClientClosed() const { return ClientClosed_.load(); }
  // While stalled the server reads nothing (the client's output fills the connection).
  void Stall(bool On) { Stalled_ = On; }

 private:
  void Serve(int Fd, const std::atomic<bool>& Stopping);
  void Parse(const TBytes& In, int Fd);
  void Reply(int Fd, const TBytes& Bytes);

  TServerScript Script_;
  std::set<std::pair<std::uint8_t, std::uint8_t>> Agreed_;
  mutable std::mutex Lock_;
  mutable std::condition_variable Changed_;
  std::mutex SendLock_;            // one sender at a time on the connection
  std::atomic<int> ClientFd_{-1};  // the connection, while served
  std::atomic<bool> CloseRequested_{false};
  TBytes Data_, Raw_;
  std::vector<TBytes> Requests_;
  std::atomic<bool> ClientClosed_{false};
  std::atomic<bool> Stalled_{false};
  // The parser's state.
  enum { Data, Iac, Verb, Sub, SubIac } State_ = Data;
  std::uint8_t Verb_ = 0;
  TBytes Sub_;
  TLoopbackServer Server_;  // last: its thread uses everything above
};

}  // namespace hexloader::test
