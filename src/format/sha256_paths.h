// The two ways SHA-256 blocks are compressed: portable code everywhere, and
// the SHA extensions of x86-64 processors, picked at start-up where the
// processor has them. Both must give the same state for every input; tests
// call them directly to hold them to that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// Compresses `blocks` 64-byte blocks into the eight state words.
void Sha256BlocksPortable(uint32_t state[8], const uint8_t* data, size_t blocks);

// True when this processor can run Sha256BlocksShaExtensions.
bool Sha256ShaExtensionsAvailable();

// The same with the SHA extensions; only to be called when they are
// available (elsewhere it is the portable version).
void Sha256BlocksShaExtensions(uint32_t state[8], const uint8_t* data, size_t blocks);

// The 64 round constants.
extern const uint32_t kSha256RoundConstants[64];

}  // namespace qb
