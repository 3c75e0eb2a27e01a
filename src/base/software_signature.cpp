#include "base/software_signature.h"

#include <array>

#include "base/messages.h"
#include "base/text_format.h"
#include "format/record_crc.h"

namespace qb {

namespace {
constexpr std::array<uint32_t, 10> kRevisions = {1, 2, 1, 1, 2, 2, 2, 1, 2, 2};
}  // namespace

uint16_t SoftwareSignature() {
  std::array<uint8_t, kRevisions.size() * 4> bytes{};
  for (size_t i = 0; i < kRevisions.size(); ++i) {
    for (size_t b = 0; b < 4; ++b) {
      bytes[i * 4 + b] = static_cast<uint8_t>(kRevisions[i] >> (8 * b));
    }
  }
  return RecordCrc16(bytes.data(), bytes.size());
}

std::string SignatureText() {
  const unsigned signature = SoftwareSignature();
  return FormatText("%s:\n%u.%04X", LoadMessage(msg::kSoftwareSignature), signature, signature);
}

std::string AboutText() {
  std::string text = LoadMessage(msg::kAppName);
  text += "\n\n";
  text += LoadMessage(msg::kWordVersion);
  text += ' ';
  text += LoadMessage(msg::kVersion);
  text += "\n\n";
  text += SignatureText();
  return text;
}

}  // namespace qb
