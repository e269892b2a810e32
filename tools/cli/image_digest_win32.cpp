// SHA-256 through Windows' own cryptography (CNG).
#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

#include "tools/cli/image_digest.h"

namespace hexloader::cli {
namespace {

// Owners of the provider and the hash, so every way out releases them.
struct TAlgorithm {
  BCRYPT_ALG_HANDLE Handle = nullptr;
  ~TAlgorithm() {
    if (Handle) ::BCryptCloseAlgorithmProvider(Handle, 0);
  }
};
struct THash {
  BCRYPT_HASH_HANDLE Handle = nullptr;
  ~THash() {
    if (Handle) ::BCryptDestroyHash(Handle);
  }
};

bool Ok(NTSTATUS Status) { return Status >= 0; }

}  // namespace

std::string Sha256Hex(const std::vector<std::uint8_t>& Bytes) {
  TAlgorithm Algorithm;
  THash Hash;
  UCHAR Digest[32];
  if (!Ok(::BCryptOpenAlgorithmProvider(&Algorithm.Handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !Ok(::BCryptCreateHash(Algorithm.Handle, &Hash.Handle, nullptr, 0, nullptr, 0, 0)) ||
      (!Bytes.empty() &&
       !Ok(::BCryptHashData(Hash.Handle, const_cast<PUCHAR>(Bytes.data()), static_cast<ULONG>(Bytes.size()), 0))) ||
      !Ok(::BCryptFinishHash(Hash.Handle, Digest, sizeof Digest, 0)))
    throw std::runtime_error("SHA-256 is not available");
  static const char Hex[] = "0123456789abcdef";
  std::string Text;
  Text.reserve(2 * sizeof Digest);
  for (UCHAR B : Digest) {
    Text += Hex[B >> 4];
    Text += Hex[B & 0x0F];
  }
  return Text;
}

}  // namespace hexloader::cli
