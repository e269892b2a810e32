#pragma once
// Value types of the serial component: line-setting enumerations, event sets, handler types and the
// wait-mask bits of the line events.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace hexloader {

class TSerialCustomComm;

// The enumerators read as a table.
// clang-format off
enum TSerialBaudrate {
  brUser, br110, br300, br600, br1200, br2400, br4800, br9600,
  br14400, br19200, br38400, br56000, br57600, br115200, br128000, br256000
};

enum TSerialParity { paNone, paOdd, paEven, paMark, paSpace };
enum TSerialDatabits { db4, db5, db6, db7, db8 };
enum TSerialStopbits { sb1, sb15, sb2 };
enum TSerialControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum TSerialControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

enum TSerialCommOption { coErrorChar, coNullStrip, coParityCheck };

enum TSerialCommEvent {
  ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar, ceTxEmpty,
  ceRxFlag, cePErr, ceRx80Full, ceEvent1, ceEvent2
};
// clang-format on

// A small bit set over an enumeration (the sets of options and of monitored events).
template <typename E, typename Bits>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> Items) {
    for (E e : Items) bits_ |= Bit(e);
  }
  static constexpr TEnumSet FromBits(Bits B) {
    TEnumSet s;
    s.bits_ = B;
    return s;
  }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TEnumSet& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TEnumSet& Exclude(E e) {
    bits_ &= static_cast<Bits>(~Bit(e));
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr Bits ToBits() const { return bits_; }
  friend constexpr bool operator==(TEnumSet, TEnumSet) = default;

 private:
  static constexpr Bits Bit(E e) { return static_cast<Bits>(Bits{1} << static_cast<int>(e)); }
  Bits bits_ = 0;
};

using TSerialCommOptions = TEnumSet<TSerialCommOption, std::uint8_t>;
using TSerialCommEvents = TEnumSet<TSerialCommEvent, std::uint16_t>;

// Wait-mask bits of the line events (the values Windows uses, kept so masks read the same everywhere).
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_TXEMPTY = 0x0004;
constexpr std::uint32_t EV_CTS = 0x0008;
constexpr std::uint32_t EV_DSR = 0x0010;
constexpr std::uint32_t EV_RLSD = 0x0020;
constexpr std::uint32_t EV_BREAK = 0x0040;
constexpr std::uint32_t EV_ERR = 0x0080;
constexpr std::uint32_t EV_RING = 0x0100;
constexpr std::uint32_t EV_PERR = 0x0200;
constexpr std::uint32_t EV_RX80FULL = 0x0400;
constexpr std::uint32_t EV_EVENT1 = 0x0800;
constexpr std::uint32_t EV_EVENT2 = 0x1000;

// The wait-mask bit of one line event.
std::uint32_t CommEventBit(TSerialCommEvent Event);

// Line error flags as the status query reports them (the Windows error word's bits).
constexpr std::uint32_t CE_RXOVER = 0x0001;    // input buffer overflow
constexpr std::uint32_t CE_OVERRUN = 0x0002;   // character overrun in the hardware
constexpr std::uint32_t CE_RXPARITY = 0x0004;  // parity error
constexpr std::uint32_t CE_FRAME = 0x0008;     // framing error
constexpr std::uint32_t CE_BREAK = 0x0010;     // break condition

// Line-status record filled by GetCommStatus.
struct TSerialCommStatus {
  std::uint32_t Errors = 0;    // error flags accumulated since the previous query (CE_*)
  std::uint32_t Flags = 0;     // hold / end-of-file / immediate-transmit bits (always 0 on Linux)
  std::uint32_t cbInQue = 0;   // bytes waiting in the driver's input queue
  std::uint32_t cbOutQue = 0;  // bytes waiting in the driver's output queue
};

using TSerialData = std::uint8_t;
using PSerialData = const TSerialData*;

using TNotifyEvent = std::function<void(TSerialCustomComm& Sender)>;
using TSerialCommRxCharEvent = std::function<void(TSerialCustomComm& Sender, int Count)>;
using TSerialCommErrorEvent = std::function<void(TSerialCustomComm& Sender, int Errors)>;
using TSerialCommRxBufEvent = std::function<void(TSerialCustomComm& Sender, PSerialData Data, int Count)>;

// An optional line-status control, informed at the start of each batch of line events. It knows the
// components that point at it, so that its destruction clears their Display (the removal notice).
// Created, attached and destroyed on the user-interface thread.
class TSerialDisplay {
 public:
  TSerialDisplay() = default;
  TSerialDisplay(const TSerialDisplay&) = delete;
  TSerialDisplay& operator=(const TSerialDisplay&) = delete;
  virtual ~TSerialDisplay();
  virtual void SerialStatusChanged(TSerialCustomComm& Comm) = 0;

 private:
  friend class TSerialCustomComm;
  std::vector<TSerialCustomComm*> Components_;
};

}  // namespace hexloader
