// The open-file limit and many ports: the command line raises its soft limit to the hard one, and when
// even that cannot hold every port asked for, says so before it converts or opens anything; under the
// usual limit, two hundred ports upload at once.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

constexpr const char* kPrlimit = "/usr/bin/prlimit";

// hexloader-cli upload to Count ports that do not exist, run under the given soft:hard open-file limit.
int UploadUnderLimit(const std::string& Limit, int Count, const TTempDir& Dir, std::string& Err) {
  std::vector<std::string> Args{kPrlimit, "--nofile=" + Limit, CliPath(), "upload"};
  for (int i = 0; i < Count; ++i) {
    Args.push_back("--port");
    Args.push_back("/dev/hexloader-missing-" + std::to_string(i));
  }
  Args.push_back("fw.hex");
  std::string Out;
  return RunProgram(Args, &Out, &Err, Dir.Path());
}

TEST(CliFileLimit, PortsBeyondTheHardLimitAreRefusedBeforeAnythingOpens) {
  if (::access(kPrlimit, X_OK) != 0) GTEST_SKIP() << "needs prlimit";
  TTempDir Dir;
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(300));
  std::string Err;
  EXPECT_EQ(UploadUnderLimit("256:256", 60, Dir, Err), 1);
  EXPECT_EQ(Err,
            "hexloader-cli upload: 60 ports cannot all be opened: this process may open 256 files, enough for 56 "
            "ports; raise the limit (ulimit -n) or give fewer ports\n");
  EXPECT_FALSE(std::filesystem::exists(Dir.File("fw.BIN"))) << "the image was converted before the refusal";
}

TEST(CliFileLimit, ALowSoftLimitIsRaisedToTheHardOne) {
  if (::access(kPrlimit, X_OK) != 0) GTEST_SKIP() << "needs prlimit";
  TTempDir Dir;
  WriteIntelHex(Dir.File("fw.hex"), PatternImage(300));
  std::string Err;
  // 64 files would hold 8 ports; 1024 holds all 24, which then fail one by one as missing devices.
  EXPECT_EQ(UploadUnderLimit("64:1024", 24, Dir, Err), 1);
  EXPECT_EQ(Err.find("cannot all be opened"), std::string::npos) << Err;
  EXPECT_NE(Err.find("/dev/hexloader-missing-23"), std::string::npos) << Err;
}

// Two hundred devices at once under the usual limit of 1,024 files, which the raise cannot lift here:
// every port opens, and every device gets the whole image.
TEST(CliFileLimit, TwoHundredPortsUploadAtOnceUnderTheUsualLimit) {
  if (::access(kPrlimit, X_OK) != 0) GTEST_SKIP() << "needs prlimit";
  constexpr int kPorts = 200;
  TTempDir Dir;
  const std::vector<std::uint8_t> Image = PatternImage(600);
  WriteIntelHex(Dir.File("fw.hex"), Image);
  TSimProcess Sim({"--devices", std::to_string(kPorts), "--once", "--hello-delay", "0", "--log", "none", "--memory",
                   Dir.File("mem.bin")},
                  kPorts);
  std::vector<std::string> Args{kPrlimit, "--nofile=1024:1024", CliPath(), "upload", "--timeout", "60"};
  for (const std::string& Port : Sim.PortPaths()) Args.insert(Args.end(), {"--port", Port});
  Args.push_back("fw.hex");
  std::string Out, Err;
  ASSERT_EQ(RunProgram(Args, &Out, &Err, Dir.Path()), 0) << Err;
  EXPECT_EQ(Sim.Wait(), 0);
  for (int d = 1; d <= kPorts; ++d) {
    const std::vector<std::uint8_t> Memory = ReadFile(Dir.File("mem-" + std::to_string(d) + ".bin"));
    ASSERT_TRUE(Memory.size() >= Image.size() && std::equal(Image.begin(), Image.end(), Memory.begin()))
        << "device " << d << " memory differs";
  }
}

}  // namespace
}  // namespace hexloader::test
