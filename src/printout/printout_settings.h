// What the paper view needs to know about the printer the instrument drove:
// its model, the character table it starts with, the paper in it and where
// its first column lies on the paper. The application stores these; the
// defaults are a 9-pin printer with code page 437 on A4.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

enum class PrinterModel : uint8_t {
  kNinePin,        // 1/216 inch feeds, 1/72 inch pins, ESC ^ graphics
  kTwentyFourPin,  // 1/180 inch feeds, 1/180 inch pins, 24-dot graphics
};

// Character tables: what the bytes 0x80 to 0xFF print. The lower half is
// ASCII in every table (with the international set's replacements).
enum class CharacterTable : uint8_t {
  kCp437,
  kCp850,
  kCp852,
  kCp858,
  kCp1252,
  kLatin1,
  kItalic,  // the printer's italic table (0xA0 to 0xFE: italic ASCII); only the printer selects it
};

enum class Paper : uint8_t {
  kA4,         // 210 x 297 mm single sheets
  kLetter,     // 8.5 x 11 inch single sheets
  kFanfold12,  // continuous paper, 240 mm wide, 12 inch pages
};

struct PrintoutSettings {
  PrinterModel model = PrinterModel::kNinePin;
  CharacterTable table = CharacterTable::kCp437;
  Paper paper = Paper::kA4;
  // From the paper's left edge to the printer's first column, in tenths of a
  // millimetre (0 to 1000). The default centres 8 inch lines on A4.
  int leftMargin = 35;
};

constexpr int kMaxLeftMargin = 1000;

// The name of a table as settings and command lines give it: "437", "850",
// "852", "858", "1252", "latin1" ("italic" for the printer's own).
const char* CharacterTableName(CharacterTable table);
// Reads such a name (also "cp437", "CP850", "iso-8859-1", any case); the
// italic table is not one a user chooses. False for any other text.
bool ParseCharacterTable(const std::string& name, CharacterTable& table);
// "9-pin" or "24-pin"; reading also takes "9" and "24".
const char* PrinterModelName(PrinterModel model);
bool ParsePrinterModel(const std::string& name, PrinterModel& model);
// "a4", "letter", "fanfold12"; reading takes any case.
const char* PaperName(Paper paper);
bool ParsePaper(const std::string& name, Paper& paper);

// The sheet (a page of continuous paper) in units of 1/2160 inch.
struct PaperSize {
  int32_t width = 0;
  int32_t height = 0;
};
PaperSize SizeOfPaper(Paper paper);

}  // namespace qb
