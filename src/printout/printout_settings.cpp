#include "printout/printout_settings.h"

#include <cctype>

#include "printout/printout_units.h"

namespace qb {
namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

const char* CharacterTableName(CharacterTable table) {
  switch (table) {
    case CharacterTable::kCp437:
      return "437";
    case CharacterTable::kCp850:
      return "850";
    case CharacterTable::kCp852:
      return "852";
    case CharacterTable::kCp858:
      return "858";
    case CharacterTable::kCp1252:
      return "1252";
    case CharacterTable::kLatin1:
      return "latin1";
    case CharacterTable::kItalic:
      return "italic";
  }
  return "437";
}

bool ParseCharacterTable(const std::string& name, CharacterTable& table) {
  std::string key = Lower(name);
  if (key.rfind("cp", 0) == 0 || key.rfind("pc", 0) == 0) key = key.substr(2);
  if (key == "iso-8859-1" || key == "iso8859-1" || key == "latin-1") key = "latin1";
  for (CharacterTable candidate :
       {CharacterTable::kCp437, CharacterTable::kCp850, CharacterTable::kCp852,
        CharacterTable::kCp858, CharacterTable::kCp1252, CharacterTable::kLatin1}) {
    if (key == CharacterTableName(candidate)) {
      table = candidate;
      return true;
    }
  }
  return false;
}

const char* PrinterModelName(PrinterModel model) {
  return model == PrinterModel::kTwentyFourPin ? "24-pin" : "9-pin";
}

bool ParsePrinterModel(const std::string& name, PrinterModel& model) {
  std::string key = Lower(name);
  if (key == "9" || key == "9-pin") {
    model = PrinterModel::kNinePin;
  } else if (key == "24" || key == "24-pin") {
    model = PrinterModel::kTwentyFourPin;
  } else {
    return false;
  }
  return true;
}

const char* PaperName(Paper paper) {
  switch (paper) {
    case Paper::kA4:
      return "a4";
    case Paper::kLetter:
      return "letter";
    case Paper::kFanfold12:
      return "fanfold12";
  }
  return "a4";
}

bool ParsePaper(const std::string& name, Paper& paper) {
  std::string key = Lower(name);
  for (Paper candidate : {Paper::kA4, Paper::kLetter, Paper::kFanfold12}) {
    if (key == PaperName(candidate)) {
      paper = candidate;
      return true;
    }
  }
  return false;
}

PaperSize SizeOfPaper(Paper paper) {
  switch (paper) {
    case Paper::kA4:
      return {TenthsOfMmToUnits(2100), TenthsOfMmToUnits(2970)};
    case Paper::kLetter:
      return {InchSteps(17, 2), InchSteps(11, 1)};
    case Paper::kFanfold12:
      return {TenthsOfMmToUnits(2400), InchSteps(12, 1)};
  }
  return {TenthsOfMmToUnits(2100), TenthsOfMmToUnits(2970)};
}

}  // namespace qb
