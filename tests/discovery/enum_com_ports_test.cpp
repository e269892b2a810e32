// Port discovery on made-up sysfs and /dev trees in temporary folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "serial/enum_com_ports.h"

namespace hexloader {
namespace {

namespace fs = std::filesystem;

// How one tty looks in the made-up tree.
struct TTty {
  std::string Name;
  bool HasDevice;        // a "device" link to the hardware behind it
  std::string Driver;    // the device's driver, empty for none
  std::string UartType;  // content of the "type" file, empty for no file
  bool HasDevNode;       // a node under the /dev root
};

class DiscoveryTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("hexloader-discovery-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(root_);
    fs::create_directories(Sys() + "/class/tty");
    fs::create_directories(Sys() + "/devices");
    fs::create_directories(Sys() + "/bus/drivers");
    fs::create_directories(Dev());
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Sys() const { return (root_ / "sys").string(); }
  std::string Dev() const { return (root_ / "dev").string(); }

  void Add(const TTty& Tty) {
    const fs::path ttyDir = fs::path(Sys()) / "class/tty" / Tty.Name;
    fs::create_directories(ttyDir);
    if (Tty.HasDevice) {
      const fs::path device = fs::path(Sys()) / "devices" / ("hw-" + Tty.Name);
      fs::create_directories(device);
      fs::create_directory_symlink(device, ttyDir / "device");
      if (!Tty.Driver.empty()) {
        const fs::path driver = fs::path(Sys()) / "bus/drivers" / Tty.Driver;
        fs::create_directories(driver);
        fs::create_directory_symlink(driver, device / "driver");
      }
    }
    if (!Tty.UartType.empty()) std::ofstream(ttyDir / "type") << Tty.UartType << "\n";
    if (Tty.HasDevNode) std::ofstream(fs::path(Dev()) / Tty.Name) << "";
  }

  std::vector<std::string> Found() {
    std::vector<std::string> names = EnumComPorts(Sys(), Dev());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
};

struct TCase {
  const char* Label;
  TTty Tty;
  bool Listed;
};
void PrintTo(const TCase& c, std::ostream* os) { *os << c.Label; }

class DiscoveryRule : public DiscoveryTree, public ::testing::WithParamInterface<TCase> {};

TEST_P(DiscoveryRule, ListsOnlyUsablePorts) {
  Add(GetParam().Tty);
  const std::vector<std::string> expected =
      GetParam().Listed ? std::vector<std::string>{GetParam().Tty.Name} : std::vector<std::string>{};
  EXPECT_EQ(Found(), expected);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Ttys, DiscoveryRule,
    ::testing::Values(
        TCase{"UsbAdapter", {"ttyUSB0", true, "ftdi_sio", "", true}, true},
        TCase{"CdcAcmDevice", {"ttyACM0", true, "cdc_acm", "", true}, true},
        TCase{"VirtualConsoleWithoutDevice", {"tty1", false, "", "", true}, false},
        TCase{"Legacy8250WithoutUart", {"ttyS3", true, "serial8250", "0", true}, false},
        TCase{"Legacy8250WithUart", {"ttyS0", true, "serial8250", "4", true}, true},
        TCase{"Legacy8250BehindSerialBasePort", {"ttyS2", true, "port", "0", true}, false},
        TCase{"UartBehindSerialBasePort", {"ttyS1", true, "port", "4", true}, true},
        TCase{"DeviceWithoutDevNode", {"ttyUSB7", true, "ftdi_sio", "", false}, false}),
    [](const ::testing::TestParamInfo<TCase>& info) { return std::string(info.param.Label); });
// clang-format on

TEST_F(DiscoveryTree, MachineWithoutPortsGivesEmptyList) {
  Add({"tty0", false, "", "", true});
  Add({"console", false, "", "", true});
  EXPECT_TRUE(Found().empty());
}

TEST_F(DiscoveryTree, MissingSysfsGivesEmptyListNotError) {
  EXPECT_TRUE(EnumComPorts((root_ / "nowhere").string(), Dev()).empty());
}

TEST_F(DiscoveryTree, MixedMachineListsEachUsablePortOnce) {
  Add({"ttyS0", true, "serial8250", "4", true});
  Add({"ttyS1", true, "serial8250", "0", true});
  Add({"ttyUSB0", true, "pl2303", "", true});
  Add({"ttyUSB1", true, "pl2303", "", true});
  Add({"tty5", false, "", "", true});
  EXPECT_EQ(Found(), (std::vector<std::string>{"ttyS0", "ttyUSB0", "ttyUSB1"}));
}

struct TOrderCase {
  const char* Label;
  std::vector<std::string> In;
  std::vector<std::string> Out;
};
void PrintTo(const TOrderCase& c, std::ostream* os) { *os << c.Label; }

class PortOrder : public ::testing::TestWithParam<TOrderCase> {};

TEST_P(PortOrder, SortsAsTextWithoutRegardToCase) {
  std::vector<std::string> names = GetParam().In;
  SortPortNames(names);
  EXPECT_EQ(names, GetParam().Out);
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Names, PortOrder,
    ::testing::Values(
        TOrderCase{"TextNotNumber", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        TOrderCase{"LetterCaseIgnored", {"ttyUSB0", "TTYACM0", "ttyS1"}, {"TTYACM0", "ttyS1", "ttyUSB0"}},
        TOrderCase{"CaseOnlyDifferenceHasFixedOrder", {"com3", "COM3"}, {"COM3", "com3"}},
        TOrderCase{"Empty", {}, {}}),
    [](const ::testing::TestParamInfo<TOrderCase>& info) { return std::string(info.param.Label); });
// clang-format on

}  // namespace
}  // namespace hexloader
