// The serial component on Windows, over a COM port of the wine prefix whose far end is the simulated
// device (started by tests/wine/serial_wine_test.sh): it sends 0x55 a moment after each open and echoes
// every byte; bytes that start no frame get nothing else. What wine cannot show (exclusive open,
// non-standard bit rates, EV_TXEMPTY timing) is not tested here; see the README's Windows section.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "core/exception_display.h"
#include "serial/serial_comm.h"
#include "serial/serial_error.h"

namespace hexloader {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = std::chrono::milliseconds(20000);  // generous: the machine may be loaded
constexpr unsigned char kHello = 0x55;

std::string TestPort() {
  const char* port = std::getenv("HEXLOADER_TEST_PORT");
  return port && *port ? port : "COM6";
}

// Bytes the simulated device only echoes: none of them starts a frame.
std::vector<unsigned char> StrayBytes(std::size_t Count) {
  std::vector<unsigned char> bytes(Count);
  for (std::size_t i = 0; i < Count; ++i) bytes[i] = static_cast<unsigned char>('0' + i % 10);
  return bytes;
}

class SerialOnCom : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUiDispatcher(&Loop);
    SetExceptionDisplay([this](const std::string& Message) { Shown.push_back(Message); });
    Comm.SetDeviceName(TestPort());
    Comm.SetBaudrate(br19200);
    Comm.SetOnRxChar([this](TSerialCustomComm&, int Count) {
      ++RxCalls;
      std::vector<unsigned char> buf(static_cast<std::size_t>(Count));
      const int n = Comm.ReadBuf(buf.data(), Count);
      Received.insert(Received.end(), buf.begin(), buf.begin() + n);
    });
  }
  void TearDown() override {
    Comm.Close();
    SetExceptionDisplay(nullptr);
    SetUiDispatcher(nullptr);
  }
  bool ReceivedAtLeast(std::size_t Count) {
    return Loop.RunUntil([&] { return Received.size() >= Count; }, kPatience);
  }
  // Opens and waits for the device's hello, so that what follows starts on a quiet line.
  void OpenAndHearHello() {
    Comm.Open();
    ASSERT_TRUE(ReceivedAtLeast(1)) << "no hello from the device";
    ASSERT_EQ(Received.front(), kHello);
    Received.clear();
  }

  TEventLoop Loop;
  std::vector<std::string> Shown;
  std::vector<unsigned char> Received;
  int RxCalls = 0;
  TSerialComm Comm;  // declared last: destroyed first, while the loop still exists
};

TEST_F(SerialOnCom, OpensClosesAndOpensAgainWithOneOnOpenAndOnCloseEach) {
  int opened = 0, closed = 0;
  Comm.SetOnOpen([&](TSerialCustomComm&) { ++opened; });
  Comm.SetOnClose([&](TSerialCustomComm&) { ++closed; });
  for (int round = 0; round < 2; ++round) {
    OpenAndHearHello();
    EXPECT_TRUE(Comm.IsOpen());
    Comm.Close();
    EXPECT_FALSE(Comm.IsOpen());
  }
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(closed, 2);
  EXPECT_TRUE(Shown.empty()) << Shown.front();
}

TEST_F(SerialOnCom, MissingPortIsNotFoundAndStaysClosed) {
  Comm.SetDeviceName("COM42");
  try {
    Comm.Open();
    FAIL() << "no exception";
  } catch (const ESerialCommError& e) {
    EXPECT_EQ(e.Message(), "Specified device not found (COM42).");
  }
  EXPECT_FALSE(Comm.IsOpen());
}

TEST_F(SerialOnCom, SettingsThatNeedAClosedPortAreRefusedWhileOpen) {
  OpenAndHearHello();
  try {
    Comm.SetDeviceName("COM7");
    FAIL() << "no exception";
  } catch (const ESerialCommError& e) {
    EXPECT_EQ(e.Message(), "Can't perform this operation while port is open");
  }
  EXPECT_EQ(Comm.DeviceName(), TestPort());
  // Line settings are applied to the open port at once. (On a pseudo-terminal wine refuses 7 data
  // bits with parity, which Windows takes: the combinations here are ones both take.)
  EXPECT_NO_THROW(Comm.SetBaudrate(br9600));
  EXPECT_NO_THROW(Comm.SetParity(paEven));
  EXPECT_NO_THROW(Comm.SetStopbits(sb2));
  EXPECT_NO_THROW(Comm.SetParity(paNone));
  EXPECT_TRUE(Comm.IsOpen());
}

