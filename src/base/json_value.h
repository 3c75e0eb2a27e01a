// Reading JSON text that comes from outside (a read report beside a record
// file): a whole document into a tree of values. Bounded whatever the text
// holds: nesting at most kMaxDepth deep, and at most a given number of
// values in all. Numbers are kept when they are whole and non-negative (up
// to 2^64 - 1); any other number is read but holds no value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qb {

class JsonValue {
 public:
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  static constexpr int kMaxDepth = 32;
  static constexpr size_t kDefaultMaxValues = 200000;

  // Parses the whole text as one value. False with `problem` (the reason and
  // the byte offset) when it is not JSON or holds more than `max_values`
  // values.
  static bool Parse(const std::string& text, JsonValue& value, std::string& problem,
                    size_t max_values = kDefaultMaxValues);

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::kNull; }
  // The member `name` of an object, or null (also when this is no object).
  const JsonValue* Member(const std::string& name) const;
  const std::vector<JsonValue>& items() const { return items_; }
  const std::vector<std::pair<std::string, JsonValue>>& members() const { return members_; }

  // The value when it is of that type; false otherwise.
  bool GetBool(bool& value) const;
  bool GetUnsigned(uint64_t& value) const;
  // A string's text as written (UTF-8).
  bool GetString(std::string& value) const;
  // A string whose characters are all U+0000-U+00FF as the bytes they
  // stand for (what JsonString wrote); false for any other character.
  bool GetBytes(std::string& value) const;
  // The same for any text read as JSON (a member's name).
  static bool TextToBytes(const std::string& text, std::string& bytes);

 private:
  friend class JsonParser;
  Type type_ = Type::kNull;
  bool bool_ = false;
  bool whole_ = false;  // a whole non-negative number that fits 64 bits
  uint64_t number_ = 0;
  std::string text_;
  std::vector<JsonValue> items_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

}  // namespace qb
