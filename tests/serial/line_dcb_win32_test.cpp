// The component's line settings as the Windows device-control block: the loader's own line, and each
// setting's mapping onto the block's members.
#include <gtest/gtest.h>

#include <string>

#include "serial/line_dcb_win32.h"
#include "serial/serial_comm.h"
#include "upload/loader_line_settings.h"

namespace hexloader {
namespace {

DCB Translated(const TSerialLineSettings& Settings) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  TranslateLineSettings(Settings, dcb);
  return dcb;
}

TEST(LineDcb, TheLoadersLineIs19200EightNoneOneWithoutFlowControlAndLinesOff) {
  TSerialComm comm;
  ApplyLoaderLineSettings(comm);
  const DCB dcb = Translated(BuildLineSettings(comm));
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_TRUE(dcb.fBinary);
  EXPECT_FALSE(dcb.fParity);
  EXPECT_FALSE(dcb.fOutxCtsFlow);
  EXPECT_FALSE(dcb.fOutxDsrFlow);
  EXPECT_FALSE(dcb.fOutX);
  EXPECT_FALSE(dcb.fInX);
  EXPECT_FALSE(dcb.fDsrSensitivity);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
  EXPECT_FALSE(dcb.fAbortOnError);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 1024);
}

struct TMappingCase {
  const char* Name;
  TSerialLineSettings Settings;
  DWORD DtrControl, RtsControl;
  BYTE Parity, StopBits, ByteSize;
};
void PrintTo(const TMappingCase& C, std::ostream* Out) { *Out << C.Name; }

TSerialLineSettings With(TSerialControlDtr Dtr, TSerialControlRts Rts, std::uint8_t Parity, std::uint8_t StopBits,
                         std::uint8_t ByteSize) {
  TSerialLineSettings s;
  s.BaudRate = 9600;
  s.DtrControl = Dtr;
  s.RtsControl = Rts;
  s.Parity = Parity;
  s.StopBits = StopBits;
  s.ByteSize = ByteSize;
  return s;
}

class LineDcbMapping : public ::testing::TestWithParam<TMappingCase> {};

TEST_P(LineDcbMapping, EachSettingLandsOnItsMember) {
  const DCB dcb = Translated(GetParam().Settings);
  EXPECT_EQ(dcb.fDtrControl, GetParam().DtrControl);
  EXPECT_EQ(dcb.fRtsControl, GetParam().RtsControl);
  EXPECT_EQ(dcb.Parity, GetParam().Parity);
  EXPECT_EQ(dcb.StopBits, GetParam().StopBits);
  EXPECT_EQ(dcb.ByteSize, GetParam().ByteSize);
  EXPECT_EQ(dcb.BaudRate, 9600u);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Settings, LineDcbMapping,
    ::testing::Values(
        TMappingCase{"LinesOnOddOneAndAHalf", With(dtrEnabled, rtsEnabled, 1, 1, 5), DTR_CONTROL_ENABLE,
                     RTS_CONTROL_ENABLE, ODDPARITY, ONE5STOPBITS, 5},
        TMappingCase{"HandshakeEvenTwo", With(dtrHandshake, rtsHandshake, 2, 2, 7), DTR_CONTROL_HANDSHAKE,
                     RTS_CONTROL_HANDSHAKE, EVENPARITY, TWOSTOPBITS, 7},
        TMappingCase{"RtsToggleMark", With(dtrDisabled, rtsToggle, 3, 0, 8), DTR_CONTROL_DISABLE, RTS_CONTROL_TOGGLE,
                     MARKPARITY, ONESTOPBIT, 8},
        TMappingCase{"Space", With(dtrDisabled, rtsDisabled, 4, 0, 6), DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE,
                     SPACEPARITY, ONESTOPBIT, 6}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST(LineDcb, FlowControlAndSpecialCharactersCarryOver) {
  TSerialLineSettings s;
  s.BaudRate = 115200;
  s.OutxCtsFlow = s.OutxDsrFlow = s.OutX = s.InX = s.DsrSensitivity = s.TxContinueOnXoff = true;
  s.ParityCheck = s.ErrorCharOn = s.NullStrip = true;
  s.ErrorChar = '?';
  s.EofChar = 0x1A;
  s.EvtChar = '\n';
  s.XonLim = 100;
  s.XoffLim = 200;
  const DCB dcb = Translated(s);
  EXPECT_TRUE(dcb.fOutxCtsFlow && dcb.fOutxDsrFlow && dcb.fOutX && dcb.fInX && dcb.fDsrSensitivity);
  EXPECT_TRUE(dcb.fTXContinueOnXoff && dcb.fParity && dcb.fErrorChar && dcb.fNull);
  EXPECT_EQ(dcb.ErrorChar, '?');
  EXPECT_EQ(dcb.EofChar, 0x1A);
  EXPECT_EQ(dcb.EvtChar, '\n');
  EXPECT_EQ(dcb.XonLim, 100);
  EXPECT_EQ(dcb.XoffLim, 200);
}

}  // namespace
}  // namespace hexloader
