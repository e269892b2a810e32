#pragma once
// The Telnet layer of a network serial line (RFC 854, 855): the data bytes with 0xFF doubled, the
// commands and subnegotiations a server interleaves with them, and the option negotiation of the
// client side (RFC 1143's rules, so that no answer loop can start). Pure: bytes in, bytes out.
// Binary transmission both ways is what the line asks for, so nothing here translates CR or LF.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hexloader {

namespace telnet {
// Commands, each after IAC (RFC 854).
inline constexpr std::uint8_t SE = 240;   // end of a subnegotiation
inline constexpr std::uint8_t NOP = 241;  // no operation
inline constexpr std::uint8_t GA = 249;   // go ahead (suppressed once SUPPRESS-GO-AHEAD is agreed)
inline constexpr std::uint8_t SB = 250;   // start of a subnegotiation: IAC SB option ... IAC SE
inline constexpr std::uint8_t WILL = 251;
inline constexpr std::uint8_t WONT = 252;
inline constexpr std::uint8_t DO = 253;
inline constexpr std::uint8_t DONT = 254;
inline constexpr std::uint8_t IAC = 255;  // interpret as command; doubled, it is a data byte 0xFF

// Options this client speaks.
inline constexpr std::uint8_t BinaryOption = 0;           // RFC 856: 8-bit data, no CR/NUL rules
inline constexpr std::uint8_t EchoOption = 1;             // RFC 857: refused, the line echoes by itself
inline constexpr std::uint8_t SuppressGoAheadOption = 3;  // RFC 858: full duplex, as servers expect
inline constexpr std::uint8_t ComPortOption = 44;         // RFC 2217: the serial line's settings
}  // namespace telnet

// Appends Count data bytes to Out, each 0xFF doubled.
void AppendTelnetData(std::vector<std::uint8_t>& Out, const std::uint8_t* Data, std::size_t Count);

// What the decoder hands on, in the order it found it.
class TTelnetSink {
 public:
  virtual ~TTelnetSink() = default;
  // Data bytes, undoubled. Count > 0.
  virtual void OnData(const std::uint8_t* Bytes, std::size_t Count) = 0;
  // IAC WILL/WONT/DO/DONT Option.
  virtual void OnNegotiation(std::uint8_t Verb, std::uint8_t Option) = 0;
  // A complete IAC SB Option ... IAC SE, its bytes undoubled; one longer than MaxSubnegotiation bytes
  // is dropped whole.
  virtual void OnSubnegotiation(std::uint8_t Option, const std::vector<std::uint8_t>& Payload) = 0;
};

// Splits the bytes a server sends into data and commands. Bytes may arrive cut at any point (an IAC
// at the end of one read, its command in the next); the decoder keeps what it needs between calls.
// Whatever the server sends, memory stays bounded and every byte is either data or part of a command.
class TTelnetDecoder {
 public:
  static constexpr std::size_t MaxSubnegotiation = 512;

  void Feed(const std::uint8_t* Bytes, std::size_t Count, TTelnetSink& Sink);
  // Subnegotiations dropped for their length, or cut short by a command inside them.
  std::size_t DroppedSubnegotiations() const { return Dropped_; }

 private:
  enum TState { Data, Command, Option, SubOption, SubData, SubCommand };
  TState State_ = Data;
  std::uint8_t Verb_ = 0;
  std::uint8_t SubOption_ = 0;
  bool SubTooLong_ = false;
  std::vector<std::uint8_t> Sub_;
  std::size_t Dropped_ = 0;
};

// The client's side of the option negotiation. It offers BINARY, SUPPRESS-GO-AHEAD and the COM port
// option (WILL) and asks the server for BINARY and SUPPRESS-GO-AHEAD (DO); anything else the server
// proposes is refused (WONT, DONT). Each answer follows RFC 1143: only a change of state is answered,
// so a server repeating itself is never answered twice and no loop can start.
class TTelnetNegotiation {
 public:
  enum TState { No, Yes, WantYes };

  // Appends the client's requests.
  void Start(std::vector<std::uint8_t>& Out);
  // One IAC verb option from the server; appends the answer it calls for, if any.
  void Receive(std::uint8_t Verb, std::uint8_t Option, std::vector<std::uint8_t>& Out);

  TState Local(std::uint8_t Option) const { return Local_[Option]; }    // what this side does (WILL)
  TState Remote(std::uint8_t Option) const { return Remote_[Option]; }  // what the server does (DO)
  // Whether the client asked for Option on that side and the server declined.
  bool LocalRefused(std::uint8_t Option) const { return LocalRefused_[Option]; }
  bool RemoteRefused(std::uint8_t Option) const { return RemoteRefused_[Option]; }

  static bool Offered(std::uint8_t Option);  // this side will do it
  static bool Wanted(std::uint8_t Option);   // this side accepts the server doing it

 private:
  std::array<TState, 256> Local_{};
  std::array<TState, 256> Remote_{};
  std::array<bool, 256> LocalRefused_{};
  std::array<bool, 256> RemoteRefused_{};
};

}  // namespace hexloader
