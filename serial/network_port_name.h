#pragma once
// Names of serial ports on the network: "rfc2217://HOST:PORT", a serial port that a device server (or
// ser2net) offers over Telnet with the COM port option. HOST is a host name, an IPv4 address or an IPv6
// address in brackets; PORT is 1..65535. Pure text rules: nothing here resolves or connects.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hexloader {

// The only scheme a port name may carry.
inline constexpr std::string_view NetworkPortScheme = "rfc2217";

// True when Name is meant as a network port rather than a local device: it begins with a URL scheme
// ("letters://"), whichever, or with "rfc2217:". Routes a name to the network line (or to a clear
// complaint about it) before anything opens; a local device name never takes that form.
bool IsNetworkPortName(std::string_view Name);

struct TNetworkPortAddress {
  std::string Host;  // as written, without the brackets of an IPv6 address
  std::uint16_t Port = 0;
  bool IsIpv6 = false;
  friend bool operator==(const TNetworkPortAddress&, const TNetworkPortAddress&) = default;
};

// What is wrong with a name that IsNetworkPortName accepts but the rules refuse.
struct TNetworkPortNameError {
  enum TKind {
    UnknownScheme,     // Part: the scheme
    MissingSlashes,    // "rfc2217:" not followed by "//"
    Blank,             // a space or control character somewhere
    MissingHost,       // nothing between "//" and the port
    BadHostCharacter,  // Part: the character
    BadHostName,       // Part: the host (an empty label, a label over 63 characters, a hyphen at an end)
    BadIpv4,           // Part: the address (four numbers 0..255 expected)
    BadIpv6,           // Part: the text in brackets
    UnbracketedIpv6,   // Part: the host (an IPv6 address must be in brackets)
    UnclosedBracket,   // "[" without "]"
    MissingPort,       // no ":PORT"
    BadPort,           // Part: what stands for the port (not a number)
    PortOutOfRange,    // Part: the number
    TrailingText,      // Part: the text after the port (a path, a query)
  } Kind;
  std::string Part;
};

// Parses Name; on failure returns nothing and fills Error.
std::optional<TNetworkPortAddress> ParseNetworkPortName(std::string_view Name, TNetworkPortNameError& Error);

// The English message for a refused name (the command line's usage error). The window words its own
// from Error's kind.
std::string NetworkPortNameMessage(std::string_view Name, const TNetworkPortNameError& Error);

// "rfc2217://HOST:PORT" for an address, IPv6 in brackets: how messages name what was connected to.
std::string NetworkPortName(const TNetworkPortAddress& Address);

}  // namespace hexloader
