// [Upload] BaudRate as the window reads it at Start: what each text of the setting chooses.
#include <gtest/gtest.h>

#include "serial/serial_comm.h"
#include "upload/loader_line_settings.h"

namespace hexloader::test {
namespace {

struct TBaudCase {
  const char* Text;
  TSerialBaudrate Rate;
  std::int32_t UserRate;  // checked only with brUser
};

TEST(BaudRateSetting, EachTextChoosesItsRate) {
  const TBaudCase Cases[] = {
      {"", br19200, 0},       {"57600", br57600, 0}, {"115200", br115200, 0}, {"fast", br19200, 0},
      {"57600 ", br19200, 0}, {"-9600", br19200, 0}, {"0", br19200, 0},       {"250000", brUser, 250000},
  };
  for (const TBaudCase& C : Cases) {
    TSerialComm Comm;
    ApplyLoaderLineSettings(Comm, br9600);  // a rate no case expects unless it set it
    ApplyBaudRateSetting(Comm, C.Text);
    EXPECT_EQ(Comm.Baudrate(), C.Rate) << '"' << C.Text << '"';
    if (C.Rate == brUser) EXPECT_EQ(Comm.UserBaudrate(), C.UserRate) << C.Text;
  }
}

}  // namespace
}  // namespace hexloader::test
