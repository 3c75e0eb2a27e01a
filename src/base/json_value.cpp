#include "base/json_value.h"

namespace qb {

class JsonParser {
 public:
  JsonParser(const std::string& text, size_t max_values) : text_(text), values_left_(max_values) {}

  bool ParseDocument(JsonValue& value, std::string& problem) {
    SkipSpace();
    bool ok = ParseValue(value, 0);
    if (ok) {
      SkipSpace();
      if (at_ != text_.size()) ok = Fail("text after the value");
    }
    if (!ok) problem = problem_ + " at byte " + std::to_string(at_);
    return ok;
  }

 private:
  const std::string& text_;
  size_t values_left_;
  size_t at_ = 0;
  std::string problem_;

  bool Fail(const char* why) {
    if (problem_.empty()) problem_ = why;
    return false;
  }
  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }

  void SkipSpace() {
    while (!AtEnd() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool Literal(const char* word) {
    size_t length = std::char_traits<char>::length(word);
    if (text_.compare(at_, length, word) != 0) return Fail("unknown word");
    at_ += length;
    return true;
  }

  bool ParseValue(JsonValue& value, int depth) {
    if (depth > JsonValue::kMaxDepth) return Fail("nested too deep");
    if (values_left_ == 0) return Fail("too many values");
    --values_left_;
    switch (Peek()) {
      case '{':
        return ParseObject(value, depth);
      case '[':
        return ParseArray(value, depth);
      case '"':
        value.type_ = JsonValue::Type::kString;
        return ParseString(value.text_);
      case 't':
        value.type_ = JsonValue::Type::kBool;
        value.bool_ = true;
        return Literal("true");
      case 'f':
        value.type_ = JsonValue::Type::kBool;
        value.bool_ = false;
        return Literal("false");
      case 'n':
        value.type_ = JsonValue::Type::kNull;
        return Literal("null");
      default:
        if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) return ParseNumber(value);
        return Fail(AtEnd() ? "unexpected end" : "unexpected character");
    }
  }

  bool ParseObject(JsonValue& value, int depth) {
    value.type_ = JsonValue::Type::kObject;
    ++at_;
    SkipSpace();
    if (Peek() == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') return Fail("a member name expected");
      std::string name;
      if (!ParseString(name)) return false;
      SkipSpace();
      if (Peek() != ':') return Fail("':' expected");
      ++at_;
      SkipSpace();
      value.members_.emplace_back(std::move(name), JsonValue());
      if (!ParseValue(value.members_.back().second, depth + 1)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      if (Peek() == '}') {
        ++at_;
        return true;
      }
      return Fail("',' or '}' expected");
    }
  }

  bool ParseArray(JsonValue& value, int depth) {
    value.type_ = JsonValue::Type::kArray;
    ++at_;
    SkipSpace();
    if (Peek() == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      value.items_.emplace_back();
      if (!ParseValue(value.items_.back(), depth + 1)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      if (Peek() == ']') {
        ++at_;
        return true;
      }
      return Fail("',' or ']' expected");
    }
  }

  bool ParseNumber(JsonValue& value) {
    value.type_ = JsonValue::Type::kNumber;
    bool negative = Peek() == '-';
    if (negative) ++at_;
    if (Peek() < '0' || Peek() > '9') return Fail("digit expected");
    bool whole = !negative;
    uint64_t number = 0;
    bool leading_zero = Peek() == '0';
    size_t digits = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      unsigned digit = static_cast<unsigned>(Peek() - '0');
      if (number > (UINT64_MAX - digit) / 10) whole = false;
      number = number * 10 + digit;
      ++digits;
      ++at_;
    }
    if (leading_zero && digits > 1) return Fail("leading zero");
    if (Peek() == '.') {
      whole = false;
      ++at_;
      if (Peek() < '0' || Peek() > '9') return Fail("digit expected");
      while (Peek() >= '0' && Peek() <= '9') ++at_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      whole = false;
      ++at_;
      if (Peek() == '+' || Peek() == '-') ++at_;
      if (Peek() < '0' || Peek() > '9') return Fail("digit expected");
      while (Peek() >= '0' && Peek() <= '9') ++at_;
    }
    value.whole_ = whole;
    value.number_ = whole ? number : 0;
    return true;
  }

  bool Hex4(unsigned& code) {
    if (at_ + 4 > text_.size()) return Fail("unexpected end");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[at_++];
      unsigned digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<unsigned>(c - 'A' + 10);
      } else {
        return Fail("hex digit expected");
      }
      code = code * 16 + digit;
    }
    return true;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool ParseString(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (AtEnd()) return Fail("unterminated string");
      auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (AtEnd()) return Fail("unterminated string");
      char escape = text_[at_++];
      switch (escape) {
        case '"':
        case '\\':
        case '/':
          out += escape;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code <= 0xDBFF) {
            unsigned low = 0;
            if (text_.compare(at_, 2, "\\u") != 0) return Fail("lone surrogate");
            at_ += 2;
            if (!Hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("lone surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return Fail("lone surrogate");
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          return Fail("unknown escape");
      }
    }
  }
};

bool JsonValue::Parse(const std::string& text, JsonValue& value, std::string& problem,
                      size_t max_values) {
  value = JsonValue();
  JsonParser parser(text, max_values);
  if (parser.ParseDocument(value, problem)) return true;
  value = JsonValue();
  return false;
}

const JsonValue* JsonValue::Member(const std::string& name) const {
  for (const auto& member : members_) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

bool JsonValue::GetBool(bool& value) const {
  if (type_ != Type::kBool) return false;
  value = bool_;
  return true;
}

bool JsonValue::GetUnsigned(uint64_t& value) const {
  if (type_ != Type::kNumber || !whole_) return false;
  value = number_;
  return true;
}

bool JsonValue::GetString(std::string& value) const {
  if (type_ != Type::kString) return false;
  value = text_;
  return true;
}

bool JsonValue::GetBytes(std::string& value) const {
  return type_ == Type::kString && TextToBytes(text_, value);
}

bool JsonValue::TextToBytes(const std::string& text, std::string& value) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
               (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      bytes +=
          static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
      ++i;
    } else {
      return false;
    }
  }
  value = bytes;
  return true;
}

}  // namespace qb
