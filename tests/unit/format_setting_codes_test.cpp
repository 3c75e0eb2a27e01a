#include <gtest/gtest.h>

#include <string>

#include "format/setting_codes.h"

namespace qb {
namespace {

TEST(FormatSettingCodes, ParameterTextsAndCodesRoundTrip) {
  const struct {
    const char* text;
    uint16_t code;
  } table[] = {
      {"8N1", 0x0001}, {"8N2", 0x0009}, {"7E1", 0x0023}, {"7E2", 0x002B}, {"8E1", 0x0027},
      {"8E2", 0x002F}, {"7O1", 0x1023}, {"7O2", 0x102B}, {"8O1", 0x1027}, {"8O2", 0x102F},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.text);
    uint16_t code = 0xFFFF;
    ASSERT_TRUE(ParameterCode(row.text, code));
    EXPECT_EQ(code, row.code);
    EXPECT_STREQ(ParameterText(row.code), row.text);

    std::string lower = row.text;
    lower[1] = static_cast<char>(lower[1] - 'A' + 'a');
    code = 0xFFFF;
    ASSERT_TRUE(ParameterCode(lower, code));
    EXPECT_EQ(code, row.code);
  }
}

TEST(FormatSettingCodes, ParameterRejectsAnyOtherText) {
  for (const char* text :
       {"7N1", "7n1", "8N3", "9E1", "6O1", "8X1", "8N", "8N1 ", " 8N1", "8n1x", "", "EN1", "8NN"}) {
    SCOPED_TRACE(text);
    uint16_t code = 0x4242;
    EXPECT_FALSE(ParameterCode(text, code));
    EXPECT_EQ(code, 0x4242);
  }
}

TEST(FormatSettingCodes, UnknownParameterCodeReadsAsQuestionMarks) {
  for (uint16_t code : {0x0000, 0x0005, 0x0101, 0x2023, 0xFFFF}) {
    SCOPED_TRACE(code);
    EXPECT_STREQ(ParameterText(code), "???");
  }
}

TEST(FormatSettingCodes, ProtocolValidityAndCode) {
  const struct {
    uint32_t value;
    bool valid;
    uint16_t code;
  } table[] = {
      {0x3685E294u, true, 0},
      {0x1A0A5085u, true, 1},
      {0xA68BD038u, true, 128},
      {0x00000001u, true, 1},
      {0x00000000u, false, 0},
      {0xFFFFFFFFu, false, 0},
      {0x000000C4u, false, 0},
      // Each byte gives two bits of the code: 0xC0 from b3, 0x30 from b2,
      // 0x0C from b1, 0x03 from b0.
      {0xC0300C03u, true, 0xFF},
      {0x3F0FF3FCu, true, 0x00},
      {0x80000003u, true, 0x83},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(testing::Message() << std::hex << row.value);
    EXPECT_EQ(ProtocolValid(row.value), row.valid);
    uint16_t code = 0x4242;
    EXPECT_EQ(ProtocolCode(row.value, code), row.valid);
    EXPECT_EQ(code, row.valid ? row.code : 0x4242);
  }
}

TEST(FormatSettingCodes, ProtocolCodeTurnsBackIntoItsValue) {
  EXPECT_EQ(ProtocolValue(0), 0x3685E294u);
  EXPECT_EQ(ProtocolValue(1), 0x1A0A5085u);
  EXPECT_EQ(ProtocolValue(128), 0xA68BD038u);
  for (uint16_t code : {2, 3, 127, 129, 255, 256, 0x8000}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(ProtocolValue(code), 0u);
  }
}

TEST(FormatSettingCodes, FlagsAndKeywords) {
  const struct {
    uint16_t flags;
    const char* memory_full;
    const char* rts_control;
  } table[] = {
      {0, "stop_logger", "recording"},      {1, "overwrite_old", "recording"},
      {2, "stop_logger", "outofmemory"},    {3, "overwrite_old", "outofmemory"},
      {0xFFFC, "stop_logger", "recording"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.flags);
    EXPECT_STREQ(MemoryFullKeyword(row.flags), row.memory_full);
    EXPECT_STREQ(RtsControlKeyword(row.flags), row.rts_control);

    // The keywords' codes OR-ed together give the two low flag bits back.
    uint16_t memory = 0xFFFF;
    uint16_t rts = 0xFFFF;
    ASSERT_TRUE(MemoryFullCode(row.memory_full, memory));
    ASSERT_TRUE(RtsControlCode(row.rts_control, rts));
    EXPECT_EQ(memory | rts, row.flags & 3);
  }
}

TEST(FormatSettingCodes, KeywordsIgnoreCaseButNotSpelling) {
  uint16_t code = 0;
  EXPECT_TRUE(MemoryFullCode("OVERWRITE_OLD", code));
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(RtsControlCode("OutOfMemory", code));
  EXPECT_EQ(code, 2);
  for (const char* word : {"overwrite", "overwrite_old ", "stop", "", "recording"}) {
    SCOPED_TRACE(word);
    EXPECT_FALSE(MemoryFullCode(word, code));
  }
  for (const char* word : {"outofmemor", "recordings", "", "stop_logger"}) {
    SCOPED_TRACE(word);
    EXPECT_FALSE(RtsControlCode(word, code));
  }
}

}  // namespace
}  // namespace qb
