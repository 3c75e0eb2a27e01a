// The software signature: a 16-bit build fingerprint over the fixed revision
// numbers of the program's parts, shown by the splash, the About box and
// --version.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

// The value SoftwareSignature() must come to; the self-check compares them.
constexpr uint16_t kRecordedSoftwareSignature = 48531;  // 0xBD93

// The record CRC over the revision numbers as ten u32 little-endian words.
uint16_t SoftwareSignature();

// Two lines: the label msg::kSoftwareSignature with a colon, then the signature in
// decimal, a point and four upper-case hexadecimal digits.
std::string SignatureText();

// The About box text: name, empty line, "Version" and the version, empty
// line, then the two lines of SignatureText().
std::string AboutText();

}  // namespace qb
