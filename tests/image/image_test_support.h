#pragma once
// Shared pieces of the converter's tests: a temporary working directory, real files, HEX record lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace hexloader::test {

using TBytes = std::vector<std::uint8_t>;

// A new directory Prefix<random> under Parent, made here and nowhere else (empty path on failure).
inline std::filesystem::path MakeUniqueDirectory(const std::filesystem::path& Parent, const std::string& Prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir = Parent / (Prefix + std::to_string(random() % 1000000000u));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) return dir;
  }
  return {};
}

// Runs each test in a fresh temporary directory as the current directory, since the image is written there.
class TWorkDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Previous_ = std::filesystem::current_path();
    Dir_ = MakeUniqueDirectory(std::filesystem::temp_directory_path(), "hexloader-image-");
    ASSERT_FALSE(Dir_.empty());
    std::filesystem::current_path(Dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(Previous_);
    std::error_code ec;
    std::filesystem::remove_all(Dir_, ec);
  }
  const std::filesystem::path& Dir() const { return Dir_; }

 private:
  std::filesystem::path Previous_;
  std::filesystem::path Dir_;
};

inline void WriteFile(const std::filesystem::path& Path, const std::string& Content) {
  std::ofstream out(Path, std::ios::binary);
  out << Content;
  ASSERT_TRUE(out.good()) << Path;
}

inline TBytes ReadBytes(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One Intel HEX record line with a correct checksum, without a line break.
inline std::string Record(std::uint8_t Type, std::uint16_t Address, const TBytes& Data) {
  TBytes raw{static_cast<std::uint8_t>(Data.size()), static_cast<std::uint8_t>(Address >> 8),
             static_cast<std::uint8_t>(Address), Type};
  raw.insert(raw.end(), Data.begin(), Data.end());
  std::uint8_t sum = 0;
  for (std::uint8_t b : raw) sum = static_cast<std::uint8_t>(sum + b);
  raw.push_back(static_cast<std::uint8_t>(-sum));
  static const char kDigits[] = "0123456789ABCDEF";
  std::string line = ":";
  for (std::uint8_t b : raw) {
    line += kDigits[b >> 4];
    line += kDigits[b & 15];
  }
  return line;
}

inline std::string DataRecord(std::uint16_t Address, const TBytes& Data) { return Record(0x00, Address, Data); }

// Count bytes First, First + 1, ... (mod 256): data whose every byte shows where it landed.
inline TBytes Counting(std::size_t Count, std::uint8_t First = 0) {
  TBytes bytes(Count);
  for (std::size_t i = 0; i < Count; ++i) bytes[i] = static_cast<std::uint8_t>(First + i);
  return bytes;
}

// An image of Length bytes of 0xFF with each run of data placed at its address.
struct TPlaced {
  std::uint64_t Address;
  TBytes Bytes;
};
inline TBytes Image(std::uint64_t Length, const std::vector<TPlaced>& Data) {
  TBytes image(Length, 0xFF);
  for (const TPlaced& p : Data) std::copy(p.Bytes.begin(), p.Bytes.end(), image.begin() + p.Address);
  return image;
}

}  // namespace hexloader::test
