#pragma once
// A serial line on the network: a TCP connection to a device server speaking Telnet with the COM port
// option (RFC 2217), offered with the operations of the serial port's platform layer (line settings,
// status, timed reads, writes, a watch for line events), so that the serial component can use it as
// another back end. Data bytes cross unchanged: 0xFF doubled and undoubled, no CR/LF translation.
//
// Threads: as with a local port, one event thread watches (StartWatch, Wait), one write thread writes
// (WriteSome, WaitWritable), the user-interface thread reads, asks the status and applies settings.
// One lock inside guards the protocol state and the queues; the socket is waited for outside it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/com_port_option.h"
#include "serial/line_settings.h"
#include "serial/network_port_name.h"
#include "serial/receive_pacer.h"
#include "serial/rfc2217_protocol.h"
#include "serial/serial_types.h"
#include "serial/tcp_socket.h"

namespace hexloader {

class TSerialEvent;
class TSerialHandleObject;

// How long each step of opening and setting the line may take.
struct TNetworkLineTimes {
  int ConnectMs = 5000;      // name resolution and the TCP connection, together
  int NegotiationMs = 3000;  // the Telnet options, once connected
  int ReplyMs = 2000;        // each line setting's confirmation, and the purge's
};

// Why a line could not be opened or set. Every kind names host and port in its message
// (NetworkLineFailureMessage, network_line_error.h).
struct TNetworkLineFailure {
  enum TKind {
    None,
    UnknownHost,         // Detail: the resolver's words
    ResolveTimedOut,     // no answer about the name within ConnectMs
    NothingListening,    // the connection was refused
    NoAnswer,            // no answer from the address within ConnectMs
    Unreachable,         // Code
    NoNegotiation,       // connected, but no RFC 2217 within NegotiationMs; DataBytes of plain data came
    OptionRefused,       // Detail: which option the server declined
    ClosedByServer,      // the server closed the connection while it was opened (a port another client
                         // holds: ser2net says so, then closes); Detail: what it said
    SettingRefused,      // the server answered another value; Detail says which (Code: invalid value)
    SettingUnconfirmed,  // no answer within ReplyMs; Detail: which setting (Code: timed out)
    Cancelled,
    Failed,  // Code, or Detail
  } Kind = None;
  int Code = 0;  // a system code where one applies (errno or WSA values)
  std::string Detail;
  std::size_t DataBytes = 0;
  std::string Host;  // as the port name gives it
  std::uint16_t Port = 0;
  int Seconds = 0;  // the limit that ran out, for the message
};

// The outcome of a wait on the line.
struct TNetworkWait {
  enum TKind { Done, Woken, Failed } Kind = Done;
  int Code = 0;  // with Failed
};

class TNetworkLine {
 public:
  // Connects to Address, negotiates, applies Settings when given (so that a later ApplyLineSettings
  // with the same settings costs nothing) and purges the server's buffers; the bytes received before
  // that purge was confirmed are dropped. Blocks for at most the sum of Times' limits (a few seconds);
  // Cancel (may be null) ends it at once. Returns nothing and fills Failure when it fails.
  static std::unique_ptr<TNetworkLine> Open(const TNetworkPortAddress& Address, const TNetworkLineTimes& Times,
                                            const TSerialLineSettings* Settings, const TSerialHandleObject* Cancel,
                                            TNetworkLineFailure& Failure);
  ~TNetworkLine();  // closes the connection
  TNetworkLine(const TNetworkLine&) = delete;
  TNetworkLine& operator=(const TNetworkLine&) = delete;

