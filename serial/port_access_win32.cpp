// Windows side of the port-access advice: a COM port has no owning group that an operator could join
// (ERROR_ACCESS_DENIED on open means another program holds the port), so there is never advice to give.
#include "serial/port_access.h"

namespace hexloader {

std::optional<TDeviceNode> ReadDeviceNode(const std::string&) { return std::nullopt; }

TUserIdentity CurrentUser() { return {}; }

}  // namespace hexloader