struct TWriteCase {
  const char* Name;
  bool DirectWrite;
  std::size_t Count;
};
void PrintTo(const TWriteCase& C, std::ostream* Out) { *Out << C.Name; }
class SerialWriteOnCom : public SerialOnCom, public ::testing::WithParamInterface<TWriteCase> {};

// The event thread announces the echo, the write thread (or the direct write) sends it: what comes back
// is exactly what went out, in order.
TEST_P(SerialWriteOnCom, EchoComesBackThroughOnRxChar) {
  Comm.SetDirectWrite(GetParam().DirectWrite);
  OpenAndHearHello();
  const std::vector<unsigned char> out = StrayBytes(GetParam().Count);
  EXPECT_EQ(Comm.WriteBuf(out.data(), static_cast<int>(out.size())), static_cast<int>(out.size()));
  ASSERT_TRUE(ReceivedAtLeast(out.size())) << Received.size() << " of " << out.size() << " bytes came back";
  EXPECT_EQ(Received, out);
  EXPECT_TRUE(Shown.empty()) << Shown.front();
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Writes, SerialWriteOnCom,
                         ::testing::Values(TWriteCase{"QueuedOneFrame", false, 131},
                                           TWriteCase{"QueuedWholeQueue", false, 2048},
                                           TWriteCase{"DirectOneFrame", true, 131}),
                         [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(SerialOnCom, ManyQueuedWritesArriveInOrder) {
  OpenAndHearHello();
  std::vector<unsigned char> all;
  for (int frame = 0; frame < 40; ++frame) {
    const std::vector<unsigned char> out = StrayBytes(50 + frame);
    all.insert(all.end(), out.begin(), out.end());
    ASSERT_EQ(Comm.WriteBuf(out.data(), static_cast<int>(out.size())), static_cast<int>(out.size()));
  }
  ASSERT_TRUE(ReceivedAtLeast(all.size())) << Received.size() << " of " << all.size();
  EXPECT_EQ(Received, all);
}

TEST_F(SerialOnCom, OnTxEmptyFollowsAQueuedWrite) {
  int empty = 0;
  Comm.SetOnTxEmpty([&](TSerialCustomComm&) { ++empty; });
  OpenAndHearHello();
  const std::vector<unsigned char> out = StrayBytes(131);
  Comm.WriteBuf(out.data(), static_cast<int>(out.size()));
  EXPECT_TRUE(Loop.RunUntil([&] { return empty >= 1; }, kPatience));
}

TEST_F(SerialOnCom, ReadOfMoreThanCameReturnsWhatCameAfterTheTimeOut) {
  Comm.SetOnRxChar(nullptr);  // the bytes stay in the driver for ReadBuf
  Comm.Buffers().SetReadTimeout(300);
  Comm.Open();
  unsigned char buf[16] = {};
  // The hello comes 100 ms after the open: the read waits for it, then for more until its time is up.
  EXPECT_EQ(Comm.ReadBuf(buf, sizeof buf), 1);
  EXPECT_EQ(buf[0], kHello);
  EXPECT_EQ(Comm.ReadBuf(buf, sizeof buf), 0);
}

TEST_F(SerialOnCom, CloseWithWritesUnderWayEndsCleanlyAndThePortOpensAgain) {
  OpenAndHearHello();
  const std::vector<unsigned char> out = StrayBytes(2048);
  Comm.WriteBuf(out.data(), static_cast<int>(out.size()));
  Comm.Close();
  EXPECT_FALSE(Comm.IsOpen());
  Received.clear();
  OpenAndHearHello();
}

}  // namespace
}  // namespace hexloader
