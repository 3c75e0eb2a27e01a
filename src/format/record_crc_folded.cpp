// RecordCrc16 by folding: the input is taken 16 bytes (128 bits) at a time
// and the running remainder is carried forward with carry-less
// multiplications instead of table look-ups.
//
// The arithmetic. With P(x) = x^16 + x^15 + x^2 + 1 (0x18005; 0xA001 is its
// bit reversal without the x^16 term), the CRC of a message M with start
// value 0 is M(x) * x^16 mod P(x). A start value c is the same as XORing c
// into the first two message bytes (low byte first) and starting from 0.
// Anything congruent to the message modulo P has the same CRC, so the
// message is shortened block by block: a 128-bit value X followed by d more
// bits is X * x^d + rest, and X * x^d can be replaced by a shorter value
// congruent to it. Splitting X = H * x^64 + L,
//   X * x^d  ==  H * (x^(d+64) mod P) + L * (x^d mod P)   (mod P),
// two 64 x 16-bit products of at most 79 bits that fit in the next block.
//
// The bit order. The CRC is reflected: bit 0 of a message byte is its
// highest power of x. A 16-byte little-endian load therefore holds, in bit
// i, the coefficient of x^(127-i); its low 64 bits are H, its high 64 bits
// L, each with bit i as x^(63-i). Multiplying two such reflected 64-bit
// values with PCLMULQDQ puts the coefficient of x^(126-k) in bit k, one
// place short of the 128-bit layout, so each constant carries one power of x
// less: the factor for H is x^(d+63) mod P, the one for L is x^(d-1) mod P,
// each stored bit-reversed in 64 bits. They are computed below from P at
// compile time.
//
// The end. When the blocks are used up, the last partial block (r bytes) is
// joined by the same rule: the first r bytes of X go ahead of a full block
// made of the rest of X and the r new bytes, which is a shuffle of X and the
// input's last 16 bytes. The CRC of the final 128-bit value is its CRC as 16
// message bytes, taken with three more carry-less multiplications (see
// CrcOfBlock). Shorter inputs are put after zero bytes, which leave a CRC of
// 0 at 0: one of 9 to 15 bytes becomes such a block, one of 4 to 8 bytes a
// 64-bit word that needs only the last two multiplications (CrcOfWord).
#include "format/record_crc_paths.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QB_RECORD_CRC_FOLDING 1
#include <immintrin.h>
#endif

namespace qb {

#ifdef QB_RECORD_CRC_FOLDING
namespace {

constexpr uint32_t kPolynomial = 0x18005;

// x^n mod P(x), bit k the coefficient of x^k.
constexpr uint32_t PowerOfXModP(unsigned n) {
  uint32_t r = 1;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000) r ^= kPolynomial;
  }
  return r;
}

// The lowest `width` bits of v in reverse order.
constexpr uint64_t ReverseBits(uint64_t v, unsigned width) {
  uint64_t r = 0;
  for (unsigned i = 0; i < width; ++i) r |= ((v >> i) & 1) << (width - 1 - i);
  return r;
}

constexpr uint64_t Reverse64(uint64_t v) {
  return ReverseBits(v, 64);
}

// floor(x^n / P(x)) without its leading term x^(n-16), bit k the coefficient
// of x^k; for n up to 80 the rest fits in 64 bits.
constexpr uint64_t QuotientOfXPowerByP(unsigned n) {
  uint32_t r = 1;
  uint64_t q = 0;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    q <<= 1;
    if (r & 0x10000) {
      r ^= kPolynomial;
      q |= 1;
    }
  }
  return q;
}

// The two factors that move a 128-bit value forward over `bits` more bits:
// the one for its first 64 bits (multiplied with the low half of a load) and
// the one for its last 64 bits.
struct FoldFactors {
  uint64_t first;
  uint64_t last;
};

constexpr FoldFactors FactorsFor(unsigned bits) {
  return {Reverse64(PowerOfXModP(bits + 63)), Reverse64(PowerOfXModP(bits - 1))};
}

