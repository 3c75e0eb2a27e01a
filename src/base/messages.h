// The message catalogue: every user-visible text of the system, each under
// one name in messages.inc together with its id, the types of its arguments
// and its text. The names are typed constants (qb::msg::kApiResult is a
// Message<unsigned long>); the compiler checks each text's conversions
// against its declared types, and the fill functions (ReportMessage,
// LogMessage, FillMessage, the application's UiText) take exactly those
// types. A filled text is never used as a format again.
//
// Two kinds of texts take arguments: printf formats (the jobs' and the
// programs' texts) and the application's texts with the positional
// placeholders %1 to %9, each filled with a text (TextArg).
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

namespace qb {

// The argument of a positional placeholder %1 to %9: a text.
struct TextArg {};

// What one conversion of a text takes.
enum class ArgKind { kInt, kLong, kUnsigned, kUnsignedLong, kCString, kDouble, kText };

template <class T>
struct ArgKindOf;  // left undefined for the types no text takes
template <>
struct ArgKindOf<int> : std::integral_constant<ArgKind, ArgKind::kInt> {};
template <>
struct ArgKindOf<long> : std::integral_constant<ArgKind, ArgKind::kLong> {};
template <>
struct ArgKindOf<unsigned> : std::integral_constant<ArgKind, ArgKind::kUnsigned> {};
template <>
struct ArgKindOf<unsigned long> : std::integral_constant<ArgKind, ArgKind::kUnsignedLong> {};
template <>
struct ArgKindOf<const char*> : std::integral_constant<ArgKind, ArgKind::kCString> {};
template <>
struct ArgKindOf<double> : std::integral_constant<ArgKind, ArgKind::kDouble> {};
template <>
struct ArgKindOf<TextArg> : std::integral_constant<ArgKind, ArgKind::kText> {};

namespace message_check {

// The kind a printf conversion takes: `length` is 'l' or 0; false for a
// conversion the catalogue does not use.
constexpr bool PrintfKind(char conversion, char length, ArgKind& kind) {
  switch (conversion) {
    case 'd':
    case 'i':
      kind = length == 'l' ? ArgKind::kLong : ArgKind::kInt;
      return true;
    case 'u':
    case 'x':
    case 'X':
      kind = length == 'l' ? ArgKind::kUnsignedLong : ArgKind::kUnsigned;
      return true;
    case 's':
      kind = ArgKind::kCString;
      return length == 0;
    case 'f':
      kind = ArgKind::kDouble;
      return length == 0;
    default:
      return false;
  }
}

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A printf format: its conversions, in order, take exactly `kinds`; "%%"
// takes none. A text without arguments holds no "%" at all, so that it reads
// the same filled and as it is.
constexpr bool PrintfMatches(const char* text, const ArgKind* kinds, size_t count) {
  size_t used = 0;
  if (count == 0) {
    for (const char* p = text; *p != '\0'; ++p)
      if (*p == '%') return false;
    return true;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    while (IsDigit(*p)) ++p;
    if (*p == '.') {
      ++p;
      while (IsDigit(*p)) ++p;
    }
    char length = 0;
    if (*p == 'l') length = *p++;
    ArgKind kind{};
    if (!PrintfKind(*p, length, kind)) return false;
    if (used == count || kinds[used] != kind) return false;
    ++used;
  }
  return used == count;
}

// A positional text: every "%" starts a placeholder %1 to %9, and the
// placeholders used are exactly %1 to %count.
constexpr bool PositionalMatches(const char* text, size_t count) {
  bool seen[10] = {};
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p < '1' || *p > '9') return false;
    seen[*p - '0'] = true;
  }
  for (size_t n = 1; n < 10; ++n)
    if (seen[n] != (n <= count)) return false;
  return true;
}

template <class... Args>
constexpr bool Matches(const char* text) {
  constexpr size_t kCount = sizeof...(Args);
  constexpr ArgKind kinds[kCount + 1] = {ArgKindOf<Args>::value..., ArgKind::kInt};
  constexpr size_t kTexts = (size_t{0} + ... + (ArgKindOf<Args>::value == ArgKind::kText));
  if constexpr (kTexts == 0) {
    return PrintfMatches(text, kinds, kCount);
  } else {
    return kTexts == kCount && PositionalMatches(text, kCount);
  }
}

}  // namespace message_check

// One catalogue text with the types of its arguments.
template <class... Args>
struct Message {
  // Filled by position with texts (%1 to %9), else a printf format.
  static constexpr bool kPositional = (std::is_same_v<Args, TextArg> || ...);

  int id;
  const char* text;
};

// A message whose text does not match its argument types does not compile.
template <class... Args>
consteval Message<Args...> DefineMessage(int id, const char* text) {
  if (!message_check::Matches<Args...>(text)) {
    throw "the conversions of the text do not match its argument types";
  }
  return Message<Args...>{id, text};
}

// The parameter type through which a fill function takes an argument of
// declared type T: the value itself, converted at the call, and a ready
// text for a placeholder.
template <class T>
struct MessageArgOf {
  using type = T;
};
template <>
struct MessageArgOf<TextArg> {
  using type = const std::string&;
};
template <class T>
using MessageArg = typename MessageArgOf<T>::type;

namespace msg {
#define QB_MESSAGE(name, id, text, ...) \
  inline constexpr auto name = DefineMessage<__VA_ARGS__>(id, text);
#include "base/messages.inc"
#undef QB_MESSAGE
}  // namespace msg

// Returns the text for `id`, or an empty text for an id the catalogue does not
// hold: for ids that are data (a coded error value, a stored id). The text
// lives as long as the process.
const char* LoadMessage(int id);
// The text of a message without arguments.
constexpr const char* LoadMessage(const Message<>& message) {
  return message.text;
}

}  // namespace qb
