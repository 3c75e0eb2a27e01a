// The printer's character tables against the code pages' published
// mappings, as the system's converter (iconv, not on Windows) has them, and
// the settings' names of tables, models and papers.
#ifndef _WIN32
#include <iconv.h>
#endif

#include <gtest/gtest.h>

#include <cstring>

#include "printout/character_tables.h"
#include "printout/printout_settings.h"

namespace qb {
namespace {

#ifndef _WIN32
// The character of `byte` in the code page `name`, or 0 where it has none
// or a control character.
char32_t Published(const char* name, uint8_t byte) {
  iconv_t convert = iconv_open("UTF-32LE", name);
  if (convert == reinterpret_cast<iconv_t>(-1)) return 0xFFFFFFFF;
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[4] = {};
  char* in_at = in;
  char* out_at = reinterpret_cast<char*>(out);
  size_t in_left = 1;
  size_t out_left = sizeof out;
  size_t done = iconv(convert, &in_at, &in_left, &out_at, &out_left);
  iconv_close(convert);
  if (done == static_cast<size_t>(-1)) return 0;
  char32_t c = out[0] | (out[1] << 8) | (out[2] << 16) | (char32_t{out[3]} << 24);
  return (c >= 0x80 && c < 0xA0) ? 0 : c;
}

TEST(PrintoutCharacterTables, MatchThePublishedMappings) {
  const struct {
    CharacterTable table;
    const char* name;
  } tables[] = {{CharacterTable::kCp437, "CP437"},   {CharacterTable::kCp850, "CP850"},
                {CharacterTable::kCp852, "CP852"},   {CharacterTable::kCp858, "CP858"},
                {CharacterTable::kCp1252, "CP1252"}, {CharacterTable::kLatin1, "ISO-8859-1"}};
  for (const auto& row : tables) {
    SCOPED_TRACE(row.name);
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
      char32_t expected = byte == 0x7F ? 0 : Published(row.name, static_cast<uint8_t>(byte));
      ASSERT_EQ(CharacterOf(row.table, 0, static_cast<uint8_t>(byte)).character, expected)
          << "byte " << byte;
    }
  }
  // Control codes print nothing; the italic table prints ASCII in italics.
  EXPECT_EQ(CharacterOf(CharacterTable::kCp437, 0, 0x1B).character, 0u);
  PrintedCharacter italic = CharacterOf(CharacterTable::kItalic, 0, 0xC1);
  EXPECT_EQ(italic.character, U'A');
  EXPECT_TRUE(italic.italic);
  EXPECT_EQ(CharacterOf(CharacterTable::kItalic, 0, 0x81).character, 0u);
}
#endif

TEST(PrintoutCharacterTables, InternationalSetsReplaceTheirTwelvePositions) {
  const char* positions = "#$@[\\]^`{|}~";
  const struct {
    uint8_t set;
    std::u32string characters;
  } sets[] = {
      {0, U"#$@[\\]^`{|}~"}, {1, U"#$à°ç§^`éùè¨"},  {2, U"#$§ÄÖÜ^`äöüß"},  {3, U"£$@[\\]^`{|}~"},
      {4, U"#$@ÆØÅ^`æøå~"},  {5, U"#¤ÉÄÖÅÜéäöåü"},  {6, U"#$@°\\é^ùàòèì"}, {7, U"₧$@¡Ñ¿^`¨ñ}~"},
      {8, U"#$@[¥]^`{|}~"},  {9, U"#¤ÉÆØÅÜéæøåü"},  {10, U"#$ÉÆØÅÜéæøåü"}, {11, U"#$á¡Ñ¿é`íñóú"},
      {12, U"#$á¡Ñ¿éüíñóú"}, {13, U"#$@[₩]^`{|}~"}, {64, U"#$§°’”¶`©®†™"},
  };
  for (const auto& row : sets) {
    SCOPED_TRACE(static_cast<int>(row.set));
    EXPECT_TRUE(KnownInternationalSet(row.set));
    for (size_t i = 0; i < 12; ++i) {
      EXPECT_EQ(CharacterOf(CharacterTable::kCp437, row.set, static_cast<uint8_t>(positions[i]))
                    .character,
                row.characters[i]);
    }
    EXPECT_EQ(CharacterOf(CharacterTable::kCp437, row.set, 'A').character, U'A');
  }
  EXPECT_FALSE(KnownInternationalSet(14));
}

TEST(PrintoutSettings, NamesReadBackAndDefaults) {
  PrintoutSettings defaults;
  EXPECT_EQ(defaults.model, PrinterModel::kNinePin);
  EXPECT_EQ(defaults.table, CharacterTable::kCp437);
  EXPECT_EQ(defaults.paper, Paper::kA4);

  for (CharacterTable table :
       {CharacterTable::kCp437, CharacterTable::kCp850, CharacterTable::kCp852,
        CharacterTable::kCp858, CharacterTable::kCp1252, CharacterTable::kLatin1}) {
    CharacterTable read = CharacterTable::kItalic;
    EXPECT_TRUE(ParseCharacterTable(CharacterTableName(table), read));
    EXPECT_EQ(read, table);
  }
  CharacterTable table = CharacterTable::kCp437;
  EXPECT_TRUE(ParseCharacterTable("CP850", table));
  EXPECT_EQ(table, CharacterTable::kCp850);
  EXPECT_TRUE(ParseCharacterTable("ISO-8859-1", table));
  EXPECT_EQ(table, CharacterTable::kLatin1);
  for (const char* wrong : {"italic", "", "437x", "cp", "866"})
    EXPECT_FALSE(ParseCharacterTable(wrong, table)) << wrong;

  PrinterModel model = PrinterModel::kNinePin;
  EXPECT_TRUE(ParsePrinterModel("24", model));
  EXPECT_EQ(model, PrinterModel::kTwentyFourPin);
  EXPECT_TRUE(ParsePrinterModel(PrinterModelName(PrinterModel::kNinePin), model));
  EXPECT_EQ(model, PrinterModel::kNinePin);
  EXPECT_FALSE(ParsePrinterModel("18", model));

  Paper paper = Paper::kA4;
  EXPECT_TRUE(ParsePaper("Fanfold12", paper));
  EXPECT_EQ(paper, Paper::kFanfold12);
  EXPECT_FALSE(ParsePaper("a5", paper));
  EXPECT_EQ(SizeOfPaper(Paper::kA4).width, 17858);
  EXPECT_EQ(SizeOfPaper(Paper::kA4).height, 25257);
  EXPECT_EQ(SizeOfPaper(Paper::kLetter).width, 18360);
  EXPECT_EQ(SizeOfPaper(Paper::kLetter).height, 23760);
  EXPECT_EQ(SizeOfPaper(Paper::kFanfold12).height, 25920);
}

}  // namespace
}  // namespace qb
