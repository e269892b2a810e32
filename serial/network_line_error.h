#pragma once
// The network line's messages, built in one place. Each names the host and the port.
#include <string>

#include "serial/network_line.h"

namespace hexloader {

// What went wrong, e.g. "nothing listens on 192.168.1.20 port 4001: Connection refused".
std::string NetworkLineFailureText(const TNetworkLineFailure& Failure);

// The serial component's "can't open" message for a network port Name (as given) that could not be
// opened: "Can't open specified device rfc2217://... (what went wrong)".
std::string NetworkOpenFailureMessage(const std::string& Name, const TNetworkLineFailure& Failure);

// The component's "Error writing dcb" message for a setting the server refused or left unconfirmed.
std::string NetworkSettingFailureMessage(const TNetworkLineFailure& Failure);

}  // namespace hexloader
