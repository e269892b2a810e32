// Real toolchain output converted on Windows and checked byte for byte against srec_cat's image of the
// same file, which the build made on the Linux side (srec_cat does not run here).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "image/hex_to_bin.h"
#include "tests/image/image_test_support.h"

namespace hexloader::test {
namespace {

namespace fs = std::filesystem;

struct TFixture {
  const char* Hex;  // under HEXLOADER_IMAGE_TEST_DATA, or under HEXLOADER_IMAGE_REFERENCES when made by the build
  bool MadeByTheBuild;
};
void PrintTo(const TFixture& F, std::ostream* Out) { *Out << F.Hex; }

class TToolchainFixtureTest : public TWorkDirTest, public ::testing::WithParamInterface<TFixture> {};

TEST_P(TToolchainFixtureTest, SameImageAsSrecCat) {
  const fs::path hex =
      fs::path(GetParam().MadeByTheBuild ? HEXLOADER_IMAGE_REFERENCES : HEXLOADER_IMAGE_TEST_DATA) / GetParam().Hex;
  fs::copy_file(hex, "fw.hex");
  ASSERT_EQ(HexToBin("fw.hex"), "fw.BIN");
  const TBytes image = ReadBytes("fw.BIN");
  const TBytes reference = ReadBytes(fs::path(HEXLOADER_IMAGE_REFERENCES) / (hex.stem().string() + ".bin"));
  ASSERT_FALSE(reference.empty());
  ASSERT_EQ(image.size(), reference.size());
  const auto diff = std::mismatch(image.begin(), image.end(), reference.begin());
  EXPECT_TRUE(diff.first == image.end()) << "first difference at address 0x" << std::hex
                                         << (diff.first - image.begin());
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Fixtures, TToolchainFixtureTest,
    ::testing::Values(TFixture{"blink_mcs51.hex", false},          // sdcc 8051: addresses going back
                      TFixture{"counter_stm8.hex", false},         // sdcc STM8: extended linear address
                      TFixture{"counter_stm8_objcopy.hex", false}, // objcopy: extended segment address
                      TFixture{"objcopy_large.hex", true}),        // objcopy, above 1 MiB, several output blocks
    [](const auto& info) {
      std::string name = fs::path(info.param.Hex).stem().string();
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });
// clang-format on

}  // namespace
}  // namespace hexloader::test
