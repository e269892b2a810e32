// Real toolchain output converted and checked byte for byte against an independent converter, srec_cat
// (0xFF fill from address 0), run here on the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/hex_to_bin.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& Path) { return "'" + Path.string() + "'"; }

// Runs a shell command; its output goes to a log file shown when it fails.
void RunTool(const std::string& Command) {
  int status = std::system((Command + " > tool.log 2>&1").c_str());
  std::ifstream log("tool.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  ASSERT_EQ(status, 0) << Command << "\n" << text;
}

// What srec_cat makes of Hex: every address from 0 to the highest one, unfilled ones 0xFF.
TBytes ReferenceImage(const fs::path& Hex) {
  RunTool("srec_cat " + Quoted(Hex) + " -intel -fill 0xFF 0x0000 -maximum-address " + Quoted(Hex) +
          " -intel -o reference.bin -binary");
  return ReadBytes("reference.bin");
}

void ExpectSameAsReference(const fs::path& Hex) {
  fs::copy_file(Hex, "fw.hex");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  TBytes image = ReadBytes("fw.BIN");
  TBytes reference = ReferenceImage("fw.hex");
  ASSERT_FALSE(reference.empty());
  ASSERT_EQ(image.size(), reference.size());
  auto diff = std::mismatch(image.begin(), image.end(), reference.begin());
  EXPECT_TRUE(diff.first == image.end()) << "first difference at address 0x" << std::hex
                                         << (diff.first - image.begin());
}

// Made by tests/image/data/make-fixtures.sh from the sources in tests/image/data/src.
class TToolchainFixtureTest : public TWorkDirTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TToolchainFixtureTest, SameImageAsSrecCat) {
  ExpectSameAsReference(fs::path(HEXLOADER_IMAGE_TEST_DATA) / GetParam());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Fixtures, TToolchainFixtureTest,
    ::testing::Values("blink_mcs51.hex",            // sdcc 8051: addresses going back, 2- to 32-byte records
                      "counter_stm8.hex",           // sdcc STM8: extended linear address, going back below it
                      "counter_stm8_objcopy.hex"),  // objcopy: extended segment address, short last records
    [](const auto& info) {
      std::string name = fs::path(info.param).stem().string();
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });
// clang-format on

class TObjcopyImageTest : public TWorkDirTest {};

// A larger image as objcopy writes it: above 1 MiB (extended linear address records), 16-byte records,
// a short final record, and more than one of the converter's 1 MiB output blocks.
TEST_F(TObjcopyImageTest, SameImageAsSrecCat) {
  TBytes data(300001);
  std::uint32_t x = 12345;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  WriteFile("data.bin", std::string(data.begin(), data.end()));
  RunTool("objcopy -I binary -O ihex --change-addresses 0xF8000 data.bin objcopy.hex");
  ExpectSameAsReference(Dir() / "objcopy.hex");
}

}  // namespace
}  // namespace hexloader::test
