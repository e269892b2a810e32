#pragma once
// The fingerprint of an image for the upload record: SHA-256, as lower-case hexadecimal.
#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::cli {

std::string Sha256Hex(const std::vector<std::uint8_t>& Bytes);

}  // namespace hexloader::cli
