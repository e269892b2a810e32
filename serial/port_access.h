#pragma once
// Advice for an operator whom the system keeps out of a serial port: which group owns the device and
// what to do about it. The window and the command line show it on the line after the open failure.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hexloader {

// The owner, group and permission bits of a device node.
struct TDeviceNode {
  std::uint32_t Owner = 0;
  std::uint32_t Group = 0;
  std::uint32_t Mode = 0;  // permission bits (0660 ...)
  std::string OwnerName;   // the user's name, or the number when the user database has none
  std::string GroupName;   // the group's name, or the number when the group database has none
};

// Whose access is in question.
struct TUserIdentity {
  std::uint32_t Uid = 0;
  std::vector<std::uint32_t> Groups;        // the groups the process runs with (effective and supplementary)
  std::vector<std::uint32_t> ListedGroups;  // the groups the group database lists the user in now
};

// The advice for User on Node: empty when the permission bits let the user read and write it (the
// system kept the user out for another reason, and advice about groups would mislead) or the user is
// root. Names the node's group when joining it would let the user in.
std::string PortAccessAdvice(const TDeviceNode& Node, const TUserIdentity& User);

// The device node a port name stands for, as the serial component opens it: a name without "/" is a
// device under /dev. Nothing when it cannot be examined.
std::optional<TDeviceNode> ReadDeviceNode(const std::string& Name);

// The identity this process opens devices with.
TUserIdentity CurrentUser();

// The advice for this process on the port Name (as above); empty when none applies or the node cannot
// be examined. Raises nothing.
std::string PortAccessAdvice(const std::string& Name);

}  // namespace hexloader