constexpr FoldFactors kFold128 = FactorsFor(128);
constexpr FoldFactors kFold256 = FactorsFor(256);
constexpr FoldFactors kFold384 = FactorsFor(384);
constexpr FoldFactors kFold512 = FactorsFor(512);

// Shuffle masks for the last partial block of r bytes (1..15): 16 bytes from
// offset r select the first r bytes of X into the block's end (zeros before);
// 16 bytes from offset 16 + r select the rest of X into the block's start,
// with the high bit set where the input's last bytes go instead.
alignas(16) constexpr uint8_t kTailShuffle[48] = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

// Shuffle masks for an input of n = 9..15 bytes loaded as its first 8 bytes
// followed by its last 8: kShortShuffle.masks[n - 9] puts the n bytes at the
// end of a 16-byte block, in order and with zeros before them.
struct ShortShuffle {
  alignas(16) uint8_t masks[7][16];
};

constexpr ShortShuffle MakeShortShuffle() {
  ShortShuffle s{};
  for (unsigned n = 9; n < 16; ++n) {
    const unsigned lead = 16 - n;  // zero bytes ahead of the input
    for (unsigned pos = 0; pos < 16; ++pos) {
      const unsigned i = pos - lead;  // the input byte at this place
      s.masks[n - 9][pos] = static_cast<uint8_t>(pos < lead ? 0x80 : i < 8 ? i : i - (n - 8) + 8);
    }
  }
  return s;
}

constexpr ShortShuffle kShortShuffle = MakeShortShuffle();

#define QB_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

QB_FOLDING_TARGET inline __m128i Factors(const FoldFactors& f) {
  return _mm_set_epi64x(static_cast<long long>(f.last), static_cast<long long>(f.first));
}

QB_FOLDING_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// A value congruent to x * x^d, d the distance `factors` were made for.
QB_FOLDING_TARGET inline __m128i Fold(__m128i x, __m128i factors) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, factors, 0x00),
                       _mm_clmulepi64_si128(x, factors, 0x11));
}

// The last steps to the CRC. Say a value of degree below w is held "in w
// bits" when bit i holds its coefficient of x^(w-1-i); PCLMULQDQ multiplies
// values held in w1 and w2 bits into their product held in w1 + w2 - 1 bits.
//
// Y mod P for a value Y held in 80 bits (the low 64 bits of the register and
// the high 16), by a Barrett reduction: with Y = T * x^16 + R0 (T the first
// 64 bits, R0 the last 16), the quotient Y / P is q = floor(T * mu / x^64),
// mu = floor(x^80 / P), and the remainder is R0 + (q * P mod x^16). mu has a
// term x^64, one more than 64 bits hold, so q = T + floor(T * (mu - x^64) /
// x^64); that floor is the first 63 bits of the 127-bit product, shifted by
// one into 64 bits. q * P is held in 64 + 17 - 1 = 80 bits, its last 16 bits
// lined up with R0. The remainder, held in 16 bits, is the reflected CRC.
constexpr uint64_t kBarrettMu = Reverse64(QuotientOfXPowerByP(80));
constexpr uint64_t kBarrettP = ReverseBits(kPolynomial, 17);

QB_FOLDING_TARGET inline uint16_t Remainder80(__m128i y) {
  const __m128i mu = _mm_cvtsi64_si128(static_cast<long long>(kBarrettMu));
  const __m128i q = _mm_xor_si128(y, _mm_slli_epi64(_mm_clmulepi64_si128(y, mu, 0x00), 1));
  const __m128i qp = _mm_clmulepi64_si128(q, _mm_cvtsi64_si128(kBarrettP), 0x00);
  return static_cast<uint16_t>(_mm_extract_epi16(_mm_xor_si128(y, qp), 4));
}

// The CRC, from start value 0, of the 16 bytes of x: X * x^16 mod P. With
// X = H * x^64 + L, Y = H * (x^80 mod P) + L * x^16 is congruent to X * x^16
// and held in 80 bits: the product of H (64 bits) and x^80 mod P (17 bits),
// plus L as the first 64 of the 80 bits, the last 16 being zero.
constexpr uint64_t kXPower80 = ReverseBits(PowerOfXModP(80), 17);

