// The advice for an operator whom the system keeps out of a port: the decision on owner, group and
// permission bits, the device node as the system reports it, and the open failure as an ordinary user
// meets it on a pseudo-terminal whose group and mode the test sets.
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>

#include "serial/port_access.h"
#include "serial/serial_comm.h"
#include "tests/serial/ordinary_user.h"

namespace hexloader {
namespace {

const std::string JoinDialout =
    "Нет доступа к порту: добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и войдите в "
    "систему заново";

struct TAdviceCase {
  const char* Name;
  TDeviceNode Node;
  TUserIdentity User;
  std::string Advice;  // empty: none
};
void PrintTo(const TAdviceCase& C, std::ostream* Out) { *Out << C.Name; }

TDeviceNode Node(std::uint32_t Owner, std::uint32_t Group, std::uint32_t Mode, std::string OwnerName,
                 std::string GroupName) {
  return TDeviceNode{Owner, Group, Mode, std::move(OwnerName), std::move(GroupName)};
}

class AdviceFor : public ::testing::TestWithParam<TAdviceCase> {};

TEST_P(AdviceFor, OwnerGroupAndMode) {
  const TAdviceCase& C = GetParam();
  EXPECT_EQ(PortAccessAdvice(C.Node, C.User), C.Advice);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, AdviceFor,
    ::testing::Values(
        TAdviceCase{"UserOutsideTheDevicesGroup", Node(0, 20, 0660, "root", "dialout"), {1000, {1000, 24}, {1000, 24}},
                    JoinDialout},
        TAdviceCase{"GroupTakenFromTheNodeNotAFixedName", Node(0, 14, 0660, "root", "uucp"), {1000, {1000}, {1000}},
                    "Нет доступа к порту: добавьте пользователя в группу uucp (sudo usermod -aG uucp $USER) и войдите "
                    "в систему заново"},
        TAdviceCase{"GroupWithoutANameGoesByNumber", Node(0, 4242, 0660, "root", "4242"), {1000, {1000}, {1000}},
                    "Нет доступа к порту: добавьте пользователя в группу 4242 (sudo usermod -aG 4242 $USER) и войдите "
                    "в систему заново"},
        TAdviceCase{"AddedToTheGroupAfterLoggingIn", Node(0, 20, 0660, "root", "dialout"), {1000, {1000}, {1000, 20}},
                    "Нет доступа к порту: пользователь добавлен в группу dialout после входа в систему; войдите в "
                    "систему заново"},
        TAdviceCase{"GroupMayOnlyWrite", Node(1000, 5, 0620, "ivan", "tty"), {1001, {1001}, {1001}},
                    "Нет доступа к порту: устройство принадлежит ivan:tty (права 0620); обратитесь к администратору"},
        TAdviceCase{"RootsGroupIsNeverAdvised", Node(0, 0, 0660, "root", "root"), {1000, {1000}, {1000}},
                    "Нет доступа к порту: устройство принадлежит root:root (права 0660); обратитесь к администратору"},
        TAdviceCase{"OwnerOnly", Node(0, 0, 0600, "root", "root"), {1000, {1000}, {1000}},
                    "Нет доступа к порту: устройство принадлежит root:root (права 0600); обратитесь к администратору"},
        // The owner's bits apply to the owner even where the group's would let a member in.
        TAdviceCase{"OwnerShutOutByOwnBits", Node(1000, 20, 0060, "ivan", "dialout"), {1000, {1000}, {1000}},
                    "Нет доступа к порту: устройство принадлежит ivan:dialout (права 0060); обратитесь к "
                    "администратору"},
        // Kept out by something other than the permission bits: advice about groups would mislead.
        TAdviceCase{"MemberOfTheGroup", Node(0, 20, 0660, "root", "dialout"), {1000, {1000, 20}, {1000, 20}}, ""},
        TAdviceCase{"OpenToEveryone", Node(0, 0, 0666, "root", "root"), {1000, {1000}, {1000}}, ""},
        TAdviceCase{"OwnerWithReadWrite", Node(1000, 5, 0620, "ivan", "tty"), {1000, {1000}, {1000}}, ""},
        TAdviceCase{"Root", Node(1000, 20, 0600, "ivan", "dialout"), {0, {0}, {0}}, ""}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

// A pseudo-terminal whose slave node the test may give a group and mode (as root).
struct TNodePty {
  TNodePty() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    Path = name;
  }
  ~TNodePty() {
    ::close(Master);
    ::close(Slave);
  }
  bool Set(int Gid, mode_t Mode) const { return ::fchown(Slave, 0, Gid) == 0 && ::fchmod(Slave, Mode) == 0; }
  int Master = -1, Slave = -1;
  std::string Path;
};

TEST(DeviceNode, AsTheSystemReportsIt) {
  const int dialout = test::GroupId("dialout");
  if (::geteuid() != 0 || dialout < 0) GTEST_SKIP() << "needs root and a dialout group to set the node's group";
  TNodePty pty;
  ASSERT_TRUE(pty.Set(dialout, 0660));
  const std::optional<TDeviceNode> node = ReadDeviceNode(pty.Path);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->Owner, 0u);
  EXPECT_EQ(node->OwnerName, "root");
  EXPECT_EQ(node->Group, static_cast<std::uint32_t>(dialout));
  EXPECT_EQ(node->GroupName, "dialout");
  EXPECT_EQ(node->Mode, 0660u);
  // The check given another user: the advice names the node's group.
  EXPECT_EQ(PortAccessAdvice(*node, TUserIdentity{4242, {4242}, {4242}}), JoinDialout);
}

TEST(DeviceNode, BareNameIsADeviceUnderDev) {
  const std::optional<TDeviceNode> node = ReadDeviceNode("null");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->Mode, 0666u);
  EXPECT_FALSE(ReadDeviceNode("/nonexistent/ttyUSB0"));
  EXPECT_EQ(PortAccessAdvice("/nonexistent/ttyUSB0"), "");
}

TEST(DeviceNode, CurrentUserRunsWithItsOwnGroup) {
  const TUserIdentity user = CurrentUser();
  EXPECT_EQ(user.Uid, ::geteuid());
  ASSERT_FALSE(user.Groups.empty());
  EXPECT_EQ(user.Groups.front(), ::getegid());
}

struct TOpenCase {
  const char* Name;
  const char* Group;
  mode_t Mode;
  std::string Advice;  // the line after the refusal; empty: the refusal alone
};
void PrintTo(const TOpenCase& C, std::ostream* Out) { *Out << C.Name; }

class OpenAsOrdinaryUser : public ::testing::TestWithParam<TOpenCase> {};

// The component's message as an operator outside the device's group gets it: the refusal exactly as
// before, then the advice on a line of its own.
TEST_P(OpenAsOrdinaryUser, RefusalThenAdvice) {
  const TOpenCase& C = GetParam();
  const int gid = test::GroupId(C.Group);
  if (::geteuid() != 0 || gid < 0) GTEST_SKIP() << "needs root (to set the node's group and act as nobody)";
  TNodePty pty;
  ASSERT_TRUE(pty.Set(gid, C.Mode));
  std::string message;
  {
    test::TAsOrdinaryUser nobody;
    ASSERT_TRUE(nobody.Active());
    TSerialComm comm;
    comm.SetDeviceName(pty.Path);
    try {
      comm.Open();
    } catch (const ESerialCommError& e) {
      message = e.what();
    }
  }
  const std::string refusal = "Can't open specified device " + pty.Path + " (Error 13, Permission denied)";
  EXPECT_EQ(message, C.Advice.empty() ? refusal : refusal + "\n" + C.Advice);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, OpenAsOrdinaryUser,
    ::testing::Values(
        TOpenCase{"NodeOfTheDialoutGroup", "dialout", 0660, JoinDialout},
        TOpenCase{"NodeForRootOnly", "root", 0600,
                  "Нет доступа к порту: устройство принадлежит root:root (права 0600); обратитесь к администратору"}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader
