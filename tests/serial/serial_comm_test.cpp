// Lifecycle, refusals and messages of the component over a real pseudo-terminal.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>

#include "pty_fixture.h"
#include "serial/serial_error.h"

namespace hexloader::testing_serial {
namespace {

const std::string kPortIsOpen = "Can't perform this operation while port is open";

std::string MessageOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const ESerialCommError& e) {
    return e.what();
  }
  return "(no ESerialCommError)";
}

int ThreadCount() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

class SerialLifecycle : public SerialFixture {};

TEST_F(SerialLifecycle, OpenFiresOnOpenAndCloseFiresOnCloseOnce) {
  int opened = 0, closed = 0;
  Comm.SetOnOpen([&](TSerialCustomComm& Sender) {
    EXPECT_EQ(&Sender, &Comm);
    EXPECT_TRUE(Sender.IsOpen());
    ++opened;
  });
  Comm.SetOnClose([&](TSerialCustomComm& Sender) {
    EXPECT_FALSE(Sender.IsOpen());
    ++closed;
  });
  Comm.Open();
  EXPECT_TRUE(Comm.IsOpen());
  Comm.Close();
  Comm.Close();  // closed already: nothing
  EXPECT_FALSE(Comm.IsOpen());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 1);
}

TEST_F(SerialLifecycle, OpenOnOpenPortIsRefusedAndPortKeepsWorking) {
  Comm.Open();
  EXPECT_EQ(MessageOf([&] { Comm.Open(); }), kPortIsOpen);
  ASSERT_TRUE(Comm.IsOpen());
  EXPECT_EQ(Comm.WriteBuf("ok", 2), 2);
  EXPECT_EQ(Pty.Receive(2), "ok");
}

struct RefusalCase {
  const char* name;
  friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
  std::function<void(TSerialComm&)> set;
};

class SerialRefusedWhileOpen : public SerialFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SerialRefusedWhileOpen, RaisesAndLeavesPortOpen) {
  Comm.Open();
  EXPECT_EQ(MessageOf([&] { GetParam().set(Comm); }), kPortIsOpen);
  EXPECT_TRUE(Comm.IsOpen());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Setters, SerialRefusedWhileOpen,
    ::testing::Values(
        RefusalCase{"DeviceNameUnchanged", [](TSerialComm& c) { c.SetDeviceName(c.DeviceName()); }},
        RefusalCase{"DeviceName", [](TSerialComm& c) { c.SetDeviceName("COM1"); }},
        RefusalCase{"PortNum", [](TSerialComm& c) { c.SetPortNum(3); }},
        RefusalCase{"MonitorEvents", [](TSerialComm& c) { c.SetMonitorEvents({ceRxChar}); }},
        RefusalCase{"DirectWrite", [](TSerialComm& c) { c.SetDirectWrite(true); }},
        RefusalCase{"UpdateDCB", [](TSerialComm& c) { c.SetUpdateDCB(false); }},
        RefusalCase{"Buffers", [](TSerialComm& c) { c.SetBuffers(TSerialBuffers()); }},
        RefusalCase{"BuffersReadSize", [](TSerialComm& c) { c.Buffers().SetReadSize(100); }}),
    [](const ::testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST_F(SerialLifecycle, WriteSizeChangedWhileOpenIsStoredButRunningQueueKeepsItsCapacity) {
  Comm.Buffers().SetWriteSize(16);
  Comm.Buffers().SetWriteTimeout(20);
  Comm.Open();
  EXPECT_EQ(MessageOf([&] { Comm.Buffers().SetWriteSize(4096); }), kPortIsOpen);
  EXPECT_EQ(Comm.Buffers().WriteSize(), 4096);
  const std::string big(17, 'x');
  EXPECT_EQ(MessageOf([&] { Comm.WriteBuf(big.data(), 17); }), "Output buffer is full. Please check comm status.");
  // Timeouts may change at any time.
  Comm.Buffers().SetReadTimeout(10);
  EXPECT_EQ(Comm.Buffers().ReadTimeout(), 10);
}

TEST_F(SerialLifecycle, MissingDeviceGivesNotFoundWithPathAndStaysClosed) {
  Comm.SetDeviceName("/dev/hexloader-no-such-port");
  EXPECT_EQ(MessageOf([&] { Comm.Open(); }), "Specified device not found (/dev/hexloader-no-such-port).");
  EXPECT_FALSE(Comm.IsOpen());
  // A bare name is looked up under /dev, and the message quotes the name as given.
  Comm.SetDeviceName("hexloader-no-such-port%d");
  Comm.SetPortNum(4);
  EXPECT_EQ(MessageOf([&] { Comm.Open(); }), "Specified device not found (hexloader-no-such-port4).");
}

TEST_F(SerialLifecycle, SecondOpenerInSameProcessGetsOpenErrorNotSharedPort) {
  Comm.Open();
  TSerialComm second;
  second.SetDeviceName(Pty.Path);
  EXPECT_EQ(MessageOf([&] { second.Open(); }),
            "Can't open specified device " + Pty.Path + " (Error 16, Device or resource busy)");
  EXPECT_FALSE(second.IsOpen());
  Comm.Close();
  second.Open();  // free again once the first has closed
  EXPECT_TRUE(second.IsOpen());
  second.Close();
}

TEST_F(SerialLifecycle, OtherOpenFailureQuotesCodeAndTrimmedText) {
  // A directory exists but is no device: the open error carries errno 21 and its text.
  Comm.SetDeviceName("/");
  EXPECT_EQ(MessageOf([&] { Comm.Open(); }), "Can't open specified device / (Error 21, Is a directory)");
}

TEST_F(SerialLifecycle, BareNameOpensTheDeviceUnderDev) {
  const std::string name = "hexloader-test-tty-" + std::to_string(::getpid());
  const std::string link = "/dev/" + name;
  if (::symlink(Pty.Path.c_str(), link.c_str()) != 0) GTEST_SKIP() << "cannot create " << link;
  Comm.SetDeviceName(name);
  Comm.Open();
  EXPECT_EQ(Comm.WriteBuf("z", 1), 1);
  EXPECT_EQ(Pty.Receive(1), "z");
  Comm.Close();
  ::unlink(link.c_str());
}

TEST_F(SerialLifecycle, NotATerminalFailsOpenWithDcbErrorAndClosesAgain) {
  Comm.SetDeviceName("/dev/null");
  EXPECT_EQ(MessageOf([&] { Comm.Open(); }), "Error writing dcb (25), Inappropriate ioctl for device");
  EXPECT_FALSE(Comm.IsOpen());
}

TEST_F(SerialLifecycle, ExceptionInOnOpenIsShownCentrallyAndPortStaysOpen) {
  Comm.SetOnOpen([](TSerialCustomComm&) { throw Exception("open handler failed"); });
  Comm.Open();
  EXPECT_TRUE(Comm.IsOpen());
  EXPECT_EQ(Shown, std::vector<std::string>{"open handler failed"});
}

TEST_F(SerialLifecycle, ExceptionInOnCloseReachesCallerAndPortIsClosed) {
  Comm.SetOnClose([](TSerialCustomComm&) { throw Exception("close handler failed"); });
  Comm.Open();
  EXPECT_THROW(Comm.Close(), Exception);
  EXPECT_FALSE(Comm.IsOpen());
}

// Closing the ports of a run together: every open one is closed with its OnClose, a closed one is
// left alone, and a failing OnClose neither keeps the others open nor is lost.
TEST_F(SerialLifecycle, ClosingTogetherClosesEveryOpenPortAndRaisesTheFirstOnCloseFailure) {
  TPty OtherPty, ThirdPty;
  TSerialComm Other, Third;
  Other.SetDeviceName(OtherPty.Path);
  Third.SetDeviceName(ThirdPty.Path);
  int closedFirst = 0, closedThird = 0;
  Comm.SetOnClose([&](TSerialCustomComm&) {
    ++closedFirst;
    throw Exception("close handler failed");
  });
  Third.SetOnClose([&](TSerialCustomComm&) { ++closedThird; });
  Comm.Open();
  Third.Open();  // Other stays closed
  EXPECT_THROW(TSerialCustomComm::CloseTogether({&Comm, &Other, &Third}), Exception);
  EXPECT_FALSE(Comm.IsOpen());
  EXPECT_FALSE(Third.IsOpen());
  EXPECT_EQ(closedFirst, 1);
  EXPECT_EQ(closedThird, 1);
  // Each device is free again for another opener.
  Third.Open();
  EXPECT_TRUE(Third.IsOpen());
}

TEST_F(SerialLifecycle, DestroyingOpenComponentClosesWithoutOnClose) {
  int closed = 0;
  {
    TSerialComm local;
    local.SetDeviceName(Pty.Path);
    local.SetOnClose([&](TSerialCustomComm&) { ++closed; });
    local.Open();
    Pty.Send("pending");  // a dispatch is likely queued when the component goes
  }
  EXPECT_EQ(closed, 0);
  Comm.Open();  // the device is free again
  EXPECT_TRUE(Comm.IsOpen());
  // Run whatever the destroyed component left queued: it must do nothing.
  Loop.RunUntil([] { return false; }, 100ms);
}

TEST_F(SerialLifecycle, ThreadsRunOnlyAsConfigured) {
  // One round first: a sanitizer runtime starts a helper thread with the first thread created.
  Comm.Open();
  Comm.Close();
  const int before = ThreadCount();
  Comm.Open();
  EXPECT_EQ(Comm.EventMask(), EV_RXCHAR | EV_ERR);
  EXPECT_EQ(ThreadCount(), before + 2);
  Comm.Close();
  EXPECT_EQ(ThreadCount(), before) << "Close must end both threads";

  Comm.SetMonitorEvents({});
  Comm.SetDirectWrite(true);
  Comm.Open();
  EXPECT_EQ(Comm.EventMask(), 0u);
  EXPECT_EQ(ThreadCount(), before);
  Comm.Close();

  // Direct mode keeps EV_TXEMPTY for the platform; queued mode leaves it to the write thread.
  Comm.SetMonitorEvents({ceTxEmpty, ceRxChar});
  Comm.Open();
  EXPECT_EQ(Comm.EventMask(), EV_TXEMPTY | EV_RXCHAR);
  EXPECT_EQ(ThreadCount(), before + 1);
}

TEST_F(SerialLifecycle, AutoOpenOpensOnLoadedOutsideDesignMode) {
  Comm.SetAutoOpen(true);
  Comm.SetDesignMode(true);
  Comm.Loaded();
  EXPECT_FALSE(Comm.IsOpen());
  Comm.SetDesignMode(false);
  Comm.Loaded();
  EXPECT_TRUE(Comm.IsOpen());
}

TEST_F(SerialLifecycle, NoDispatcherMeansOpenFailsClosed) {
  SetUiDispatcher(nullptr);
  EXPECT_THROW(Comm.Open(), Exception);
  EXPECT_FALSE(Comm.IsOpen());
  SetUiDispatcher(&Loop);
  Comm.Open();
  EXPECT_TRUE(Comm.IsOpen());
}

struct DevicePathCase {
  const char* name;
  friend void PrintTo(const DevicePathCase& c, std::ostream* os) { *os << c.name; }
  std::string deviceName;
  int portNum;
  std::string path;
};

class SerialDevicePath : public ::testing::TestWithParam<DevicePathCase> {};

TEST_P(SerialDevicePath, FormatsPortNumberIntoPlaceholder) {
  TSerialComm comm;
  comm.SetDeviceName(GetParam().deviceName);
  comm.SetPortNum(GetParam().portNum);
  EXPECT_EQ(comm.GetDevicePath(), GetParam().path);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Names, SerialDevicePath,
    ::testing::Values(DevicePathCase{"DefaultIsCom0", "COM%d", 0, "COM0"},
                      DevicePathCase{"PlaceholderTakesNumber", "COM%d", 7, "COM7"},
                      DevicePathCase{"NoPlaceholderUnchanged", "COM1", 7, "COM1"},
                      DevicePathCase{"LinuxPath", "/dev/ttyUSB%d", 2, "/dev/ttyUSB2"},
                      DevicePathCase{"PercentEscape", "a%%b%d", 3, "a%b3"},
                      DevicePathCase{"OtherDirectivesLeftAlone", "%s%x%d%d", 1, "%s%x1%d"},
                      DevicePathCase{"TrailingPercent", "tty%", 1, "tty%"}),
    [](const ::testing::TestParamInfo<DevicePathCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(SerialCommError, PatternTakesCodeAndTrimmedTextOnce) {
  EXPECT_EQ(FormatCommError("Error writing dcb (%d), %s", EINVAL), "Error writing dcb (22), Invalid argument");
  EXPECT_EQ(FormatCommError(" Error setting EventMask (%d), %s", EIO),
            " Error setting EventMask (5), Input/output error");
  EXPECT_EQ(FormatCommError("Output buffer is full. Please check comm status.", EIO),
            "Output buffer is full. Please check comm status.");
}

}  // namespace
}  // namespace hexloader::testing_serial
