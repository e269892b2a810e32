// The line settings: the pure record built from the properties, its Linux translation, and what
// actually reaches a pseudo-terminal. (No <termios.h> here: see serial/kernel_termios_linux.h.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <ostream>
#include <string>

#include "core/event_loop.h"
#include "serial/line_settings.h"
#include "serial/line_termios_linux.h"
#include "serial/serial_comm.h"
#include "upload/loader_line_settings.h"

namespace hexloader {
namespace {

TEST(LineSettings, LoaderConfigurationIsBinaryModeOnly) {
  TSerialComm comm;
  comm.SetBaudrate(br19200);
  const TSerialLineSettings s = BuildLineSettings(comm);
  EXPECT_EQ(s.FlagWord(), 0x0001u);
  EXPECT_EQ(s.BaudRate, 19200);
  EXPECT_EQ(s.ByteSize, 8);
  EXPECT_EQ(s.Parity, 0);
  EXPECT_EQ(s.StopBits, 0);
  EXPECT_EQ(s.XonChar, 0x11);
  EXPECT_EQ(s.XoffChar, 0x13);
  EXPECT_EQ(s.XonLim, 1024);
  EXPECT_EQ(s.XoffLim, 1024);
}

TEST(LineSettings, FlagWordCarriesEveryItem) {
  TSerialComm comm;
  comm.SetOptions({coParityCheck, coErrorChar, coNullStrip});
  TSerialFlowControl& f = comm.FlowControl();
  f.SetOutCtsFlow(true);
  f.SetOutDsrFlow(true);
  f.SetControlDtr(dtrHandshake);
  f.SetDsrSensitivity(true);
  f.SetTxContinueOnXoff(true);
  f.SetXonXoffOut(true);
  f.SetXonXoffIn(true);
  f.SetControlRts(rtsToggle);
  EXPECT_EQ(BuildLineSettings(comm).FlagWord(),
            0x0001u | 0x0002 | 0x0004 | 0x0008 | 0x0020 | 0x0040 | 0x0080 | 0x0100 | 0x0200 | 0x0400 | 0x0800 | 0x3000);
}

TEST(LineSettings, LimitsKeepTheirLow16BitsAndEventCharsStayApart) {
  TSerialComm comm;
  comm.Buffers().SetXonLimit(70000);
  comm.EventChars().SetEofChar('E');
  comm.EventChars().SetEventChar('V');
  const TSerialLineSettings s = BuildLineSettings(comm);
  EXPECT_EQ(s.XonLim, 4464);
  EXPECT_EQ(s.EofChar, 'E');
  EXPECT_EQ(s.EvtChar, 'V');
  EXPECT_EQ(comm.EventChars().EofChar(), 'E');
  EXPECT_EQ(comm.EventChars().EventChar(), 'V');
}

TEST(LineSettings, UserBaudrateAndBaudrateResetEachOther) {
  TSerialComm comm;
  comm.SetUserBaudrate(12345);
  EXPECT_EQ(comm.Baudrate(), brUser);
  EXPECT_EQ(BuildLineSettings(comm).BaudRate, 12345);
  comm.SetBaudrate(br19200);
  EXPECT_EQ(comm.UserBaudrate(), 0);
  comm.SetBaudrate(brUser);
  EXPECT_EQ(BuildLineSettings(comm).BaudRate, 0);
}

TEST(SerialSettings, AssignNotifiesOnceAndRefusesOtherClasses) {
  TSerialComm comm;
  int changes = 0;
  TSerialFlowControl source;
  source.SetOutCtsFlow(true);
  source.SetXonXoffIn(true);
  source.SetControlRts(rtsEnabled);
  TSerialFlowControl target;
  target.SetOnChange([&](TSerialPersistent&) { ++changes; });
  target.Assign(source);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(target.OutCtsFlow());
  EXPECT_EQ(target.ControlRts(), rtsEnabled);
  const TSerialPersistent& other = TSerialEventChars();
  EXPECT_THROW(target.Assign(other), Exception);
  // Flow-control items notify only on change; event characters every time.
  target.SetOutCtsFlow(true);
  EXPECT_EQ(changes, 1);
  TSerialEventChars chars;
  int charChanges = 0;
  chars.SetOnChange([&](TSerialPersistent&) { ++charChanges; });
  chars.SetXonChar(chars.XonChar());
  EXPECT_EQ(charChanges, 1);
  chars.BeginUpdate();
  chars.SetXoffChar('a');
  chars.SetEofChar('b');
  EXPECT_EQ(charChanges, 1);
  chars.EndUpdate();
  EXPECT_EQ(charChanges, 2);
}

// --- translation ---

TKernelTermios Translated(const TSerialLineSettings& S, int* Error = nullptr) {
  TKernelTermios t{};
  t.c_lflag = ICANON | ECHO;
  t.c_iflag = ICRNL;
  t.c_oflag = OPOST;
  const int e = TranslateLineSettings(S, t);
  if (Error) *Error = e;
  return t;
}

struct RateCase {
  const char* name;
  friend void PrintTo(const RateCase& c, std::ostream* os) { *os << c.name; }
  int rate;
  unsigned code;
};

class LineTermiosRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(LineTermiosRate, StandardRatesByCodeOthersThroughBother) {
  TSerialLineSettings s;
  s.BaudRate = GetParam().rate;
  const TKernelTermios t = Translated(s);
  EXPECT_EQ(t.c_cflag & CBAUD, GetParam().code);
  EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, GetParam().code);
  EXPECT_EQ(t.c_ospeed, static_cast<unsigned>(GetParam().rate));
  EXPECT_EQ(t.c_ispeed, static_cast<unsigned>(GetParam().rate));
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Rates, LineTermiosRate,
                         ::testing::Values(RateCase{"Loader19200", 19200, B19200}, RateCase{"Std115200", 115200, B115200},
                                           RateCase{"Win14400", 14400, BOTHER}, RateCase{"Win56000", 56000, BOTHER},
                                           RateCase{"Win256000", 256000, BOTHER}, RateCase{"User12345", 12345, BOTHER}),
                         [](const ::testing::TestParamInfo<RateCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(LineTermios, RawModeEightNoneOne) {
  TSerialLineSettings s;
  s.BaudRate = 19200;
  const TKernelTermios t = Translated(s);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | INPCK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<unsigned>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
}

struct FramingCase {
  const char* name;
  friend void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.name; }
  std::function<void(TSerialLineSettings&)> set;
  unsigned mask;
  unsigned expected;
};

class LineTermiosFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(LineTermiosFraming, MapsToControlFlags) {
  TSerialLineSettings s;
  s.BaudRate = 9600;
  GetParam().set(s);
  EXPECT_EQ(Translated(s).c_cflag & GetParam().mask, GetParam().expected);
}

constexpr unsigned kParity = PARENB | PARODD | CMSPAR;
// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Framing, LineTermiosFraming,
    ::testing::Values(FramingCase{"Odd", [](auto& s) { s.Parity = 1; }, kParity, PARENB | PARODD},
                      FramingCase{"Even", [](auto& s) { s.Parity = 2; }, kParity, PARENB},
                      FramingCase{"Mark", [](auto& s) { s.Parity = 3; }, kParity, PARENB | PARODD | CMSPAR},
                      FramingCase{"Space", [](auto& s) { s.Parity = 4; }, kParity, PARENB | CMSPAR},
                      FramingCase{"FiveBits", [](auto& s) { s.ByteSize = 5; }, CSIZE, CS5},
                      FramingCase{"SevenBits", [](auto& s) { s.ByteSize = 7; }, CSIZE, CS7},
                      FramingCase{"TwoStopBits", [](auto& s) { s.StopBits = 2; }, CSTOPB, CSTOPB},
                      FramingCase{"OneAndHalfStopBits", [](auto& s) { s.StopBits = 1; }, CSTOPB, CSTOPB},
                      FramingCase{"CtsFlow", [](auto& s) { s.OutxCtsFlow = true; }, CRTSCTS, CRTSCTS},
                      FramingCase{"RtsHandshake", [](auto& s) { s.RtsControl = rtsHandshake; }, CRTSCTS, CRTSCTS}),
    [](const ::testing::TestParamInfo<FramingCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(LineTermios, XonXoffAndTheirCharacters) {
  TSerialLineSettings s;
  s.BaudRate = 9600;
  s.OutX = true;
  s.InX = true;
  s.ParityCheck = true;
  s.XonChar = 'Q';
  s.XoffChar = 'S';
  const TKernelTermios t = Translated(s);
  EXPECT_NE(t.c_iflag & IXON, 0u);
  EXPECT_NE(t.c_iflag & IXOFF, 0u);
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_EQ(t.c_cc[VSTART], 'Q');
  EXPECT_EQ(t.c_cc[VSTOP], 'S');
}

struct RefusedCase {
  const char* name;
  friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
  std::function<void(TSerialLineSettings&)> set;
};

class LineTermiosRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(LineTermiosRefused, InvalidArgument) {
  TSerialLineSettings s;
  s.BaudRate = 9600;
  GetParam().set(s);
  int e = 0;
  Translated(s, &e);
  EXPECT_EQ(e, EINVAL);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, LineTermiosRefused,
                         ::testing::Values(RefusedCase{"ZeroBitRate", [](auto& s) { s.BaudRate = 0; }},
                                           RefusedCase{"NegativeBitRate", [](auto& s) { s.BaudRate = -5; }},
                                           RefusedCase{"FourDataBits", [](auto& s) { s.ByteSize = 4; }},
                                           RefusedCase{"UnknownParity", [](auto& s) { s.Parity = 9; }}),
                         [](const ::testing::TestParamInfo<RefusedCase>& i) { return std::string(i.param.name); });
// clang-format on

TEST(LineTermios, ModemLinesHeldOffForTheLoader) {
  TSerialLineSettings s;
  const TModemLines off = ModemLinesFor(s);
  EXPECT_EQ(off.Set, 0);
  EXPECT_EQ(off.Clear, 0x002 | 0x004);
  s.DtrControl = dtrEnabled;
  s.RtsControl = rtsEnabled;
  const TModemLines on = ModemLinesFor(s);
  EXPECT_EQ(on.Set, 0x002 | 0x004);
  EXPECT_EQ(on.Clear, 0);
}

// --- what reaches the device ---

class LineSettingsOnDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(::grantpt(Master), 0);
    ASSERT_EQ(::unlockpt(Master), 0);
    Path = ::ptsname(Master);
    Slave = ::open(Path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(Slave, 0);
    SetUiDispatcher(&Loop);
    Comm.SetDeviceName(Path);
  }
  void TearDown() override {
    Comm.Close();
    SetUiDispatcher(nullptr);
    ::close(Slave);
    ::close(Master);
  }
  TKernelTermios Device() const {
    TKernelTermios t{};
    GetKernelTermios(Slave, t);
    return t;
  }
  void SetDeviceSpeed(unsigned Rate) {
    TKernelTermios t = Device();
    t.c_cflag = (t.c_cflag & ~static_cast<unsigned>(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = t.c_ospeed = Rate;
    ASSERT_EQ(SetKernelTermios(Slave, t), 0);
  }

  int Master = -1, Slave = -1;
  std::string Path;
  TEventLoop Loop;
  TSerialComm Comm;
};

TEST_F(LineSettingsOnDevice, OpenAppliesRawModeAndRate) {
  Comm.SetBaudrate(br19200);
  Comm.Open();
  const TKernelTermios t = Device();
  EXPECT_EQ(t.c_ospeed, 19200u);
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
  Comm.SetUserBaudrate(12345);
  EXPECT_EQ(Device().c_ospeed, 12345u);
  // (A pseudo-terminal forces 8 bits without parity, so the framing is checked on the stop bits.)
  Comm.SetStopbits(sb2);
  EXPECT_NE(Device().c_cflag & CSTOPB, 0u);
}

TEST_F(LineSettingsOnDevice, TheLoadersLineIs19200EightNoneOneWithoutFlowControlAndLinesOff) {
  ApplyLoaderLineSettings(Comm);
  Comm.SetDeviceName(Path);
  Comm.Open();
  const TKernelTermios t = Device();
  EXPECT_EQ(t.c_ospeed, 19200u);
  EXPECT_EQ(t.c_ispeed, 19200u);
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u) << "one stop bit";
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u) << "no hardware flow control";
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u) << "no XON/XOFF";
  // A pseudo-terminal forces 8 bits without parity whatever it is asked, and has no modem lines: these
  // are checked on what the port is asked for.
  const TSerialLineSettings asked = BuildLineSettings(Comm);
  const TKernelTermios framing = Translated(asked);
  EXPECT_EQ(framing.c_cflag & CSIZE, static_cast<unsigned>(CS8));
  EXPECT_EQ(framing.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  const TModemLines lines = ModemLinesFor(asked);
  EXPECT_EQ(lines.Set, 0) << "DTR resets many boards: neither line may be raised";
  EXPECT_EQ(lines.Clear, 0x002 | 0x004) << "DTR and RTS held off";
}

TEST_F(LineSettingsOnDevice, ZeroBitRateOnOpenPortIsRefusedAsDcbErrorAndValueStays) {
  Comm.SetBaudrate(br19200);
  Comm.Open();
  try {
    Comm.SetBaudrate(brUser);
    FAIL() << "0 bit/s must be refused";
  } catch (const ESerialCommError& e) {
    EXPECT_STREQ(e.what(), "Error writing dcb (22), Invalid argument");
  }
  EXPECT_TRUE(Comm.IsOpen());
  EXPECT_EQ(Comm.Baudrate(), brUser);
  EXPECT_EQ(Device().c_ospeed, 19200u);
}

TEST_F(LineSettingsOnDevice, ZeroBitRateFailsOpenAndLeavesPortClosed) {
  Comm.SetBaudrate(brUser);
  EXPECT_THROW(Comm.Open(), ESerialCommError);
  EXPECT_FALSE(Comm.IsOpen());
}

TEST_F(LineSettingsOnDevice, UpdateDcbOffNeverTouchesTheDevice) {
  SetDeviceSpeed(4800);
  Comm.SetUpdateDCB(false);
  Comm.SetBaudrate(br19200);
  Comm.Open();
  EXPECT_EQ(Device().c_ospeed, 4800u);
  Comm.SetBaudrate(br115200);
  Comm.EventChars().SetXonChar(0x11);
  EXPECT_EQ(Device().c_ospeed, 4800u);
}

TEST_F(LineSettingsOnDevice, UnchangedEventCharReappliesUnchangedFlowItemDoesNot) {
  Comm.SetBaudrate(br19200);
  Comm.Open();
  SetDeviceSpeed(300);                      // changed behind the component's back
  Comm.FlowControl().SetOutCtsFlow(false);  // unchanged: nothing applied
  EXPECT_EQ(Device().c_ospeed, 300u);
  Comm.EventChars().SetXonChar(Comm.EventChars().XonChar());  // unchanged, still applied
  EXPECT_EQ(Device().c_ospeed, 19200u);
}

}  // namespace
}  // namespace hexloader
