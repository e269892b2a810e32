// Several ports at once in one process, as hexloader-cli runs them: one upload job per port, every
// serial component's threads handing their events to the one event loop. Threaded: the
// ThreadSanitizer build runs it.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/event_loop.h"
#include "core/exception_display.h"
#include "core/ui_dispatcher.h"
#include "image/hex_to_bin.h"
#include "serial/serial_comm.h"
#include "tests/upload/intel_hex_writer.h"
#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"
#include "tools/cli/image_snapshot.h"
#include "tools/cli/upload_job.h"

namespace hexloader::test {
namespace {

using namespace std::chrono_literals;
using cli::TUploadJob;
using cli::TUploadRecord;
using cli::TUploadResult;

class MultiPortUpload : public ::testing::Test {
 protected:
  MultiPortUpload() : Image(PatternImage(3000)) {
    // The converter writes the image into the current directory, as Start does.
    Previous = std::filesystem::current_path();
    std::filesystem::current_path(Dir.Path());
    WriteIntelHex(Dir.File("fw.hex"), Image);
    SetUiDispatcher(&Loop);
    SetExceptionDisplay([this](const std::string& Message) { Shown.push_back(Message); });
  }
  ~MultiPortUpload() override {
    Jobs.clear();
    SetExceptionDisplay(nullptr);
    std::filesystem::current_path(Previous);
  }

  void Run(const std::vector<std::string>& Ports) {
    Snapshot = std::make_unique<cli::TImageSnapshot>(HexToBin(Dir.File("fw.hex")));
    for (const std::string& Port : Ports)
      Jobs.push_back(std::make_unique<TUploadJob>(
          cli::TJobSettings{Port, "fw.hex", Snapshot.get(), 0, frame::DefaultReplyTimeoutMs, false},
          [this](TUploadJob&, const TUploadRecord& R) { Records.push_back(R); },
          [](TUploadJob&, const std::string&, bool) {}));
    for (auto& Job : Jobs) Job->Begin();
    ASSERT_TRUE(Loop.RunUntil(
        [&] {
          for (auto& Job : Jobs)
            if (!Job->Stopped()) return false;
          return true;
        },
        60s))
        << "the uploads did not end";
    Loop.RunUntil(
        [&] {
          for (auto& Job : Jobs)
            if (!Job->FrameInFlightLeft()) return false;
          return true;
        },
        10s);
    std::vector<TSerialCustomComm*> Comms;
    for (auto& Job : Jobs) Comms.push_back(&Job->Comm());
    TSerialCustomComm::CloseTogether(Comms);
  }

  void ExpectMemoryIsImage(const std::string& File) const {
    const std::vector<std::uint8_t> Memory = ReadFile(Dir.File(File));
    ASSERT_GE(Memory.size(), Image.size()) << File;
    EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Memory.begin())) << File << " differs from the image";
  }

  TTempDir Dir;
  std::filesystem::path Previous;
  std::vector<std::uint8_t> Image;
  TEventLoop Loop;
  std::vector<std::string> Shown;
  std::unique_ptr<cli::TImageSnapshot> Snapshot;
  std::vector<std::unique_ptr<TUploadJob>> Jobs;
  std::vector<TUploadRecord> Records;
};

TEST_F(MultiPortUpload, FourPortsOnOneLoopEachDeviceTakesTheImage) {
  TSimProcess Sim({"--devices", "4", "--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")}, 4);
  Run(Sim.PortPaths());
  EXPECT_TRUE(Shown.empty()) << Shown.front();
  ASSERT_EQ(Sim.Wait(), 0);
  ASSERT_EQ(Records.size(), 4u);
  for (const TUploadRecord& R : Records) EXPECT_EQ(R.Result, TUploadResult::Ok) << R.Port << ": " << R.Message;
  for (int d = 1; d <= 4; ++d) ExpectMemoryIsImage("mem-" + std::to_string(d) + ".bin");
  for (auto& Job : Jobs) EXPECT_FALSE(Job->Comm().IsOpen());
}

TEST_F(MultiPortUpload, AWrongReplyOnOnePortLeavesTheOthersAlone) {
  TSimProcess Good({"--devices", "3", "--once", "--hello-delay", "0", "--memory", Dir.File("mem.bin")}, 3);
  TSimProcess Wrong({"--once", "--hello-delay", "0", "--wrong-reply-at", "4"});
  Run({Good.PortPaths()[0], Wrong.PortPath(), Good.PortPaths()[1], Good.PortPaths()[2]});
  ASSERT_EQ(Good.Wait(), 0);
  for (int d = 1; d <= 3; ++d) ExpectMemoryIsImage("mem-" + std::to_string(d) + ".bin");
  ASSERT_EQ(Records.size(), 4u);
  for (const TUploadRecord& R : Records) {
    if (R.Port == Wrong.PortPath()) {
      EXPECT_EQ(R.Result, TUploadResult::ReplyError);
      EXPECT_EQ(R.Message, "Ошибка ответа");
    } else {
      EXPECT_EQ(R.Result, TUploadResult::Ok) << R.Port << ": " << R.Message;
    }
  }
  EXPECT_EQ(Jobs[1]->FirstFailureStatus(), 2);
  EXPECT_EQ(Jobs[0]->FirstFailureStatus(), 0);
}

}  // namespace
}  // namespace hexloader::test