  // Sends the settings (bit rate, data bits, parity, stop bits, flow control; DTR and RTS without
  // waiting for an answer) and waits up to ReplyMs for each confirmation. 0, or a code with Failure
  // (may be null) saying which setting: a refused value (InvalidValueCode), a missing answer
  // (TimedOutCode), the connection's failure.
  int ApplyLineSettings(const TSerialLineSettings& Settings, TNetworkLineFailure* Failure = nullptr);
  // As the serial port's: the watch reports received data once Count bytes wait (or the line has been
  // quiet for TReceivePacer::QuietMs).
  int SetReceiveThreshold(int Count);
  // Received bytes waiting, the output not yet taken by the system, and the line errors the server
  // notified since the previous call (cleared by it).
  int GetStatus(TSerialCommStatus& Status, bool OutQueue = true);
  // As the serial port's Read: at most TimeoutMs for the first byte, IntervalMs between bytes.
  int Read(void* Buffer, int Count, std::uint32_t TimeoutMs, int IntervalMs, int& Bytes);
  // Takes the bytes (all of them, or EAGAIN and none while earlier output still waits for the system).
  int WriteSome(const void* Buffer, int Count, int& Bytes);
  // Writes Count bytes, waiting at most TimeoutMs for room.
  int Write(const void* Buffer, int Count, std::uint32_t TimeoutMs, int& Bytes);
  // Waits until output can be taken again (Done), or Cancel is signaled (Woken).
  TNetworkWait WaitWritable(const TSerialHandleObject& Cancel);

  // The watch of the event thread: Wake ends its waits. The line signals Wake itself when the watch
  // must look again (a lowered threshold, room made in a full input queue, output left for it to
  // send), so a woken watcher that was not asked to stop waits again (as with a local port).
  int StartWatch(std::uint32_t Mask, TSerialEvent& Wake);
  // The watch has ended (before its wake object goes).
  void StopWatch();
  // Blocks until a line event in the mask (received data: EV_RXCHAR for bytes arrived since the last
  // report; modem-line and line-error notifications), Woken, or Failed with the code of a broken
  // connection (after the bytes received before it were reported).
  TNetworkWait Wait(std::uint32_t& Occurred);

  // True once the connection has failed or the server closed it: nothing on this line works again.
  bool IsGone(int Code) const;
  TComPortLineStatus LineStatus() const;
  const TNetworkPortAddress& Address() const { return Address_; }

  static constexpr std::size_t ReceiveCapacity = 64 * 1024;  // bytes kept before the socket is left unread
  static constexpr int AwaitSliceMs = 20;                    // a read's or a setting's wait for the watch, at most

 private:
  TNetworkLine(TTcpSocket Socket, const TNetworkPortAddress& Address, const TNetworkLineTimes& Times);

  using TLock = std::unique_lock<std::mutex>;
  // Reads what the socket has (while there is room), decodes it, sends what the protocol owes.
  void Pump(TLock& Lock);
  void Flush(TLock& Lock);
  void Queue(const std::vector<std::uint8_t>& Encoded, TLock& Lock);
  void Broke(int Code, bool ByServer);
  // Waits on the socket outside the lock for what the protocol awaits (or the watch pumps meanwhile).
  TNetworkWait AwaitChange(TLock& Lock, TSocketClock::time_point Deadline, const TSerialHandleObject* Cancel);
  bool Negotiate(const TSerialHandleObject* Cancel, TNetworkLineFailure& Failure);
  int Exchange(const std::vector<TComPortRequest>& Requests, const TSerialHandleObject* Cancel,
               TNetworkLineFailure& Failure);
  void WakeWatch();
  std::size_t Waiting() const { return Rx_.size() - RxHead_; }
  TNetworkLineFailure FailureBase() const;
  std::string ServerText() const;  // what the server sent as text, for messages

  TTcpSocket Socket_;
  const TNetworkPortAddress Address_;
  const TNetworkLineTimes Times_;

  mutable std::mutex Lock_;
  std::condition_variable Changed_;  // received data, answers, a broken connection
  TRfc2217Protocol Protocol_;
  std::vector<std::uint8_t> Rx_;  // received data from RxHead_ on
  std::size_t RxHead_ = 0;
  std::uint64_t RxTotal_ = 0;      // data bytes received in all
  std::uint64_t RxReported_ = 0;   // RxTotal_ when the watch last reported
  std::vector<std::uint8_t> Out_;  // encoded bytes the system has not taken yet
  int Broken_ = 0;                 // the connection's failure code, once it failed
  bool ClosedByServer_ = false;    // ... because the server closed it
  bool ReceiveEnded_ = false;      // the socket gives nothing more
  std::optional<TSerialLineSettings> Applied_;
  TReceiveGathering Gathering_;
  TSerialEvent* Wake_ = nullptr;  // the watch's, while it runs
  std::uint32_t Mask_ = 0;
};

}  // namespace hexloader