QB_FOLDING_TARGET inline uint16_t CrcOfBlock(__m128i x) {
  const __m128i factor = _mm_cvtsi64_si128(static_cast<long long>(kXPower80));
  return Remainder80(_mm_xor_si128(_mm_clmulepi64_si128(x, factor, 0x00), _mm_srli_si128(x, 8)));
}

// The CRC, from start value 0, of a message of up to 8 bytes held in the
// last bytes of m (zeros ahead of it): M * x^16 is held in 80 bits as m
// followed by 16 zero bits.
QB_FOLDING_TARGET inline uint16_t CrcOfWord(uint64_t m) {
  return Remainder80(_mm_cvtsi64_si128(static_cast<long long>(m)));
}

}  // namespace

bool RecordCrcFoldingAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

QB_FOLDING_TARGET uint16_t RecordCrc16Folded(const uint8_t* data, size_t n, uint16_t crc) {
  if (n < 16) {
    if (n < 4) return RecordCrc16Table(data, n, crc);
    if (n <= 8) {
      // The input at the end of a 64-bit word, from its first 4 bytes and
      // its last 4, which overlap below 8 bytes: a byte loaded twice is ORed
      // onto itself. The start value goes into the input's first 2 bytes.
      uint32_t first, last;
      std::memcpy(&first, data, 4);
      std::memcpy(&last, data + n - 4, 4);
      const unsigned lead = 8 * (8 - static_cast<unsigned>(n));
      return CrcOfWord(((uint64_t{first} << lead) | (uint64_t{last} << 32)) ^
                       (uint64_t{crc} << lead));
    }
    const __m128i halves =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(data)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + n - 8)));
    return CrcOfBlock(_mm_shuffle_epi8(_mm_xor_si128(halves, _mm_cvtsi32_si128(crc)),
                                       Load(kShortShuffle.masks[n - 9])));
  }
  const uint8_t* p = data;
  const uint8_t* const end = data + n;
  const __m128i fold128 = Factors(kFold128);
  __m128i x = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(crc));
  p += 16;
  if (end - p >= 48) {
    // Four blocks side by side keep four multiplications in flight.
    const __m128i fold512 = Factors(kFold512);
    __m128i x1 = Load(p), x2 = Load(p + 16), x3 = Load(p + 32);
    p += 48;
    while (end - p >= 64) {
      x = _mm_xor_si128(Fold(x, fold512), Load(p));
      x1 = _mm_xor_si128(Fold(x1, fold512), Load(p + 16));
      x2 = _mm_xor_si128(Fold(x2, fold512), Load(p + 32));
      x3 = _mm_xor_si128(Fold(x3, fold512), Load(p + 48));
      p += 64;
    }
    x = _mm_xor_si128(_mm_xor_si128(Fold(x, Factors(kFold384)), Fold(x1, Factors(kFold256))),
                      _mm_xor_si128(Fold(x2, fold128), x3));
  }
  for (; end - p >= 16; p += 16) x = _mm_xor_si128(Fold(x, fold128), Load(p));
  if (size_t r = static_cast<size_t>(end - p); r > 0) {
    const __m128i ahead = _mm_shuffle_epi8(x, Load(kTailShuffle + r));
    const __m128i rest_mask = Load(kTailShuffle + 16 + r);
    const __m128i block =
        _mm_blendv_epi8(_mm_shuffle_epi8(x, rest_mask), Load(end - 16), rest_mask);
    x = _mm_xor_si128(Fold(ahead, fold128), block);
  }
  return CrcOfBlock(x);
}

#else

bool RecordCrcFoldingAvailable() {
  return false;
}

uint16_t RecordCrc16Folded(const uint8_t* data, size_t n, uint16_t crc) {
  return RecordCrc16Table(data, n, crc);
}

#endif

}  // namespace qb
