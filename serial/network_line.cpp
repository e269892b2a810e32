#include "serial/network_line.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/serial_event.h"

namespace hexloader {
namespace {

using TClock = TSocketClock;

int MsUntil(TClock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 0x7FFFFFFF)) : 0;
}

int SecondsOf(int Ms) { return (Ms + 999) / 1000; }

TNetworkLineFailure::TKind KindOf(TConnectFailure::TKind Kind) {
  switch (Kind) {
    case TConnectFailure::None: return TNetworkLineFailure::None;
    case TConnectFailure::UnknownHost: return TNetworkLineFailure::UnknownHost;
    case TConnectFailure::ResolveTimedOut: return TNetworkLineFailure::ResolveTimedOut;
    case TConnectFailure::Refused: return TNetworkLineFailure::NothingListening;
    case TConnectFailure::TimedOut: return TNetworkLineFailure::NoAnswer;
    case TConnectFailure::Unreachable: return TNetworkLineFailure::Unreachable;
    case TConnectFailure::Cancelled: return TNetworkLineFailure::Cancelled;
    case TConnectFailure::Failed: return TNetworkLineFailure::Failed;
  }
  return TNetworkLineFailure::Failed;
}

}  // namespace

TNetworkLine::TNetworkLine(TTcpSocket Socket, const TNetworkPortAddress& Address, const TNetworkLineTimes& Times)
    : Socket_(std::move(Socket)), Address_(Address), Times_(Times) {}

TNetworkLine::~TNetworkLine() = default;

TNetworkLineFailure TNetworkLine::FailureBase() const {
  TNetworkLineFailure failure;
  failure.Host = Address_.Host;
  failure.Port = Address_.Port;
  return failure;
}

std::unique_ptr<TNetworkLine> TNetworkLine::Open(const TNetworkPortAddress& Address, const TNetworkLineTimes& Times,
                                                 const TSerialLineSettings* Settings, const TSerialHandleObject* Cancel,
                                                 TNetworkLineFailure& Failure) {
  Failure = {};
  Failure.Host = Address.Host;
  Failure.Port = Address.Port;
  TConnectFailure connect;
  TTcpSocket socket = ConnectTcp(Address.Host, Address.Port, TClock::now() + std::chrono::milliseconds(Times.ConnectMs),
                                 Cancel, connect);
  if (!socket) {
    Failure.Kind = KindOf(connect.Kind);
    Failure.Code = connect.Code;
    Failure.Detail = connect.Text;
    Failure.Seconds = SecondsOf(Times.ConnectMs);
    return nullptr;
  }
  std::unique_ptr<TNetworkLine> line(new TNetworkLine(std::move(socket), Address, Times));
  if (!line->Negotiate(Cancel, Failure)) return nullptr;
  if (Settings) {
    if (line->Exchange(ComPortRequestsFor(*Settings), Cancel, Failure) != 0) return nullptr;
    line->Applied_ = *Settings;
    line->Gathering_.ByteNs = CharacterTimeNs(*Settings);
  }
  // After the settings: bytes the server held from before, and any garbage of a change of rate, go.
  if (line->Exchange({{com_port::PurgeData, com_port::PurgeBoth}}, Cancel, Failure) != 0) return nullptr;
  return line;
}

void TNetworkLine::Broke(int Code, bool ByServer) {
  if (Broken_ == 0) {
    Broken_ = Code;
    ClosedByServer_ = ByServer;
  }
  Changed_.notify_all();
}

