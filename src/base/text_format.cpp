#include "base/text_format.h"

#include <cstdio>
#include <vector>

namespace qb {

std::string VFormatText(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof small) return std::string(small, needed);
  std::vector<char> big(static_cast<size_t>(needed) + 1);
  (void)std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), static_cast<size_t>(needed));
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormatText(format, args);
  va_end(args);
  return text;
}

std::string FillPlaceholders(const char* text, const std::string* const* texts, size_t count) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const size_t n =
        p[0] == '%' && p[1] >= '1' && p[1] <= '9' ? static_cast<size_t>(p[1] - '0') : 0;
    if (n == 0) {
      out += *p;
    } else {
      if (n <= count) out += *texts[n - 1];
      ++p;
    }
  }
  return out;
}

std::string CutText(std::string text, size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

}  // namespace qb
