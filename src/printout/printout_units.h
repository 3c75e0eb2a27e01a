// The unit of every position and size on a printout page: 1/2160 inch. It
// holds every step the printer makes as a whole number: character pitches
// (10, 12, 15, 17.14 and 20 per inch), line spacings in 1/216, 1/180, 1/72,
// 1/60 and 1/360 inch, and the dot columns of every bit-image density (60,
// 72, 80, 90, 120, 144, 180, 240 and 360 per inch). Both axes use it, so a
// page scales alike in x and y.
#pragma once

#include <cstdint>

namespace qb {

constexpr int32_t kUnitsPerInch = 2160;

// `count` steps of 1/`per_inch` inch, in units (`per_inch` divides 2160).
constexpr int32_t InchSteps(int32_t count, int32_t per_inch) {
  return count * (kUnitsPerInch / per_inch);
}

// Tenths of a millimetre in units, rounded.
constexpr int32_t TenthsOfMmToUnits(int32_t tenths) {
  return static_cast<int32_t>((static_cast<int64_t>(tenths) * kUnitsPerInch + 127) / 254);
}

}  // namespace qb
