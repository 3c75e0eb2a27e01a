#include "document/printed_date.h"

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

// Appends `value` as `count` digits with leading zeros.
void AppendDigits(std::string& out, int value, int count) {
  char digits[4];
  for (int i = count - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(digits, static_cast<size_t>(count));
}

// The first time after `from` on the same printed line.
bool TimeAfter(const uint8_t* text, size_t size, size_t from, PrintedTime& time) {
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
    time.hour = static_cast<uint8_t>(hour);
    time.minute = static_cast<uint8_t>(minute);
    time.second = static_cast<int8_t>(second);
    return true;
  }
  return false;
}

}  // namespace

bool FindPrintedTime(const uint8_t* text, size_t size, PrintedTime& found) {
  // Most lines hold no time at all: one quick look decides for them.
  if (text == nullptr || std::memchr(text, ':', size) == nullptr) return false;
  // A date has its '-' four places or its '.' two places after its start:
  // only such places are looked at, in the order of the dates' starts.
  for (size_t at = 0; at + 10 <= size; ++at) {
    if ((text[at + 4] != '-' && text[at + 2] != '.') || !IsDigit(text[at])) continue;
    Date date;
    size_t end = 0;
    PrintedTime time;
    if (!DateAt(text, size, at, date, end) || !TimeAfter(text, size, end, time)) continue;
    time.year = static_cast<uint16_t>(date.year);
    time.month = static_cast<uint8_t>(date.month);
    time.day = static_cast<uint8_t>(date.day);
    found = time;
    return true;
  }
  return false;
}

std::string PrintedTimeText(const PrintedTime& time) {
  std::string out;
  out.reserve(20);
  AppendDigits(out, time.year, 4);
  out += '-';
  AppendDigits(out, time.month, 2);
  out += '-';
  AppendDigits(out, time.day, 2);
  out += ' ';
  AppendDigits(out, time.hour, 2);
  out += ':';
  AppendDigits(out, time.minute, 2);
  if (time.second >= 0) {
    out += ':';
    AppendDigits(out, time.second, 2);
  }
  return out;
}

bool FindPrintedDateTime(const uint8_t* text, size_t size, std::string& found) {
  PrintedTime time;
  if (!FindPrintedTime(text, size, time)) return false;
  found = PrintedTimeText(time);
  return true;
}

}  // namespace qb
