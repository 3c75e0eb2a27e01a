// Filling printf formats and catalogue texts into std::string. A filled text
// is plain data: it is never passed on as a format again.
#pragma once

#include <cstdarg>
#include <string>

#include "base/messages.h"

namespace qb {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormatText(const char* format, va_list args);

// Fills a catalogue text with its arguments, each converted at the call to
// the type the message declares: a printf format through vsnprintf, a
// positional text by putting the texts in place of %1 to %9 in one pass (a
// placed text is not searched again).
template <class... Args>
std::string FillMessage(const Message<Args...>& message, MessageArg<Args>... args);

// The positional fill behind FillMessage.
std::string FillPlaceholders(const char* text, const std::string* const* texts, size_t count);

template <class... Args>
std::string FillMessage(const Message<Args...>& message, MessageArg<Args>... args) {
  if constexpr (Message<Args...>::kPositional) {
    const std::string* const texts[] = {&args...};
    return FillPlaceholders(message.text, texts, sizeof...(Args));
  } else if constexpr (sizeof...(Args) == 0) {
    return message.text;  // a text without arguments holds no "%"
  } else {
    return FormatText(message.text, args...);
  }
}

// Cuts a text to at most `limit` bytes.
std::string CutText(std::string text, size_t limit);

}  // namespace qb
