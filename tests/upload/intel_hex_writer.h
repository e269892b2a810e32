#pragma once
// Writes bytes as a plain Intel HEX file (16-byte data records from address 0, one end record), the
// input the converter turns back into the same image.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace hexloader::test {

inline void WriteIntelHex(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
  std::ofstream Out(Path);
  char Line[64];
  for (std::size_t At = 0; At < Bytes.size(); At += 16) {
    const std::size_t N = std::min<std::size_t>(16, Bytes.size() - At);
    unsigned Sum = static_cast<unsigned>(N) + ((At >> 8) & 0xFF) + (At & 0xFF);
    int Len = std::snprintf(Line, sizeof Line, ":%02X%04X00", static_cast<unsigned>(N), static_cast<unsigned>(At));
    for (std::size_t i = 0; i < N; ++i) {
      Len += std::snprintf(Line + Len, sizeof Line - static_cast<std::size_t>(Len), "%02X", Bytes[At + i]);
      Sum += Bytes[At + i];
    }
    std::snprintf(Line + Len, sizeof Line - static_cast<std::size_t>(Len), "%02X", (0x100 - (Sum & 0xFF)) & 0xFF);
    Out << Line << "\n";
  }
  Out << ":00000001FF\n";
}

}  // namespace hexloader::test
