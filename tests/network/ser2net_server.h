#pragma once
// Debian's ser2net in front of serial devices (hexloader-sim's pseudo-terminals), for tests: started
// through ser2net-serve.sh (RFC 2217 on free loopback ports, configured as the guide recommends, or
// with ser2net's own delays), stopped with the object.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serial/network_port_name.h"

namespace hexloader::test {

// What of ser2net's own delays it keeps: none, as the guide configures it, unless asked for.
struct TSer2netDelays {
  bool CharDelay = false;  // its chardelay
  bool Nagle = false;      // its TCP side holding small segments until the previous is acknowledged
};

class TSer2netServer {
 public:
  // Devices: the paths to serve, one port each. Raises std::runtime_error when ser2net cannot start.
  explicit TSer2netServer(const std::vector<std::string>& Devices, TSer2netDelays Delays = {});
  ~TSer2netServer();  // stops ser2net
  TSer2netServer(const TSer2netServer&) = delete;
  TSer2netServer& operator=(const TSer2netServer&) = delete;

  std::uint16_t Port(std::size_t Device = 0) const { return Ports_.at(Device); }
  TNetworkPortAddress Address(std::size_t Device = 0) const { return {"127.0.0.1", Port(Device)}; }
  // The port's name as the loader takes it: rfc2217://127.0.0.1:PORT.
  std::string Name(std::size_t Device = 0) const { return NetworkPortName(Address(Device)); }
  // Stops ser2net now (its clients see the connection end); the object may then only be destroyed.
  void Stop();

 private:
  pid_t Pid_ = -1;
  std::vector<std::uint16_t> Ports_;
};

}  // namespace hexloader::test
