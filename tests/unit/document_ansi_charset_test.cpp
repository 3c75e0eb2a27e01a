#include <gtest/gtest.h>

#include <set>
#include <string>

#include "document/ansi_charset.h"

#if defined(__GLIBC__)
#include <iconv.h>
#endif

namespace qb {
namespace {

TEST(AnsiCharset, EveryByteHasItsOwnCharacterAndBack) {
  std::set<char16_t> seen;
  for (int byte = 0; byte < 256; ++byte) {
    char16_t c = AnsiCharacter(static_cast<unsigned char>(byte));
    EXPECT_TRUE(seen.insert(c).second) << "byte " << byte;
    EXPECT_EQ(AnsiByte(c), byte) << "byte " << byte;
    if (byte < 0x80 || byte >= 0xA0) {
      EXPECT_EQ(c, byte);
    }
  }
  for (int byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(AnsiCharacter(static_cast<unsigned char>(byte)), byte);
  const struct {
    unsigned char byte;
    char16_t character;
  } known[] = {{0x80, u'\u20AC'}, {0x85, u'\u2026'}, {0x93, u'\u201C'},
               {0x96, u'\u2013'}, {0x97, u'\u2014'}, {0x9F, u'\u0178'}};
  for (const auto& row : known) EXPECT_EQ(AnsiCharacter(row.byte), row.character);
}

TEST(AnsiCharset, CharactersOutsideTheSetHaveNoByte) {
  // The control characters that 0x80 and the other filled positions replace,
  // and characters beyond the first 256.
  for (char16_t c :
       {u'\u0080', u'\u0085', u'\u0096', u'\u009F', u'\u0100', u'\u03A9', u'\u20AD', u'\uFFFD'})
    EXPECT_EQ(AnsiByte(c), -1) << static_cast<int>(c);

  std::string bytes = "kept";
  EXPECT_FALSE(Utf16ToAnsi(u"a\u03A9b", bytes));
  EXPECT_EQ(bytes, "kept");
  EXPECT_TRUE(Utf16ToAnsi(u"\u20AC 5\u2013\u00E9\u0081", bytes));
  EXPECT_EQ(bytes, "\x80 5\x96\xE9\x81");
  EXPECT_EQ(AnsiToUtf16(bytes), u"\u20AC 5\u2013\u00E9\u0081");
  EXPECT_EQ(AnsiToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

#if defined(__GLIBC__)
// The filled positions agree with the C library's converter for the set.
TEST(AnsiCharset, AgreesWithTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-16LE", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no converter for the set";
  for (int byte = 0x80; byte <= 0x9F; ++byte) {
    char in = static_cast<char>(byte);
    char out[4] = {};
    char* in_p = &in;
    char* out_p = out;
    size_t in_left = 1;
    size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) {
      // An empty position of the set.
      EXPECT_EQ(AnsiCharacter(static_cast<unsigned char>(byte)), byte);
      continue;
    }
    char16_t expected = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                              static_cast<unsigned char>(out[1]) << 8);
    EXPECT_EQ(AnsiCharacter(static_cast<unsigned char>(byte)), expected) << "byte " << byte;
  }
  iconv_close(cd);
}
#endif

}  // namespace
}  // namespace qb