void TNetworkLine::Pump(TLock& Lock) {
  std::uint8_t buffer[16 * 1024];
  // A failed send does not stop the reading: what the server said before it went (ser2net's reason
  // for closing) is still to be had.
  while (!ReceiveEnded_ && Waiting() < ReceiveCapacity) {
    const TSocketIo io = Socket_.Receive(buffer, std::min(sizeof buffer, ReceiveCapacity - Waiting()));
    if (io.Kind == TSocketIo::WouldBlock) break;
    if (io.Kind == TSocketIo::Closed) {
      ReceiveEnded_ = true;
      Broke(ConnectionResetCode(), true);
      break;
    }
    if (io.Kind == TSocketIo::Failed) {
      ReceiveEnded_ = true;
      // A server that closes with our bytes unread resets the connection instead of closing it.
      Broke(io.Code, IsClosedByPeer(io.Code));
      break;
    }
    if (RxHead_ == Rx_.size()) {
      Rx_.clear();
      RxHead_ = 0;
    } else if (RxHead_ >= ReceiveCapacity) {
      Rx_.erase(Rx_.begin(), Rx_.begin() + static_cast<std::ptrdiff_t>(RxHead_));
      RxHead_ = 0;
    }
    const std::size_t before = Rx_.size();
    const TRfc2217Protocol::TFeedResult result = Protocol_.Feed(buffer, io.Bytes, Rx_, Out_);
    const std::size_t added = Rx_.size() - before;
    if (result.DiscardEarlierData) {
      Rx_.erase(Rx_.begin(), Rx_.begin() + static_cast<std::ptrdiff_t>(before));
      RxHead_ = 0;
      RxReported_ = RxTotal_;
    }
    RxTotal_ += added;
    Changed_.notify_all();
  }
  Flush(Lock);
}

void TNetworkLine::Flush(TLock&) {
  while (!Out_.empty() && Broken_ == 0) {
    const TSocketIo io = Socket_.Send(Out_.data(), Out_.size());
    if (io.Kind == TSocketIo::Failed) {
      Broke(io.Code, IsClosedByPeer(io.Code));
      break;
    }
    if (io.Kind != TSocketIo::Done || io.Bytes == 0) break;
    Out_.erase(Out_.begin(), Out_.begin() + static_cast<std::ptrdiff_t>(io.Bytes));
  }
}

void TNetworkLine::Queue(const std::vector<std::uint8_t>& Encoded, TLock& Lock) {
  Out_.insert(Out_.end(), Encoded.begin(), Encoded.end());
  Flush(Lock);
  // The system's buffer is full: what is left goes out when the watch (or the next write) finds room.
  if (!Out_.empty()) WakeWatch();
}

void TNetworkLine::WakeWatch() {
  if (Wake_) Wake_->Signal();
}

TNetworkWait TNetworkLine::AwaitChange(TLock& Lock, TClock::time_point Deadline, const TSerialHandleObject* Cancel) {
  if (Wake_ && !Cancel) {
    // The watch reads the socket and says when it has. A socket wait here could miss bytes the watch
    // took just before it; the slice covers a watch busy elsewhere, as the caller pumps again.
    Changed_.wait_until(Lock, std::min(Deadline, TClock::now() + std::chrono::milliseconds(AwaitSliceMs)));
    return {};
  }
  // A full input queue is not read from (Pump leaves it): waiting for readability would not wait.
  const bool read = Waiting() < ReceiveCapacity;
  const bool write = !Out_.empty();
  Lock.unlock();
  const TSocketWait wait = Socket_.Wait(read, write, Cancel, MsUntil(Deadline));
  Lock.lock();
  if (wait.Kind == TSocketWait::Woken) return {TNetworkWait::Woken};
  if (wait.Kind == TSocketWait::Failed) return {TNetworkWait::Failed, wait.Code};
  return {};
}

