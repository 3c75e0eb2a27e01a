#include <gtest/gtest.h>

#include <string>

#include "base/json_text.h"
#include "base/json_value.h"

namespace qb {
namespace {

TEST(BaseJsonValue, ReadsWhatIsJsonAndRefusesTheRest) {
  JsonValue value;
  std::string problem;
  ASSERT_TRUE(
      JsonValue::Parse(" {\"a\": [1, 18446744073709551615, -1, 2.5e3, true, null], \"b\": "
                       "\"x\\u00e9\\ud83d\\ude00\\n\"} ",
                       value, problem))
      << problem;
  const JsonValue* a = value.Member("a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->items().size(), 6u);
  uint64_t number = 0;
  EXPECT_TRUE(a->items()[1].GetUnsigned(number));
  EXPECT_EQ(number, UINT64_MAX);
  EXPECT_FALSE(a->items()[2].GetUnsigned(number));  // read, but no whole non-negative number
  EXPECT_FALSE(a->items()[3].GetUnsigned(number));
  std::string text;
  ASSERT_TRUE(value.Member("b")->GetString(text));
  EXPECT_EQ(text, "x\xC3\xA9\xF0\x9F\x98\x80\n");
  EXPECT_FALSE(value.Member("b")->GetBytes(text));  // a character beyond U+00FF

  // What JsonString writes reads back as the same bytes.
  const std::string bytes = std::string("\x00\x01\"\\\x7F\x80\xFF", 7);
  ASSERT_TRUE(JsonValue::Parse(JsonString(bytes), value, problem));
  EXPECT_TRUE(value.GetBytes(text));
  EXPECT_EQ(text, bytes);

  const std::string deep = std::string(40, '[') + std::string(40, ']');
  for (const std::string& bad :
       {std::string(""), std::string("{"), std::string("{\"a\" 1}"), std::string("[1,]"),
        std::string("01"), std::string("1 2"), std::string("\"\\ud800\""), std::string("\"a\nb\""),
        std::string("\"\\x\""), std::string("tru"), deep}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(JsonValue::Parse(bad, value, problem));
    EXPECT_FALSE(problem.empty());
  }
  EXPECT_FALSE(JsonValue::Parse("[1,2,3]", value, problem, 3));
  EXPECT_NE(problem.find("too many values"), std::string::npos);
}

}  // namespace
}  // namespace qb
