// hexloader-cli run by an ordinary user (nobody, no supplementary groups) on ports the system keeps
// that user out of: the refusal, then the advice naming the device's group.
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include "tests/serial/ordinary_user.h"
#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

// The program's arguments prefixed so that it runs as nobody with no supplementary groups.
std::vector<std::string> AsNobody(std::vector<std::string> Args) {
  Args.insert(Args.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  return Args;
}

bool CanSwitchUser() { return ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0 && GroupId("nogroup") >= 0; }

TEST(CliPortAccess, UploadToAPortOfAnotherGroupEndsWithTheAdvice) {
  const int dialout = GroupId("dialout");
  if (!CanSwitchUser() || dialout < 0) GTEST_SKIP() << "needs root, setpriv and a dialout group";
  TTempDir Dir;
  ::chmod(Dir.Path().c_str(), 0777);  // nobody writes the image into the current folder before opening the port
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(300));
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ASSERT_EQ(::fchown(slave, 0, dialout), 0);
  ASSERT_EQ(::fchmod(slave, 0660), 0);

  std::string Out, Err;
  const int status = RunProgram(AsNobody({CliPath(), "upload", "--port", name, "fw.hex"}), &Out, &Err, Dir.Path());
  ::close(master);
  ::close(slave);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Err, std::string("hexloader-cli: Can't open specified device ") + name +
                     " (Error 13, Permission denied)\n"
                     "Нет доступа к порту: добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и "
                     "войдите в систему заново.\n");
}

// Every port the list shows that nobody may not read and write has the advice beside it, and only those.
TEST(CliPortAccess, PortsListAdvisesOnThePortsTheUserCannotOpen) {
  if (!CanSwitchUser()) GTEST_SKIP() << "needs root and setpriv";
  std::string Out, Err;
  ASSERT_EQ(RunProgram(AsNobody({CliPath(), "ports"}), &Out, &Err), 0) << Err;
  std::istringstream names(Out);
  int listed = 0;
  for (std::string name; std::getline(names, name); ++listed) {
    bool denied = false;
    {
      TAsOrdinaryUser nobody;
      ASSERT_TRUE(nobody.Active());
      denied = ::eaccess(("/dev/" + name).c_str(), R_OK | W_OK) != 0;
    }
    EXPECT_EQ(Err.find(name + ": Нет доступа к порту: ") != std::string::npos, denied) << name << "\n" << Err;
  }
  if (listed == 0) GTEST_SKIP() << "this machine has no serial port to list";
}

}  // namespace
}  // namespace hexloader::test
