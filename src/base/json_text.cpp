#include "base/json_text.h"

#include <cstdio>

namespace qb {

std::string JsonString(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + 2);
  out += '"';
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          char escape[8];
          (void)std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(byte));
          out += escape;
        } else if (byte < 0x80) {
          out += c;
        } else {
          out += static_cast<char>(0xC0 | (byte >> 6));
          out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace qb
