// Network port names: what is taken for one, what parses, and the message each refusal gives.
#include <gtest/gtest.h>

#include "serial/network_port_name.h"

namespace hexloader {
namespace {

using E = TNetworkPortNameError;

TEST(NetworkPortName, OnlyNamesWithAUrlSchemeAreNetworkNames) {
  // clang-format off
  const struct { const char* Name; bool Network; } cases[] = {
      {"rfc2217://10.0.0.5:4001", true},
      {"RFC2217://box:4001",      true},
      {"tcp://box:4001",          true},   // refused later, clearly, rather than looked for under /dev
      {"socket://box:4001",       true},
      {"rfc2217://",              true},
      {"rfc2217:box:4001",        true},   // the slashes forgotten: refused as such, not looked for
      {"RFC2217:/box:4001",       true},
      {"rfc2217",                 false},
      {"ttyUSB0",                 false},
      {"/dev/ttyS0",              false},
      {"/tmp/ttySIM",             false},
      {"COM3",                    false},
      {"\\\\.\\COM10",            false},
      {"C://ports/x",             false},  // a drive letter, not a scheme
      {"./rfc2217://x:1",         false},
      {"",                        false},
      {"1x://box:1",              false},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(IsNetworkPortName(c.Name), c.Network) << c.Name;
}

TEST(NetworkPortName, AcceptedNames) {
  // clang-format off
  const struct { const char* Name; const char* Host; int Port; bool Ipv6; } cases[] = {
      {"rfc2217://192.168.1.20:4001",          "192.168.1.20",         4001,  false},
      {"rfc2217://localhost:1",                "localhost",            1,     false},
      {"rfc2217://ser2net.lab.example:65535",  "ser2net.lab.example",  65535, false},
      {"rfc2217://rack-7_port.local.:2217",    "rack-7_port.local.",   2217,  false},
      {"Rfc2217://BOX:02217",                  "BOX",                  2217,  false},
      {"rfc2217://[::1]:4001",                 "::1",                  4001,  true},
      {"rfc2217://[fe80::1%eth0]:4001",        "fe80::1%eth0",         4001,  true},
      {"rfc2217://[2001:db8::10:1]:4001",      "2001:db8::10:1",       4001,  true},
      {"rfc2217://[1:2:3:4:5:6:7:8]:4001",     "1:2:3:4:5:6:7:8",      4001,  true},
      {"rfc2217://[::ffff:192.0.2.1]:4001",    "::ffff:192.0.2.1",     4001,  true},
      {"rfc2217://[::]:4001",                  "::",                   4001,  true},
  };
  // clang-format on
  for (const auto& c : cases) {
    E error{};
    const auto address = ParseNetworkPortName(c.Name, error);
    ASSERT_TRUE(address) << c.Name << ": " << NetworkPortNameMessage(c.Name, error);
    EXPECT_EQ(address->Host, c.Host) << c.Name;
    EXPECT_EQ(address->Port, c.Port) << c.Name;
    EXPECT_EQ(address->IsIpv6, c.Ipv6) << c.Name;
  }
}

TEST(NetworkPortName, EachMalformedNameSaysWhatIsWrong) {
  // clang-format off
  const struct { const char* Name; E::TKind Kind; const char* Part; const char* Says; } cases[] = {
      {"tcp://box:4001",              E::UnknownScheme,    "tcp",          "the scheme 'tcp' is not supported, only rfc2217"},
      {"rfc2217:box:4001",            E::MissingSlashes,   "",             "'rfc2217:' must be followed by '//'"},
      {"Rfc2217:/box:4001",           E::MissingSlashes,   "",             "must be followed by '//'"},
      {"rfc2217://box :4001",         E::Blank,            "",             "it contains a space or a control character"},
      {"rfc2217://box:4001\n",        E::Blank,            "",             "a space or a control character"},
      {"rfc2217://",                  E::MissingHost,      "",             "the host is missing"},
      {"rfc2217://:4001",             E::MissingHost,      "",             "the host is missing"},
      {"rfc2217://[]:4001",           E::MissingHost,      "",             "the host is missing"},
      {"rfc2217://user@box:4001",     E::BadHostCharacter, "@",            "the host contains '@', which no host name has"},
      {"rfc2217://плата:4001",        E::BadHostCharacter, "п",            "the host contains 'п'"},
      {"rfc2217://a..b:4001",         E::BadHostName,      "a..b",         "'a..b' is not a valid host name"},
      {"rfc2217://-box:4001",         E::BadHostName,      "-box",         "is not a valid host name"},
      {"rfc2217://300.1.1.1:4001",    E::BadIpv4,          "300.1.1.1",    "'300.1.1.1' is not a valid IPv4 address"},
      {"rfc2217://10.0.0:4001",       E::BadIpv4,          "10.0.0",       "is not a valid IPv4 address"},
      {"rfc2217://010.0.0.1:4001",    E::BadIpv4,          "010.0.0.1",    "is not a valid IPv4 address"},
      {"rfc2217://4001:4001",         E::BadIpv4,          "4001",         "is not a valid IPv4 address"},
      {"rfc2217://[::g]:4001",        E::BadIpv6,          "::g",          "'::g' is not a valid IPv6 address"},
      {"rfc2217://[1::2::3]:4001",    E::BadIpv6,          "1::2::3",      "is not a valid IPv6 address"},
      {"rfc2217://[1:2:3:4:5:6:7]:1", E::BadIpv6,          "1:2:3:4:5:6:7", "is not a valid IPv6 address"},
      {"rfc2217://[192.0.2.1]:4001",  E::BadIpv6,          "192.0.2.1",    "is not a valid IPv6 address"},
      {"rfc2217://::1:4001",          E::UnbracketedIpv6,  "::1",          "must be written in brackets, as in rfc2217://[::1]:PORT"},
      {"rfc2217://fe80::1",           E::UnbracketedIpv6,  "fe80::1",      "as in rfc2217://[fe80::1]:PORT"},
      {"rfc2217://[::1:4001",         E::UnclosedBracket,  "",             "the '[' before the IPv6 address has no ']'"},
      {"rfc2217://box",               E::MissingPort,      "",             "the port number is missing"},
      {"rfc2217://box:",              E::MissingPort,      "",             "the port number is missing"},
      {"rfc2217://[::1]",             E::MissingPort,      "",             "the port number is missing"},
      {"rfc2217://box/4001",          E::MissingPort,      "",             "the port number is missing"},
      {"rfc2217://box:port",          E::BadPort,          "port",         "the port 'port' is not a number"},
      {"rfc2217://box:-1",            E::BadPort,          "-1",           "is not a number"},
      {"rfc2217://box:0",             E::PortOutOfRange,   "0",            "the port 0 is not in 1..65535"},
      {"rfc2217://box:65536",         E::PortOutOfRange,   "65536",        "the port 65536 is not in 1..65535"},
      {"rfc2217://box:99999999999",   E::PortOutOfRange,   "99999999999",  "is not in 1..65535"},
      {"rfc2217://box:4001/",         E::TrailingText,     "/",            "'/' after the port is not understood"},
      {"rfc2217://box:4001?baud=9600", E::TrailingText,    "?baud=9600",   "after the port is not understood"},
      {"rfc2217://[::1]x:4001",       E::TrailingText,     "x:4001",       "after the port is not understood"},
  };
  // clang-format on
  for (const auto& c : cases) {
    E error{};
    EXPECT_FALSE(ParseNetworkPortName(c.Name, error)) << c.Name;
    EXPECT_EQ(error.Kind, c.Kind) << c.Name;
    EXPECT_EQ(error.Part, c.Part) << c.Name;
    const std::string message = NetworkPortNameMessage(c.Name, error);
    EXPECT_NE(message.find(c.Says), std::string::npos) << c.Name << ": " << message;
    // Every message quotes the name and shows the form expected.
    EXPECT_EQ(message.rfind(std::string("'") + c.Name + "': ", 0), 0u) << message;
    EXPECT_NE(message.find("rfc2217://HOST:PORT"), std::string::npos) << message;
  }
}

TEST(NetworkPortName, NamesWrittenBackAsTheyParse) {
  for (const char* name : {"rfc2217://192.168.1.20:4001", "rfc2217://[fe80::1%eth0]:2217", "rfc2217://box:1"}) {
    E error{};
    const auto address = ParseNetworkPortName(name, error);
    ASSERT_TRUE(address) << name;
    EXPECT_EQ(NetworkPortName(*address), name);
  }
}

}  // namespace
}  // namespace hexloader
