// Linux side of the port-access advice: the device node's owner, group and mode from stat, their
// names from the user and group databases, and the identity the process opens devices with.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "serial/port_access.h"
#include "serial/serial_port.h"

namespace hexloader {
namespace {

// Entries can be larger than sysconf's hint (long member lists): grow the buffer on ERANGE.
template <typename TEntry, typename TId, typename TLookup>
bool LookUp(TId Id, TEntry& Entry, std::vector<char>& Buffer, TLookup Lookup) {
  Buffer.resize(1024);
  for (;;) {
    TEntry* found = nullptr;
    const int error = Lookup(Id, &Entry, Buffer.data(), Buffer.size(), &found);
    if (error == ERANGE && Buffer.size() < (1u << 20)) {
      Buffer.resize(Buffer.size() * 2);
      continue;
    }
    return error == 0 && found != nullptr;
  }
}

std::string UserName(uid_t Uid) {
  passwd entry{};
  std::vector<char> buffer;
  if (LookUp(Uid, entry, buffer, ::getpwuid_r)) return entry.pw_name;
  return std::to_string(Uid);
}

std::string GroupName(gid_t Gid) {
  group entry{};
  std::vector<char> buffer;
  if (LookUp(Gid, entry, buffer, ::getgrgid_r)) return entry.gr_name;
  return std::to_string(Gid);
}

// The groups the group database gives the user now (they reach a process only at the next login).
std::vector<std::uint32_t> ListedGroups(uid_t Uid) {
  passwd entry{};
  std::vector<char> buffer;
  if (!LookUp(Uid, entry, buffer, ::getpwuid_r)) return {};
  std::vector<gid_t> groups(32);
  for (int attempt = 0; attempt < 8; ++attempt) {
    int count = static_cast<int>(groups.size());
    if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) >= 0)
      return std::vector<std::uint32_t>(groups.begin(), groups.begin() + count);
    groups.resize(static_cast<std::size_t>(count) > groups.size() ? count : groups.size() * 2);
  }
  return {};
}

}  // namespace

std::optional<TDeviceNode> ReadDeviceNode(const std::string& Name) {
  struct stat st {};
  if (::stat(TSerialPort::DevicePath(Name).c_str(), &st) != 0) return std::nullopt;
  TDeviceNode node;
  node.Owner = st.st_uid;
  node.Group = st.st_gid;
  node.Mode = st.st_mode & 07777;
  node.OwnerName = UserName(st.st_uid);
  node.GroupName = GroupName(st.st_gid);
  return node;
}

TUserIdentity CurrentUser() {
  TUserIdentity user;
  user.Uid = ::geteuid();
  user.Groups.push_back(::getegid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    if (got > 0) user.Groups.insert(user.Groups.end(), groups.begin(), groups.begin() + got);
  }
  user.ListedGroups = ListedGroups(user.Uid);
  return user;
}

}  // namespace hexloader
