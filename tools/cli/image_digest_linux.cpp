#include "tools/cli/image_digest.h"

#include <nettle/sha2.h>

namespace hexloader::cli {

std::string Sha256Hex(const std::vector<std::uint8_t>& Bytes) {
  sha256_ctx Context;
  sha256_init(&Context);
  if (!Bytes.empty()) sha256_update(&Context, Bytes.size(), Bytes.data());
  std::uint8_t Digest[SHA256_DIGEST_SIZE];
  sha256_digest(&Context, sizeof Digest, Digest);
  static const char Hex[] = "0123456789abcdef";
  std::string Text;
  Text.reserve(2 * sizeof Digest);
  for (std::uint8_t B : Digest) {
    Text += Hex[B >> 4];
    Text += Hex[B & 0x0F];
  }
  return Text;
}

}  // namespace hexloader::cli
