// SHA-256 blocks with the SHA extensions of x86-64 processors: two rounds
// per SHA256RNDS2, the message schedule with SHA256MSG1 and SHA256MSG2. The
// state lives in two registers as ABEF and CDGH, the order the instructions
// want; it is rearranged from and back to A..H around the blocks.
#include "format/sha256_paths.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QB_SHA_EXTENSIONS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace qb {

#ifdef QB_SHA_EXTENSIONS

bool Sha256ShaExtensionsAvailable() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

__attribute__((target("sha,sse4.1,ssse3"))) void Sha256BlocksShaExtensions(uint32_t state[8],
                                                                           const uint8_t* data,
                                                                           size_t blocks) {
  // Bytes of each 32-bit word reversed: the message words are big-endian.
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  tmp = _mm_shuffle_epi32(tmp, 0xB1);                // CDAB
  state1 = _mm_shuffle_epi32(state1, 0x1B);          // EFGH
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH

  for (size_t b = 0; b < blocks; ++b, data += 64) {
    const __m128i abef = state0;
    const __m128i cdgh = state1;
    __m128i m[4];
    // Sixteen groups of four rounds; the schedule runs ahead of them.
    for (size_t g = 0; g < 16; ++g) {
      __m128i& current = m[g % 4];
      if (g < 4) {
        current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)),
                                   byte_swap);
      }
      __m128i msg = _mm_add_epi32(
          current,
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * g)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
      if (g >= 3 && g <= 14) {
        __m128i& next = m[(g + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[(g + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
      }
      msg = _mm_shuffle_epi32(msg, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
      if (g >= 1 && g <= 12) {
        __m128i& before = m[(g + 3) % 4];
        before = _mm_sha256msg1_epu32(before, current);
      }
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }

  tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);     // ABEF
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

#else

bool Sha256ShaExtensionsAvailable() {
  return false;
}

void Sha256BlocksShaExtensions(uint32_t state[8], const uint8_t* data, size_t blocks) {
  Sha256BlocksPortable(state, data, blocks);
}

#endif

}  // namespace qb
