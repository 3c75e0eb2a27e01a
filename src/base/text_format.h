// Filling printf formats into std::string. A filled text is plain data: it is
// never passed on as a format again.
#pragma once

#include <cstdarg>
#include <string>

namespace qb {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormatText(const char* format, va_list args);

// Cuts a text to at most `limit` bytes.
std::string CutText(std::string text, size_t limit);

}  // namespace qb
