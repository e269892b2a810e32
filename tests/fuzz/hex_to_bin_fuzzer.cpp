// Feeds arbitrary bytes to HexToBin as a HEX file and checks that it either converts or fails with one
// of the program's own exceptions, never reading past a line (AddressSanitizer watches that). Where it
// converts, the image is compared with a plain in-memory model of the line rules, which shares no code
// with the converter: placement, fill and the 1 MiB output blocks must all agree with it. The count of
// records with wrong checksums is compared with the model's as well.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/file_errors.h"
#include "image/hex_checksums.h"
#include "image/hex_line_rules.h"
#include "image/hex_lines.h"
#include "image/hex_to_bin.h"

namespace {

// Images beyond this size fail with "File too large" instead of filling the disk: a base record can ask
// for gigabytes of fill.
constexpr std::uint64_t kImageLimitBytes = 3 << 20;

std::optional<std::uint32_t> Hex(std::string_view Digits) {
  std::uint32_t v = 0;
  for (char c : Digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return v;
}

// The converter reads its lines inside one buffer, where reading past a line's end would go unseen. Here
// each line gets a heap block of its own exact size, so that AddressSanitizer sees any such read.
void DecideEachLineAlone(std::string_view Text) {
  hexloader::THexLineReader lines(Text);
  hexloader::THexLine line;
  std::uint8_t bytes[256];
  while (lines.Next(line)) {
    std::unique_ptr<char[]> own(new char[line.Text.size()]);
    std::memcpy(own.get(), line.Text.data(), line.Text.size());
    hexloader::THexLine alone{std::string_view(own.get(), line.Text.size()), line.Number};
    try {
      hexloader::THexRecordKind kind = hexloader::ClassifyLine(alone);
      if (kind == hexloader::THexRecordKind::SegmentAddress || kind == hexloader::THexRecordKind::LinearAddress)
        hexloader::ExtendedAddressBase(alone, kind);
      if (kind == hexloader::THexRecordKind::Data) {
        hexloader::DataLoadAddress(alone);
        std::uint8_t count = hexloader::DataByteCount(alone);
        std::size_t decoded = hexloader::DecodeDataBytes(alone, count, bytes);
        if (decoded < count) hexloader::RaiseBadDataByte(alone, decoded);
      }
    } catch (const hexloader::EConvertError&) {}
  }
}

// The expected image, or nullopt when the conversion must stop with EConvertError.
// The lines as the converter sees them: up to a NUL, after a byte-order mark at the start, with the
// blanks before a line's ":" dropped.
std::vector<std::string_view> ModelLines(std::string_view Text) {
  Text = Text.substr(0, Text.find('\0'));
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") Text.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= Text.size(); ++i) {
    if (i < Text.size() && Text[i] != '\r' && Text[i] != '\n') continue;
    if (i == Text.size() && start == Text.size()) break;
    std::string_view s = Text.substr(start, i - start);
    std::size_t blanks = s.find_first_not_of(" \t");
    if (blanks != std::string_view::npos && s[blanks] == ':') s.remove_prefix(blanks);
    lines.push_back(s);
    if (i < Text.size() && Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

// The number of records whose checksum is wrong or cannot be read.
std::uint64_t ModelBadChecksums(std::string_view Text) {
  std::uint64_t bad = 0;
  for (std::string_view s : ModelLines(Text)) {
    if (s.empty() || s[0] != ':') continue;
    auto count = s.size() >= 3 ? Hex(s.substr(1, 2)) : std::nullopt;
    bool right = count && s.size() >= 1 + 2 * (5 + *count);
    std::uint32_t sum = 0;
    for (std::uint32_t k = 0; right && k < 5 + *count; ++k) {
      auto b = Hex(s.substr(1 + 2 * k, 2));
      right = b.has_value();
      if (b) sum += *b;
    }
    if (!right || sum % 256 != 0) ++bad;
  }
  return bad;
}

std::optional<std::vector<std::uint8_t>> Model(std::string_view Text) {
  std::uint32_t base = 0;
  std::uint64_t length = 0;
  std::map<std::uint64_t, std::uint8_t> bytes;
  for (std::string_view s : ModelLines(Text)) {
    if (s.empty() || s[0] != ':') continue;
    if (s.size() < 9) return std::nullopt;
    if (s[1] == '0' && s[2] == '2' && (s[8] == '2' || s[8] == '4')) {
      if (s.size() < 13) return std::nullopt;
      auto v = Hex(s.substr(9, 4));
      if (!v) return std::nullopt;
      base = s[8] == '2' ? *v << 4 : *v << 16;
      continue;
    }
    if (s[7] != '0' || s[8] != '0' || (s[1] == '0' && s[2] == '0')) continue;
    auto address = Hex(s.substr(3, 4));
    if (!address) return std::nullopt;
    std::uint64_t target = static_cast<std::uint32_t>(*address + base);
    if (target > length) length = target;
    auto count = Hex(s.substr(1, 2));
    if (!count || s.size() < 9 + 2 * *count) return std::nullopt;
    for (std::uint32_t k = 0; k < *count; ++k) {
      auto b = Hex(s.substr(9 + 2 * k, 2));
      if (!b || bytes.count(target + k)) return std::nullopt;
      bytes[target + k] = static_cast<std::uint8_t>(*b);
      if (target + k + 1 > length) length = target + k + 1;
    }
  }
  if (length > kImageLimitBytes) return std::vector<std::uint8_t>();  // not compared: too large to write
  std::vector<std::uint8_t> image(length, 0xFF);
  for (auto [address, b] : bytes) image[address] = b;
  return image;
}

std::vector<std::uint8_t> ReadImage(const char* Path) {
  std::vector<std::uint8_t> data;
  FILE* f = std::fopen(Path, "rb");
  if (!f) return data;
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return data;
}

char gWorkDir[64];

void RemoveWorkDir() {
  for (const char* name : {"fuzz.hex", "fuzz.BIN", "fuzz.BAK"}) unlink(name);
  rmdir(gWorkDir);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The image lands in the current directory: give the fuzzer a directory of its own, in memory if we can.
  char dir[] = "/dev/shm/hex_to_bin_fuzzer-XXXXXX";
  char fallback[] = "/tmp/hex_to_bin_fuzzer-XXXXXX";
  const char* made = mkdtemp(dir);
  if (!made) made = mkdtemp(fallback);
  if (!made || chdir(made) != 0) std::abort();
  std::snprintf(gWorkDir, sizeof gWorkDir, "%s", made);
  std::atexit(RemoveWorkDir);
  rlimit limit{kImageLimitBytes, kImageLimitBytes};
  setrlimit(RLIMIT_FSIZE, &limit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  // Past the size limit write() must fail with EFBIG instead of raising the signal; set here because the
  // fuzzer installs its own handler for it after initialisation.
  signal(SIGXFSZ, SIG_IGN);
  FILE* f = std::fopen("fuzz.hex", "wb");
  if (!f) std::abort();
  std::fwrite(Data, 1, Size, f);
  std::fclose(f);

  std::string_view text(reinterpret_cast<const char*>(Data), Size);
  DecideEachLineAlone(text);
  std::optional<std::vector<std::uint8_t>> expected = Model(text);
  if (hexloader::CheckRecordChecksums(text).BadRecords != ModelBadChecksums(text)) {
    std::fprintf(stderr, "checksum count differs from the model\n");
    std::abort();
  }
  try {
    if (hexloader::HexToBin("fuzz.hex") != "fuzz.BIN") std::abort();
    if (!expected) {
      std::fprintf(stderr, "converted a file that must fail\n");
      std::abort();
    }
    if (!expected->empty() && ReadImage("fuzz.BIN") != *expected) {
      std::fprintf(stderr, "image differs from the model\n");
      std::abort();
    }
  } catch (const hexloader::EConvertError&) {
    if (expected) {
      std::fprintf(stderr, "failed on a file that converts\n");
      std::abort();
    }
  } catch (const hexloader::EFWriteError&) {
    // Only the size limit above makes writing fail here.
  }
  unlink("fuzz.BIN");
  return 0;
}
