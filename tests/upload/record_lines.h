#pragma once
// The upload record file as the tests read it: each line parsed as JSON; a line that is not JSON (half a
// line, two glued together) fails the test.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace hexloader::test {

inline std::vector<nlohmann::json> ReadRecordLines(const std::string& Path) {
  std::vector<nlohmann::json> Lines;
  std::ifstream In(Path);
  std::string Line;
  while (std::getline(In, Line)) {
    nlohmann::json J = nlohmann::json::parse(Line, nullptr, false);
    EXPECT_FALSE(J.is_discarded()) << "not JSON: " << Line;
    if (!J.is_discarded()) Lines.push_back(J);
  }
  return Lines;
}

// Waits (generously) until the record file holds Count lines.
inline bool AwaitRecordLines(const std::string& Path, std::size_t Count) {
  for (int i = 0; i < 1200; ++i) {
    if (ReadRecordLines(Path).size() >= Count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace hexloader::test
