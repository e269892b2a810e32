#include "serial/port_access.h"

#include <algorithm>
#include <cstdio>

namespace hexloader {
namespace {

// The advice texts, in one place. %G stands for the device's group.
constexpr const char* JoinGroupAdvice =
    "Нет доступа к порту: добавьте пользователя в группу %G (sudo usermod -aG %G $USER) и войдите в систему заново";
constexpr const char* LogInAgainAdvice =
    "Нет доступа к порту: пользователь добавлен в группу %G после входа в систему; войдите в систему заново";
// When no group would let the user in: who owns the device and how, for whoever administers the machine.
constexpr const char* OwnerOnlyAdvice =
    "Нет доступа к порту: устройство принадлежит %O:%G (права %M); обратитесь к администратору";

constexpr std::uint32_t ReadWrite = 06;
constexpr int OwnerShift = 6, GroupShift = 3, OtherShift = 0;

bool Contains(const std::vector<std::uint32_t>& Ids, std::uint32_t Id) {
  return std::find(Ids.begin(), Ids.end(), Id) != Ids.end();
}

bool Grants(std::uint32_t Mode, int Shift) { return ((Mode >> Shift) & ReadWrite) == ReadWrite; }

// The kernel's order: the owner's bits for the owner, else the group's for a member, else the others'.
bool MayReadWrite(const TDeviceNode& Node, const TUserIdentity& User) {
  if (User.Uid == Node.Owner) return Grants(Node.Mode, OwnerShift);
  if (Contains(User.Groups, Node.Group)) return Grants(Node.Mode, GroupShift);
  return Grants(Node.Mode, OtherShift);
}

std::string Fill(const char* Pattern, const TDeviceNode& Node) {
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(Node.Mode & 07777));
  std::string out;
  for (const char* p = Pattern; *p; ++p) {
    if (p[0] == '%' && p[1] != '\0') {
      const char k = p[1];
      if (k == 'G' || k == 'O' || k == 'M') {
        out += k == 'G' ? Node.GroupName : k == 'O' ? Node.OwnerName : std::string(mode);
        ++p;
        continue;
      }
    }
    out += *p;
  }
  return out;
}

}  // namespace

std::string PortAccessAdvice(const TDeviceNode& Node, const TUserIdentity& User) {
  if (User.Uid == 0 || MayReadWrite(Node, User)) return {};
  // Joining the group helps only a user who is not the owner (the owner's bits would still apply),
  // when the group may read and write, and never by joining root's group.
  const bool groupHelps = User.Uid != Node.Owner && Grants(Node.Mode, GroupShift) && Node.Group != 0;
  if (!groupHelps) return Fill(OwnerOnlyAdvice, Node);
  // Listed in the group but not running with it: the membership came after this login.
  if (Contains(User.ListedGroups, Node.Group)) return Fill(LogInAgainAdvice, Node);
  return Fill(JoinGroupAdvice, Node);
}

std::string PortAccessAdvice(const std::string& Name) {
  const std::optional<TDeviceNode> node = ReadDeviceNode(Name);
  if (!node) return {};
  return PortAccessAdvice(*node, CurrentUser());
}

}  // namespace hexloader
