// Devices that hang up mid-upload beside healthy ones on one run: the lost ports' closing must not
// hold up the others' replies, so the healthy uploads take as long as they do without the hang-ups.
// Timed as a ratio against a run without them in the same test; run alone (SERIAL).
#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

using nlohmann::json;

constexpr std::size_t kImageSize = 4096;

class CliLostPorts : public ::testing::Test {
 protected:
  CliLostPorts() : Image(PatternImage(kImageSize)) { WriteIntelHex(Dir.File("fw.hex"), Image); }

  // Runs one upload through the healthy ports and the lost ones; returns each healthy port's seconds.
  std::vector<double> HealthySeconds(int Lost, const std::string& Log) {
    TSimProcess Healthy(
        {"--devices", "2", "--once", "--hello-delay", "0", "--bit-rate", "19200", "--memory", Dir.File(Log + ".bin")},
        2);
    std::unique_ptr<TSimProcess> Faulty;
    std::vector<std::string> Args = {CliPath(), "upload", "--reply-timeout", "0.5", "--log", Log};
    if (Lost > 0) {
      Faulty = std::make_unique<TSimProcess>(
          std::vector<std::string>{"--devices", std::to_string(Lost), "--once", "--hello-delay", "0", "--bit-rate",
                                   "19200", "--hangup-at", "10"},
          Lost);
      // The lost ones first: their closing comes while the healthy ones still wait for replies.
      for (const std::string& Port : Faulty->PortPaths()) Args.insert(Args.end(), {"--port", Port});
    }
    for (const std::string& Port : Healthy.PortPaths()) Args.insert(Args.end(), {"--port", Port});
    Args.push_back("fw.hex");
    std::string Out, Err;
    EXPECT_EQ(RunProgram(Args, &Out, &Err, Dir.Path()), Lost > 0 ? 1 : 0) << Err;
    EXPECT_EQ(Healthy.Wait(), 0);

    std::vector<double> Seconds;
    std::ifstream In(Dir.File(Log));
    std::string Line;
    while (std::getline(In, Line)) {
      const json R = json::parse(Line);
      const bool IsHealthy = R.at("port") == Healthy.PortPaths()[0] || R.at("port") == Healthy.PortPaths()[1];
      if (!IsHealthy) {
        EXPECT_EQ(R.at("result"), "port-error") << R;
        continue;
      }
      EXPECT_EQ(R.at("result"), "ok") << R;
      Seconds.push_back(R.at("seconds").get<double>());
    }
    EXPECT_EQ(Seconds.size(), 2u);
    for (int d = 1; d <= 2; ++d) {
      const std::vector<std::uint8_t> Memory = ReadFile(Dir.File(Log + "-" + std::to_string(d) + ".bin"));
      EXPECT_TRUE(Memory.size() >= Image.size() && std::equal(Image.begin(), Image.end(), Memory.begin()))
          << "device " << d << " memory differs";
    }
    return Seconds;
  }

  TTempDir Dir;
  std::vector<std::uint8_t> Image;
};

TEST_F(CliLostPorts, ThreeHangUpsDoNotSlowTheHealthyPorts) {
  const std::vector<double> Alone = HealthySeconds(0, "alone.jsonl");
  const std::vector<double> Beside = HealthySeconds(3, "beside.jsonl");
  ASSERT_EQ(Alone.size(), 2u);
  ASSERT_EQ(Beside.size(), 2u);
  const double Reference = std::max(Alone[0], Alone[1]);
  // A close that stalls the loop holds every other port up for the whole of its wait, while a loaded
  // machine varies the run by tens of milliseconds (a ratio of 1.05 failed on that alone): a quarter of
  // a second above the run without hang-ups tells the two apart.
  for (const double S : Beside) EXPECT_LE(S, Reference + 0.25) << "alone: " << Reference << " s";
}

}  // namespace
}  // namespace hexloader::test
