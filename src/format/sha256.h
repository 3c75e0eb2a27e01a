// SHA-256 of a byte stream: the fingerprint a read report gives of its
// record file. Fed in pieces of any size; the processor's SHA instructions
// do the rounds where it has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

constexpr size_t kSha256Size = 32;
using Sha256Digest = std::array<uint8_t, kSha256Size>;

class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  // The digest of everything fed since the last Reset; the object is then
  // reset.
  Sha256Digest Finish();

 private:
  std::array<uint32_t, 8> state_{};
  std::array<uint8_t, 64> block_{};
  size_t block_used_ = 0;
  uint64_t total_ = 0;
};

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(const Sha256Digest& digest);

// The SHA-256 of a whole buffer, as hex digits.
std::string Sha256HexOf(const void* data, size_t size);

}  // namespace qb
