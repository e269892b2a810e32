// hexloader-cli upload --baud: another standard rate uploads as 19200 does; any other number is a
// usage error before anything is converted or opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

TEST(CliBaud, AStandardRateUploadsTheImage) {
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(600);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  TSimProcess Sim({"--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")});
  std::string Out, Err;
  ASSERT_EQ(
      RunProgram({CliPath(), "upload", "--baud", "57600", "--port", Sim.PortPath(), "fw.hex"}, &Out, &Err, Dir.Path()),
      0)
      << Err;
  ASSERT_EQ(Sim.Wait(), 0);
  const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("mem.bin"));
  ASSERT_GE(Memory.size(), Image.size());
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin()));
}

TEST(CliBaud, OtherNumbersAreUsageErrors) {
  TTempDir Dir;
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(300));
  for (const char* Value : {"12345", "0", "-19200", "19200x", "fast", ""}) {
    std::string Out, Err;
    EXPECT_EQ(RunProgram({CliPath(), "upload", "--baud", Value, "--port", "/dev/hexloader-missing", "fw.hex"}, &Out,
                         &Err, Dir.Path()),
              1)
        << Value;
    EXPECT_EQ(Err.rfind(std::string("hexloader-cli upload: bad value '") + Value + "' for --baud", 0), 0u) << Err;
    EXPECT_FALSE(std::filesystem::exists(Dir.File("fw.BIN"))) << Value;
  }
}

}  // namespace
}  // namespace hexloader::test