std::string TNetworkLine::ServerText() const {
  // Printable ASCII only, line breaks as spaces, cut short: it goes into a message.
  std::string text;
  for (std::size_t i = RxHead_; i < Rx_.size() && text.size() < 120; ++i) {
    const char c = static_cast<char>(Rx_[i]);
    if (c == '\r' || c == '\n' || c == '\t' || c == ' ') {
      if (!text.empty() && text.back() != ' ') text += ' ';
    } else if (c > ' ' && c < 0x7f) {
      text += c;
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool TNetworkLine::Negotiate(const TSerialHandleObject* Cancel, TNetworkLineFailure& Failure) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(Times_.NegotiationMs);
  TLock lock(Lock_);
  std::vector<std::uint8_t> start;
  Protocol_.Start(start);
  Queue(start, lock);
  for (;;) {
    Pump(lock);
    // A failed send is told once the receiving has ended too: the server's last words come first.
    if (ReceiveEnded_ || (Broken_ != 0 && TClock::now() >= deadline)) {
      Failure.Kind = ClosedByServer_ ? TNetworkLineFailure::ClosedByServer : TNetworkLineFailure::Failed;
      Failure.Code = Broken_;
      Failure.Detail = ServerText();
      return false;
    }
    if (const auto refusal = Protocol_.Refusal(); refusal != TRfc2217Protocol::NoRefusal) {
      Failure.Kind = TNetworkLineFailure::OptionRefused;
      Failure.Detail =
          refusal == TRfc2217Protocol::ComPortRefused ? "the COM port option (RFC 2217)" : "binary transmission";
      return false;
    }
    if (Protocol_.Negotiated()) return true;
    if (TClock::now() >= deadline) {
      // A server that never speaks Telnet (a raw TCP port) ends here: its line's rate cannot be set,
      // and it would take a doubled 0xFF for two bytes, so it is refused rather than used.
      Failure.Kind = TNetworkLineFailure::NoNegotiation;
      Failure.DataBytes = Waiting();
      Failure.Detail = ServerText();
      Failure.Seconds = SecondsOf(Times_.NegotiationMs);
      return false;
    }
    const TNetworkWait wait = AwaitChange(lock, deadline, Cancel);
    if (wait.Kind == TNetworkWait::Woken) {
      Failure.Kind = TNetworkLineFailure::Cancelled;
      return false;
    }
    if (wait.Kind == TNetworkWait::Failed) {
      Failure.Kind = TNetworkLineFailure::Failed;
      Failure.Code = wait.Code;
      return false;
    }
  }
}

int TNetworkLine::Exchange(const std::vector<TComPortRequest>& Requests, const TSerialHandleObject* Cancel,
                           TNetworkLineFailure& Failure) {
  struct TAwaited {
    TComPortRequest Request;
    int Slot;
    std::uint64_t Before;
  };
  TLock lock(Lock_);
  if (ReceiveEnded_) {
    Failure.Kind = ClosedByServer_ ? TNetworkLineFailure::ClosedByServer : TNetworkLineFailure::Failed;
    Failure.Code = Broken_;
    Failure.Detail = ServerText();
    return Broken_;
  }
  std::vector<TAwaited> awaited;
  std::vector<std::uint8_t> encoded;
  for (const TComPortRequest& request : Requests) {
    if (request.AwaitsReply) {
      const int slot = ComPortReplySlot(request.Command, request.Value);
      awaited.push_back({request, slot, Protocol_.Replies(slot)});
    }
    Protocol_.Send(request, encoded);
  }
  Queue(encoded, lock);
  // Sent together, so the answers come back within one round trip, each awaited ReplyMs at most.
  const auto deadline = TClock::now() + std::chrono::milliseconds(Times_.ReplyMs);
  const auto answered = [&](const TAwaited& A) { return Protocol_.Replies(A.Slot) > A.Before; };
  for (;;) {
    Pump(lock);
    if (std::all_of(awaited.begin(), awaited.end(), answered) || ReceiveEnded_ || TClock::now() >= deadline) break;
    const TNetworkWait wait = AwaitChange(lock, deadline, Cancel);
    if (wait.Kind == TNetworkWait::Woken) {
      Failure.Kind = TNetworkLineFailure::Cancelled;
      Failure.Code = TimedOutCode();
      return Failure.Code;
    }
    if (wait.Kind == TNetworkWait::Failed) {
      Failure.Kind = TNetworkLineFailure::Failed;
      Failure.Code = wait.Code;
      return Failure.Code;
    }
  }
  for (const TAwaited& a : awaited) {
    const std::string name = ComPortSettingName(a.Request.Command);
    if (!answered(a)) {
      if (Broken_ != 0) {
        Failure.Kind = ClosedByServer_ ? TNetworkLineFailure::ClosedByServer : TNetworkLineFailure::Failed;
        Failure.Code = Broken_;
        Failure.Detail = ServerText();
        return Broken_;
      }
      Failure.Kind = TNetworkLineFailure::SettingUnconfirmed;
      Failure.Code = TimedOutCode();
      Failure.Detail = name;
      Failure.Seconds = SecondsOf(Times_.ReplyMs);
      return Failure.Code;
    }
    const std::uint32_t got = Protocol_.LastReply(a.Slot);
    if (got != a.Request.Value) {
      Failure.Kind = TNetworkLineFailure::SettingRefused;
      Failure.Code = InvalidValueCode();
      Failure.Detail = name + " " + ComPortValueText(a.Request.Command, got) + " instead of " +
                       ComPortValueText(a.Request.Command, a.Request.Value);
      return Failure.Code;
    }
  }
  return 0;
}

int TNetworkLine::ApplyLineSettings(const TSerialLineSettings& Settings, TNetworkLineFailure* Failure) {
  {
    std::lock_guard<std::mutex> guard(Lock_);
    if (Applied_ && *Applied_ == Settings) return 0;
  }
  TNetworkLineFailure failure = FailureBase();
  int e = 0;
  if (Settings.BaudRate <= 0) {
    failure.Kind = TNetworkLineFailure::SettingRefused;
    failure.Detail = "the bit rate " + std::to_string(Settings.BaudRate);
    e = failure.Code = InvalidValueCode();
  } else {
    e = Exchange(ComPortRequestsFor(Settings), nullptr, failure);
  }
  if (e != 0) {
    if (Failure) *Failure = failure;
    return e;
  }
  std::lock_guard<std::mutex> guard(Lock_);
  Applied_ = Settings;
  Gathering_.ByteNs = CharacterTimeNs(Settings);
  return 0;
}

int TNetworkLine::SetReceiveThreshold(int Count) {
  const int count = std::max(Count, 1);
  const int previous = Gathering_.Threshold.exchange(count);
  std::lock_guard<std::mutex> guard(Lock_);
  // Only a gathering watch needs to hear of it: bytes already gathered may now be enough.
  if (count < previous && Gathering_.Active.load()) WakeWatch();
  return 0;
}

int TNetworkLine::GetStatus(TSerialCommStatus& Status, bool OutQueue) {
  TLock lock(Lock_);
  Status = TSerialCommStatus{};
  if (!Wake_) Pump(lock);
  Status.cbInQue = static_cast<std::uint32_t>(Waiting());
  Status.cbOutQue = OutQueue ? static_cast<std::uint32_t>(Out_.size()) : 0;
  Status.Errors = Protocol_.Status().Errors;
  Protocol_.Status().Errors = 0;
  // Received bytes are handed out first; then the broken connection is what every call reports.
  return Broken_ != 0 && Waiting() == 0 ? Broken_ : 0;
}

int TNetworkLine::Read(void* Buffer, int Count, std::uint32_t TimeoutMs, int IntervalMs, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  auto* out = static_cast<std::uint8_t*>(Buffer);
  const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  TClock::time_point lastByte{};
  TLock lock(Lock_);
  for (;;) {
    Pump(lock);
    const bool wasFull = Waiting() >= ReceiveCapacity;
    const std::size_t n = std::min(static_cast<std::size_t>(Count - Bytes), Waiting());
    if (n > 0) {
      std::memcpy(out + Bytes, Rx_.data() + RxHead_, n);
      RxHead_ += n;
      Bytes += static_cast<int>(n);
      lastByte = TClock::now();
      // The watch had stopped reading the socket for want of room.
      if (wasFull) WakeWatch();
    }
    if (Bytes == Count) return 0;
    if (Broken_ != 0) return Bytes > 0 ? 0 : Broken_;
    auto limit = deadline;
    if (Bytes > 0) limit = std::min(deadline, lastByte + std::chrono::milliseconds(IntervalMs));
    if (TClock::now() >= limit) return 0;
    const TNetworkWait wait = AwaitChange(lock, limit, nullptr);
    if (wait.Kind == TNetworkWait::Failed) return Bytes > 0 ? 0 : wait.Code;
  }
}

int TNetworkLine::WriteSome(const void* Buffer, int Count, int& Bytes) {
  Bytes = 0;
  if (Count <= 0) return 0;
  TLock lock(Lock_);
  Flush(lock);
  if (Broken_ != 0) return Broken_;
  if (!Out_.empty()) return EAGAIN;
  std::vector<std::uint8_t> encoded;
  AppendTelnetData(encoded, static_cast<const std::uint8_t*>(Buffer), static_cast<std::size_t>(Count));
  Queue(encoded, lock);
  if (Broken_ != 0) return Broken_;
  Bytes = Count;
  return 0;
}

int TNetworkLine::Write(const void* Buffer, int Count, std::uint32_t TimeoutMs, int& Bytes) {
  Bytes = 0;
  const auto* in = static_cast<const std::uint8_t*>(Buffer);
  const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  while (Bytes < Count) {
    int n = 0;
    const int e = WriteSome(in + Bytes, Count - Bytes, n);
    if (e != 0 && e != EAGAIN) return e;
    Bytes += n;
    if (Bytes == Count) break;
    const int wait = MsUntil(deadline);
    if (wait == 0) break;
    const TSocketWait w = Socket_.Wait(false, true, nullptr, wait);
    if (w.Kind == TSocketWait::Failed) return w.Code;
    if (w.Kind == TSocketWait::TimedOut) break;
  }
  return 0;
}

TNetworkWait TNetworkLine::WaitWritable(const TSerialHandleObject& Cancel) {
  {
    TLock lock(Lock_);
    Flush(lock);
    if (Broken_ != 0) return {TNetworkWait::Failed, Broken_};
    if (Out_.empty()) return {};
  }
  const TSocketWait wait = Socket_.Wait(false, true, &Cancel, -1);
  if (wait.Kind == TSocketWait::Woken) return {TNetworkWait::Woken};
  if (wait.Kind == TSocketWait::Failed) return {TNetworkWait::Failed, wait.Code};
  return {};
}

int TNetworkLine::StartWatch(std::uint32_t Mask, TSerialEvent& Wake) {
  std::lock_guard<std::mutex> guard(Lock_);
  Wake_ = &Wake;
  Mask_ = Mask;
  RxReported_ = RxTotal_ - Waiting();  // bytes already waiting count as arrived
  return 0;
}

void TNetworkLine::StopWatch() {
  std::lock_guard<std::mutex> guard(Lock_);
  Wake_ = nullptr;
}

TNetworkWait TNetworkLine::Wait(std::uint32_t& Occurred) {
  Occurred = 0;
  TLock lock(Lock_);
  std::optional<TReceivePacer> pacer;  // a gathering under way
  struct TActive {
    std::atomic<bool>& Flag;
    ~TActive() { Flag = false; }
  } active{Gathering_.Active};
  const auto gathered = [&] {
    if (RxTotal_ == RxReported_ || Waiting() == 0 || !(Mask_ & EV_RXCHAR)) return false;
    RxReported_ = RxTotal_;
    return true;
  };
  for (;;) {
    Pump(lock);
    Occurred |= Protocol_.Status().Events & Mask_;
    Protocol_.Status().Events = 0;
    int timeoutMs = -1;
    // Bytes read meanwhile (a read on the user-interface thread pumps too) are not announced.
    if (Waiting() == 0) RxReported_ = RxTotal_;
    if (RxTotal_ != RxReported_ && (Mask_ & EV_RXCHAR)) {
      const int threshold = Gathering_.Threshold.load();
      const int waiting = static_cast<int>(std::min<std::size_t>(Waiting(), 0x7FFFFFFF));
      bool report = threshold <= 1 || waiting >= threshold;
      if (!report) {
        if (!pacer) {
          pacer.emplace(Gathering_.ByteNs.load());
          Gathering_.Active = true;
        }
        const TReceivePacer::TStep step = pacer->Next(waiting, threshold, TReceivePacer::TClock::now());
        report = step.What == TReceivePacer::TStep::Report;
        timeoutMs = static_cast<int>((step.Ns + 999'999) / 1'000'000);
      }
      if (report && gathered()) Occurred |= EV_RXCHAR;
    }
    if (Occurred != 0) return {};
    if (Broken_ != 0) return {TNetworkWait::Failed, Broken_};
    const bool read = Waiting() < ReceiveCapacity;
    const bool write = !Out_.empty();
    TSerialEvent* wake = Wake_;
    lock.unlock();
    const TSocketWait wait = Socket_.Wait(read, write, wake, timeoutMs);
    lock.lock();
    if (wait.Kind == TSocketWait::Woken) {
      if (gathered()) Occurred |= EV_RXCHAR;
      return {TNetworkWait::Woken};
    }
    if (wait.Kind == TSocketWait::Failed) return {TNetworkWait::Failed, wait.Code};
  }
}

bool TNetworkLine::IsGone(int) const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Broken_ != 0;
}

TComPortLineStatus TNetworkLine::LineStatus() const {
  std::lock_guard<std::mutex> guard(Lock_);
  return Protocol_.Status();
}

}  // namespace hexloader
