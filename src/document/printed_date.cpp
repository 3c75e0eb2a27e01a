#include "document/printed_date.h"

#include <cstdio>
#include <cstring>

namespace qb {
namespace {

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

bool IsLineEnd(uint8_t c) {
  return c == '\r' || c == '\n';
}

// The number written by `count` digits at `at`, or -1.
int Digits(const uint8_t* text, size_t size, size_t at, size_t count) {
  if (at + count > size) return -1;
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// True when no digit stands right before `begin` or at `end`: the number
// found is whole, not part of a longer one.
bool Alone(const uint8_t* text, size_t size, size_t begin, size_t end) {
  return (begin == 0 || !IsDigit(text[begin - 1])) && (end >= size || !IsDigit(text[end]));
}

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
};

bool Plausible(const Date& date) {
  return date.year >= 1900 && date.year <= 2099 && date.month >= 1 && date.month <= 12 &&
         date.day >= 1 && date.day <= 31;
}

// A date at `at`; `end` is then where it ends.
bool DateAt(const uint8_t* text, size_t size, size_t at, Date& date, size_t& end) {
  // YYYY-MM-DD
  if (at + 10 <= size && text[at + 4] == '-' && text[at + 7] == '-') {
    date = {Digits(text, size, at, 4), Digits(text, size, at + 5, 2),
            Digits(text, size, at + 8, 2)};
    end = at + 10;
    if (Plausible(date) && Alone(text, size, at, end)) return true;
  }
  // DD.MM.YYYY
  if (at + 10 <= size && text[at + 2] == '.' && text[at + 5] == '.') {
    date = {Digits(text, size, at + 6, 4), Digits(text, size, at + 3, 2),
            Digits(text, size, at, 2)};
    end = at + 10;
    if (Plausible(date) && Alone(text, size, at, end)) return true;
  }
  return false;
}

// The first time after `from` on the same printed line.
bool TimeAfter(const uint8_t* text, size_t size, size_t from, std::string& time) {
  for (size_t at = from; at + 5 <= size && !IsLineEnd(text[at]); ++at) {
    if (text[at + 2] != ':') continue;
    int hour = Digits(text, size, at, 2);
    int minute = Digits(text, size, at + 3, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) continue;
    size_t end = at + 5;
    int second = -1;
    if (end + 3 <= size && text[end] == ':') {
      second = Digits(text, size, end + 1, 2);
      if (second >= 0 && second <= 59) {
        end += 3;
      } else {
        second = -1;
      }
    }
    if (!Alone(text, size, at, end)) continue;
    char buffer[16];
    if (second >= 0) {
      (void)std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
    } else {
      (void)std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
    }
    time = buffer;
    return true;
  }
  return false;
}

}  // namespace

bool FindPrintedDateTime(const uint8_t* text, size_t size, std::string& found) {
  // Most lines hold no time at all: one quick look decides for them.
  if (text == nullptr || std::memchr(text, ':', size) == nullptr) return false;
  for (size_t at = 0; at + 10 <= size; ++at) {
    if (!IsDigit(text[at])) continue;
    Date date;
    size_t end = 0;
    std::string time;
    if (!DateAt(text, size, at, date, end) || !TimeAfter(text, size, end, time)) continue;
    char buffer[16];
    (void)std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    found = std::string(buffer) + " " + time;
    return true;
  }
  return false;
}

}  // namespace qb
