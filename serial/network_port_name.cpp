#include "serial/network_port_name.h"

#include <algorithm>
#include <cctype>

namespace hexloader {
namespace {

bool IsAsciiLetter(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsHexDigit(char C) { return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
bool AllDigits(std::string_view S) { return !S.empty() && std::all_of(S.begin(), S.end(), IsDigit); }

bool EqualNoCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return std::tolower(static_cast<unsigned char>(X)) == std::tolower(static_cast<unsigned char>(Y));
         });
}

// The length of "scheme" in "scheme://...", or 0. At least two characters, so that a Windows drive
// ("C://...") is never taken for one.
std::size_t SchemeLength(std::string_view Name) {
  const std::size_t end = Name.find("://");
  if (end == std::string_view::npos || end < 2 || !IsAsciiLetter(Name[0])) return 0;
  for (std::size_t i = 1; i < end; ++i) {
    const char c = Name[i];
    if (!IsAsciiLetter(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return end;
}

// Four decimal numbers 0..255 without leading zeros (which some resolvers read as octal).
bool IsIpv4(std::string_view S) {
  int parts = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = S.find('.', start);
    const std::string_view part = S.substr(start, dot == std::string_view::npos ? S.npos : dot - start);
    if (!AllDigits(part) || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    if (std::stoi(std::string(part)) > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

// RFC 4291 text form: eight groups of 1..4 hex digits, one "::" standing for one or more zero groups,
// the last two groups possibly written as an IPv4 address; then an optional zone ("%eth0").
bool IsIpv6(std::string_view S) {
  if (const std::size_t zone = S.find('%'); zone != std::string_view::npos) {
    const std::string_view id = S.substr(zone + 1);
    if (id.empty() || !std::all_of(id.begin(), id.end(), [](char C) {
          return IsAsciiLetter(C) || IsDigit(C) || C == '.' || C == '_' || C == '~' || C == '-';
        }))
      return false;
    S = S.substr(0, zone);
  }
  const std::size_t gap = S.find("::");
  if (gap != std::string_view::npos && S.find("::", gap + 1) != std::string_view::npos) return false;
  // Counts the groups of one side of the gap; -1 when one is malformed.
  const auto groups = [](std::string_view Side, bool LastSide) -> int {
    if (Side.empty()) return 0;
    int count = 0;
    std::size_t start = 0;
    for (;;) {
      const std::size_t colon = Side.find(':', start);
      const std::string_view group = Side.substr(start, colon == std::string_view::npos ? Side.npos : colon - start);
      if (colon == std::string_view::npos && LastSide && group.find('.') != std::string_view::npos)
        return IsIpv4(group) ? count + 2 : -1;
      if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit)) return -1;
      ++count;
      if (colon == std::string_view::npos) return count;
      start = colon + 1;
    }
  };
  if (gap == std::string_view::npos) return groups(S, true) == 8;
  const int before = groups(S.substr(0, gap), false);
  const int after = groups(S.substr(gap + 2), true);
  return before >= 0 && after >= 0 && before + after <= 7;
}

// RFC 1123 host names, with "_" allowed as many local networks use it; one final dot allowed.
bool IsHostName(std::string_view S) {
  if (!S.empty() && S.back() == '.') S.remove_suffix(1);
  if (S.empty() || S.size() > 253) return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = S.find('.', start);
    const std::string_view label = S.substr(start, dot == std::string_view::npos ? S.npos : dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

// The first character of S (a whole UTF-8 sequence) that no host name has, or nothing.
std::optional<std::string> ForeignCharacter(std::string_view S) {
  for (std::size_t i = 0; i < S.size(); ++i) {
    const char c = S[i];
    if (IsAsciiLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_') continue;
    std::size_t n = 1;
    while (i + n < S.size() && (static_cast<unsigned char>(S[i + n]) & 0xC0) == 0x80) ++n;
    return std::string(S.substr(i, n));
  }
  return std::nullopt;
}

std::optional<TNetworkPortAddress> Fail(TNetworkPortNameError& Error, TNetworkPortNameError::TKind Kind,
                                        std::string_view Part = {}) {
  Error = {Kind, std::string(Part)};
  return std::nullopt;
}

// "rfc2217:" without the slashes, a slip the refusal should name rather than a device search.
bool HasBareScheme(std::string_view Name) {
  return Name.size() > NetworkPortScheme.size() && Name[NetworkPortScheme.size()] == ':' &&
         EqualNoCase(Name.substr(0, NetworkPortScheme.size()), NetworkPortScheme);
}

}  // namespace

bool IsNetworkPortName(std::string_view Name) { return SchemeLength(Name) != 0 || HasBareScheme(Name); }

std::optional<TNetworkPortAddress> ParseNetworkPortName(std::string_view Name, TNetworkPortNameError& Error) {
  using E = TNetworkPortNameError;
  const std::size_t schemeLength = SchemeLength(Name);
  if (schemeLength == 0 && HasBareScheme(Name)) return Fail(Error, E::MissingSlashes);
  if (schemeLength == 0) return Fail(Error, E::UnknownScheme, Name.substr(0, Name.find(':')));
  if (!EqualNoCase(Name.substr(0, schemeLength), NetworkPortScheme))
    return Fail(Error, E::UnknownScheme, Name.substr(0, schemeLength));
  if (std::any_of(Name.begin(), Name.end(), [](char C) { return static_cast<unsigned char>(C) <= 0x20 || C == 0x7f; }))
    return Fail(Error, E::Blank);

  std::string_view rest = Name.substr(schemeLength + 3);
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  const std::string_view trailing = authorityEnd == std::string_view::npos ? "" : rest.substr(authorityEnd);
  std::string_view authority = rest.substr(0, authorityEnd);

  TNetworkPortAddress address;
  std::string_view portText;
  bool hasPort = false;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return Fail(Error, E::UnclosedBracket);
    const std::string_view inside = authority.substr(1, close - 1);
    if (inside.empty()) return Fail(Error, E::MissingHost);
    if (!IsIpv6(inside)) return Fail(Error, E::BadIpv6, inside);
    address.Host = std::string(inside);
    address.IsIpv6 = true;
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return Fail(Error, E::TrailingText, rest.substr(close + 1));
    hasPort = !after.empty();
    if (hasPort) portText = after.substr(1);
  } else {
    const std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos && authority.find(':', colon + 1) != std::string_view::npos) {
      // The address to put in brackets: the text before a last ":digits" when that reads as one
      // (the port), otherwise the whole.
      const std::string_view head = authority.substr(0, authority.rfind(':'));
      const bool portAtEnd = IsIpv6(head) && AllDigits(authority.substr(head.size() + 1));
      return Fail(Error, E::UnbracketedIpv6, portAtEnd || !IsIpv6(authority) ? head : authority);
    }
    const std::string_view host = authority.substr(0, colon);
    if (host.empty()) return Fail(Error, E::MissingHost);
    if (const auto foreign = ForeignCharacter(host)) return Fail(Error, E::BadHostCharacter, *foreign);
    // Digits and dots only: meant as an IPv4 address, which a resolver would otherwise read loosely.
    const bool numeric = std::all_of(host.begin(), host.end(), [](char C) { return IsDigit(C) || C == '.'; });
    if (numeric && !IsIpv4(host)) return Fail(Error, E::BadIpv4, host);
    if (!numeric && !IsHostName(host)) return Fail(Error, E::BadHostName, host);
    address.Host = std::string(host);
    hasPort = colon != std::string_view::npos;
    if (hasPort) portText = authority.substr(colon + 1);
  }
  if (!hasPort || portText.empty()) return Fail(Error, E::MissingPort);
  if (!AllDigits(portText)) return Fail(Error, E::BadPort, portText);
  const std::string_view digits = portText.substr(std::min(portText.find_first_not_of('0'), portText.size()));
  if (digits.empty() || digits.size() > 5 || std::stol(std::string(digits)) > 65535)
    return Fail(Error, E::PortOutOfRange, portText);
  address.Port = static_cast<std::uint16_t>(std::stol(std::string(digits)));
  if (!trailing.empty()) return Fail(Error, E::TrailingText, trailing);
  return address;
}

std::string NetworkPortNameMessage(std::string_view Name, const TNetworkPortNameError& Error) {
  using E = TNetworkPortNameError;
  const std::string part = "'" + Error.Part + "'";
  std::string problem;
  switch (Error.Kind) {
    case E::UnknownScheme: problem = "the scheme " + part + " is not supported, only rfc2217"; break;
    case E::MissingSlashes: problem = "'rfc2217:' must be followed by '//'"; break;
    case E::Blank: problem = "it contains a space or a control character"; break;
    case E::MissingHost: problem = "the host is missing"; break;
    case E::BadHostCharacter: problem = "the host contains " + part + ", which no host name has"; break;
    case E::BadHostName: problem = part + " is not a valid host name"; break;
    case E::BadIpv4: problem = part + " is not a valid IPv4 address"; break;
    case E::BadIpv6: problem = part + " is not a valid IPv6 address"; break;
    case E::UnbracketedIpv6:
      problem = "an IPv6 address must be written in brackets, as in rfc2217://[" + Error.Part + "]:PORT";
      break;
    case E::UnclosedBracket: problem = "the '[' before the IPv6 address has no ']'"; break;
    case E::MissingPort: problem = "the port number is missing"; break;
    case E::BadPort: problem = "the port " + part + " is not a number"; break;
    case E::PortOutOfRange: problem = "the port " + Error.Part + " is not in 1..65535"; break;
    case E::TrailingText: problem = part + " after the port is not understood"; break;
  }
  return "'" + std::string(Name) + "': " + problem +
         " (a network port is named rfc2217://HOST:PORT, e.g. rfc2217://192.168.1.20:4001)";
}

std::string NetworkPortName(const TNetworkPortAddress& Address) {
  const std::string host = Address.IsIpv6 ? "[" + Address.Host + "]" : Address.Host;
  return std::string(NetworkPortScheme) + "://" + host + ":" + std::to_string(Address.Port);
}

}  // namespace hexloader
