#include "printout/printer_interpreter.h"

#include <algorithm>

#include "printout/character_tables.h"
#include "printout/printout_units.h"

namespace qb {
namespace {

constexpr uint8_t kNul = 0x00;
constexpr uint8_t kBs = 0x08;
constexpr uint8_t kHt = 0x09;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kVt = 0x0B;
constexpr uint8_t kFf = 0x0C;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kSo = 0x0E;
constexpr uint8_t kSi = 0x0F;
constexpr uint8_t kDc2 = 0x12;
constexpr uint8_t kDc4 = 0x14;
constexpr uint8_t kEm = 0x19;
constexpr uint8_t kEsc = 0x1B;

// Page lengths a printer accepts.
constexpr int32_t kMinPageLength = InchSteps(1, 6);
constexpr int32_t kMaxPageLength = InchSteps(22, 1);

// Parameter bytes of the escape commands that take a fixed number of them;
// -1 for commands read otherwise or not defined.
int ParamCount(uint8_t command) {
  switch (command) {
    case kEm:
    case ' ':
    case '!':
    case '%':
    case '+':
    case '-':
    case '/':
    case '3':
    case 'A':
    case 'C':  // a second byte follows a first of 0
    case 'I':
    case 'J':
    case 'N':
    case 'Q':
    case 'R':
    case 'S':
    case 'U':
    case 'W':
    case 'a':
    case 'h':
    case 'i':
    case 'j':
    case 'k':
    case 'l':
    case 'm':
    case 'p':
    case 'q':
    case 'r':
    case 's':
    case 't':
    case 'w':
    case 'x':
      return 1;
    case '$':
    case '?':
    case 'K':
    case 'L':
    case 'Y':
    case 'Z':
    case '\\':
    case 'c':
    case 'e':
    case 'f':
      return 2;
    case '&':
    case '(':
    case '*':
    case ':':
    case 'X':
    case '^':
      return 3;
    case '.':
      return 6;
    default:
      return -1;
  }
}

// The highest bit first: bit 7 of `byte` becomes bit 0 (the top row).
uint32_t TopDown(uint8_t byte) {
  uint32_t dots = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (byte & (0x80u >> bit)) dots |= 1u << bit;
  }
  return dots;
}

// The dot-column densities of the 8-dot modes 0 to 7, per inch.
constexpr int32_t kEightDotDensity[8] = {60, 120, 120, 240, 80, 72, 90, 144};

uint16_t Clamp16(int64_t value) {
  return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, 0xFFFF));
}

}  // namespace

PrinterInterpreter::PrinterInterpreter(const PrintoutSettings& settings, PageSink& sink)
    : settings_(settings), sink_(sink) {
  if (settings_.model == PrinterModel::kTwentyFourPin) {
    metrics_ = {InchSteps(1, 180),  InchSteps(1, 60),   InchSteps(1, 180),
                InchSteps(1, 180),  InchSteps(24, 180), InchSteps(18, 180),
                InchSteps(22, 180), InchSteps(1, 180),  InchSteps(1, 120)};
  } else {
    metrics_ = {InchSteps(1, 216),  InchSteps(1, 72), InchSteps(1, 120),
                InchSteps(1, 120),  InchSteps(9, 72), InchSteps(7, 72),
                InchSteps(17, 144), InchSteps(1, 72), InchSteps(1, 72)};
  }
  sheet_width_ = SizeOfPaper(settings_.paper).width;
  left_offset_ = TenthsOfMmToUnits(std::clamp(settings_.leftMargin, 0, kMaxLeftMargin));
  StartAt(FirstPage(settings_));
}

PageStart PrinterInterpreter::FirstPage(const PrintoutSettings& settings) {
  PageStart start;
  start.state = InitialPrinterState(settings);
  return start;
}

void PrinterInterpreter::StartAt(const PageStart& start) {
  state_ = start.state;
  pending_blanks_ = start.blankPages;
  stopped_ = false;
  parse_ = Parse::kText;
  image_item_open_ = false;
  origin_ = {start.line, false};
  data_ = nullptr;
  size_ = 0;
  pos_ = 0;
  BeginPage();
}

void PrinterInterpreter::BeginPage() {
  builder_.Begin(sheet_width_, state_.pageLength, sink_.WantsItems());
}

void PrinterInterpreter::FlushBlankPages() {
  while (pending_blanks_ > 0 && !stopped_) {
    --pending_blanks_;
    EndPage(PageEnd::kOverflow, pos_, pending_blanks_, false);
  }
}

bool PrinterInterpreter::FeedLine(const ItemOrigin& origin, const uint8_t* data, size_t size,
                                  size_t offset) {
  if (stopped_) return false;
  origin_ = origin;
  data_ = data;
  size_ = size;
  pos_ = offset;
  FlushBlankPages();
  if (stopped_) return false;
  // A bit image running on from the line before goes on as this line's.
  CloseImageItem();
  if (offset < size) BeginLineSpan();
  for (; pos_ < size && !stopped_; ++pos_) Step(data[pos_]);
  return !stopped_;
}

bool PrinterInterpreter::Finish() {
  FlushBlankPages();
  CloseImageItem();
  if (!stopped_ && builder_.HasContent()) {
    // Nothing follows: the next page would begin after the last line.
    PageStart next{state_, origin_.line + 1, 0, 0};
    builder_.page().end = PageEnd::kRecordingEnd;
    builder_.page().height = state_.pageLength;
    stopped_ = !sink_.PageDone(builder_.page(), next);
    BeginPage();
  }
  return !stopped_;
}

void PrinterInterpreter::BeginLineSpan() {
  builder_.BeginLine(origin_, left_offset_ + state_.x, state_.y, metrics_.cellHeight);
}

void PrinterInterpreter::EndPage(PageEnd end, size_t resume, uint32_t blanks_after,
                                 bool line_goes_on, int32_t height) {
  PageStart next{state_, origin_.line, static_cast<uint32_t>(resume), blanks_after};
  builder_.page().end = end;
  builder_.page().height = height > 0 ? height : state_.pageLength;
  if (!sink_.PageDone(builder_.page(), next)) stopped_ = true;
  BeginPage();
  if (!stopped_ && line_goes_on && resume < size_) BeginLineSpan();
}

// --- Reading bytes ---------------------------------------------------------

void PrinterInterpreter::Step(uint8_t byte) {
  switch (parse_) {
    case Parse::kText:
      if (byte < 0x20) {
        Control(byte);
      } else {
        PrintByte(byte);
      }
      return;
    case Parse::kEscape:
      parse_ = Parse::kText;
      Escape(byte);
      return;
    case Parse::kParams:
      params_[have_++] = byte;
      if (!extended_ && command_ == 'C' && have_ == 1 && byte == 0) need_ = 2;  // length in inches
      if (have_ >= need_) {
        parse_ = Parse::kText;
        if (extended_) {
          ExecuteExtended();
        } else {
          Execute();
        }
      }
      return;
    case Parse::kList:
      ListByte(byte);
      return;
    case Parse::kSkip:
      if (--skip_ == 0) parse_ = after_skip_;
      return;
    case Parse::kImage:
      ImageByte(byte);
      return;
    case Parse::kUserChar:
      // The header of a downloaded character of a 24-pin printer: left
      // space, width in columns, right space; three bytes per column follow.
      params_[have_++] = byte;
      if (have_ == 3) {
        have_ = 0;
        const uint32_t data = uint32_t{params_[1]} * 3;
        const Parse after = --user_chars_ > 0 ? Parse::kUserChar : Parse::kText;
        if (data > 0) {
          Skip(data, after);
        } else {
          parse_ = after;
        }
      }
      return;
    case Parse::kRaster:
      RasterByte(byte);
      return;
  }
}

void PrinterInterpreter::Control(uint8_t byte) {
  switch (byte) {
    case kBs:
      if (state_.x - Advance() >= state_.leftMargin) state_.x -= Advance();
      return;
    case kHt:
      HorizontalTab();
      return;
    case kLf:
      LineFeed(pos_ + 1);
      return;
    case kVt:
      VerticalTab(pos_ + 1);
      return;
    case kFf:
      FormFeed(pos_ + 1);
      return;
    case kCr:
      CarriageReturn();
      return;
    case kSo:
      state_.doubleWidthLine = true;
      return;
    case kSi:
      state_.condensed = true;
      return;
    case kDc2:
      state_.condensed = false;
      return;
    case kDc4:
      state_.doubleWidthLine = false;
      return;
    case kEsc:
      parse_ = Parse::kEscape;
      return;
    default:
      // NUL, BEL, DC1, DC3, CAN and the other control codes print nothing
      // and move nothing here.
      return;
  }
}

void PrinterInterpreter::Expect(uint8_t command, size_t count) {
  command_ = command;
  extended_ = false;
  have_ = 0;
  need_ = count;
  parse_ = Parse::kParams;
}

void PrinterInterpreter::Skip(uint32_t count, Parse after) {
  if (count == 0) {
    parse_ = after;
    return;
  }
  skip_ = count;
  after_skip_ = after;
  parse_ = Parse::kSkip;
}

void PrinterInterpreter::Unknown(uint8_t command) {
  builder_.AddMark(origin_, state_.y, command);
  // A control code after ESC still does its work.
  if (command < 0x20) Control(command);
}

void PrinterInterpreter::Escape(uint8_t command) {
  switch (command) {
    case kSo:
      state_.doubleWidthLine = true;
      return;
    case kSi:
      state_.condensed = true;
      return;
    case '#':
      state_.forcedMsb = -1;
      return;
    case '=':
      state_.forcedMsb = 0;
      return;
    case '>':
      state_.forcedMsb = 1;
      return;
    case '0':
      state_.lineSpacing = InchSteps(1, 8);
      return;
    case '1':
      state_.lineSpacing = InchSteps(7, 72);
      return;
    case '2':
      state_.lineSpacing = InchSteps(1, 6);
      return;
    case '4':
      state_.italic = true;
      return;
    case '5':
      state_.italic = false;
      return;
    case '6':
      state_.upperControls = false;
      return;
    case '7':
      state_.upperControls = true;
      return;
    case '8':
    case '9':
    case '<':
      return;  // paper-out detection, one line unidirectional: nothing on paper
    case '@':
      Reset();
      return;
    case 'E':
      state_.bold = true;
      return;
    case 'F':
      state_.bold = false;
      return;
    case 'G':
      state_.doubleStrike = true;
      return;
    case 'H':
      state_.doubleStrike = false;
      return;
    case 'M':
      state_.pitch = 12;
      return;
    case 'P':
      state_.pitch = 10;
      return;
    case 'g':
      state_.pitch = 15;
      return;
    case 'O':
      state_.bottomLimit = state_.pageLength;
      return;
    case 'T':
      state_.script = 0;
      return;
    case 'B':
    case 'D':
    case 'b':
      command_ = command;
      list_count_ = 0;
      list_max_ = command == 'D' ? 32 : 16;
      list_channel_ = command == 'b';
      parse_ = Parse::kList;
      return;
    default:
      break;
  }
  const int count = ParamCount(command);
  if (count < 0) {
    Unknown(command);
    return;
  }
  Expect(command, static_cast<size_t>(count));
}

// --- Commands with parameters ----------------------------------------------

void PrinterInterpreter::Execute() {
  const uint8_t n = params_[0];
  const uint32_t n16 = params_[0] | (uint32_t{params_[1]} << 8);
  const bool on = (n & 1) != 0;  // 0/1 and "0"/"1" alike
  switch (command_) {
    case ' ':
      state_.extraSpace = n * metrics_.spaceStep;
      return;
    case '!':
      state_.pitch = (n & 0x01) ? 12 : 10;
      state_.condensed = (n & 0x04) != 0;
      state_.bold = (n & 0x08) != 0;
      state_.doubleStrike = (n & 0x10) != 0;
      state_.doubleWidth = (n & 0x20) != 0;
      state_.italic = (n & 0x40) != 0;
      state_.underline = (n & 0x80) != 0;
      return;
    case '$': {
      const int64_t x = state_.leftMargin + int64_t{n16} * InchSteps(1, 60);
      if (x <= state_.rightMargin) state_.x = static_cast<int32_t>(x);
      return;
    }
    case '\\': {
      const auto relative = static_cast<int16_t>(n16);
      const int64_t x = state_.x + int64_t{relative} * metrics_.relativeStep;
      if (x >= state_.leftMargin && x <= state_.rightMargin) state_.x = static_cast<int32_t>(x);
      return;
    }
    case '&': {
      // Downloaded characters n to m: skipped, this printer prints its own.
      const uint32_t first = params_[1];
      const uint32_t last = params_[2];
      const uint32_t count = last >= first ? last - first + 1 : 0;
      if (count == 0) return;
      if (settings_.model == PrinterModel::kNinePin) {
        Skip(count * 12);  // an attribute byte and 11 columns each
      } else {
        user_chars_ = count;
        have_ = 0;
        parse_ = Parse::kUserChar;
      }
      return;
    }
    case '(':
      // ESC ( letter nL nH and that many bytes.
      command_ = params_[0];
      need_ = params_[1] | (size_t{params_[2]} << 8);
      extended_ = true;
      have_ = 0;
      if (need_ == 0) {
        ExecuteExtended();
      } else if (need_ <= sizeof params_ &&
                 (command_ == 't' || command_ == 'U' || command_ == 'C' || command_ == 'c' ||
                  command_ == 'V' || command_ == 'v')) {
        parse_ = Parse::kParams;
      } else {
        Skip(static_cast<uint32_t>(need_));
      }
      return;
    case '*':
      StartImage(params_[0], params_[1] | (uint32_t{params_[2]} << 8));
      return;
    case 'K':
    case 'L':
    case 'Y':
    case 'Z': {
      const size_t which = command_ == 'K' ? 0 : command_ == 'L' ? 1 : command_ == 'Y' ? 2 : 3;
      StartImage(state_.imageModes[which], n16);
      return;
    }
    case '^':
      StartNineDotImage(params_[0], params_[1] | (uint32_t{params_[2]} << 8));
      return;
    case '?': {
      const uint8_t mode = params_[1];
      const bool valid =
          mode < 8 || (settings_.model == PrinterModel::kTwentyFourPin &&
                       (mode == 32 || mode == 33 || mode == 38 || mode == 39 || mode == 40));
      constexpr uint8_t kLetters[4] = {'K', 'L', 'Y', 'Z'};
      for (size_t i = 0; i < 4 && valid; ++i) {
        if (kLetters[i] == params_[0]) state_.imageModes[i] = mode;
      }
      return;
    }
    case '+':
      state_.lineSpacing = InchSteps(n, 360);
      return;
    case '-':
      state_.underline = on;
      return;
    case '3':
      state_.lineSpacing = n * metrics_.feedStep;
      return;
    case 'A':
      state_.lineSpacing = n * metrics_.spacingStep;
      return;
    case 'C': {
      // In lines (1 to 127) or, after a 0, in inches; the current line
      // becomes the top of the page.
      const bool set = n != 0 ? n <= 127 && SetPageLength(int64_t{n} * state_.lineSpacing)
                              : SetPageLength(int64_t{params_[1]} * kUnitsPerInch);
      if (set) TopOfPageHere(pos_ + 1);
      return;
    }
    case 'J':
      MoveDown(n * metrics_.feedStep, pos_ + 1);
      return;
    case 'j':
      if (settings_.model == PrinterModel::kNinePin)
        state_.y = std::max(state_.topMargin, state_.y - n * metrics_.feedStep);
      return;
    case 'N': {
      const int64_t limit = state_.pageLength - int64_t{n} * state_.lineSpacing;
      if (n > 0 && limit > state_.topMargin) state_.bottomLimit = static_cast<int32_t>(limit);
      return;
    }
    case 'Q': {
      const int64_t right = int64_t{n} * PitchWidth();
      if (right > state_.leftMargin + PitchWidth() && right <= InchSteps(8, 1)) {
        state_.rightMargin = static_cast<int32_t>(right);
        state_.x = std::min(state_.x, state_.rightMargin);
      }
      return;
    }
    case 'l': {
      const int64_t left = int64_t{n} * PitchWidth();
      if (left + PitchWidth() < state_.rightMargin) {
        state_.leftMargin = static_cast<int32_t>(left);
        state_.x = std::max(state_.x, state_.leftMargin);
      }
      return;
    }
    case 'R':
      if (KnownInternationalSet(n)) state_.international = n;
      return;
    case 'S':
      state_.script = on ? 2 : 1;
      return;
    case 'W':
      state_.doubleWidth = on;
      return;
    case 'w':
      state_.doubleHeight = on;
      return;
    case 't':
      state_.table = n & 3;
      return;
    case '.': {
      // Raster graphics: skipped, with a mark that something was not shown.
      builder_.AddMark(origin_, state_.y, command_);
      const uint32_t columns = params_[4] | (uint32_t{params_[5]} << 8);
      const uint32_t bytes = uint32_t{params_[3]} * ((columns + 7) / 8);
      if (params_[0] == 0) {
        Skip(bytes);
      } else if (params_[0] == 1 && bytes > 0) {
        raster_left_ = bytes;
        raster_literal_ = 0;
        raster_repeat_ = false;
        parse_ = Parse::kRaster;
      }
      return;
    }
    default:
      // Defined commands that change nothing on paper here: typeface,
      // quality, proportional spacing, justification, colour, and so on.
      return;
  }
}

void PrinterInterpreter::ExecuteExtended() {
  const int32_t value = params_[0] | (int32_t{params_[1]} << 8);
  const auto signed_value = static_cast<int16_t>(value);
  switch (command_) {
    case 't': {
      // Assign a registered table to one of the four ESC t chooses from.
      if (need_ != 3) return;
      const uint8_t slot = params_[0] & 3;
      const uint8_t id = params_[1];
      const uint8_t variant = params_[2];
      if (id == 0 && variant == 0) {
        state_.tables[slot] = CharacterTable::kItalic;
      } else if (id == 1 && variant == 0) {
        state_.tables[slot] = CharacterTable::kCp437;
      } else if (id == 3 && variant == 0) {
        state_.tables[slot] = CharacterTable::kCp850;
      } else if (id == 44 && variant == 0) {
        state_.tables[slot] = CharacterTable::kCp858;
      } else if (id == 29 && variant == 16) {
        state_.tables[slot] = CharacterTable::kLatin1;
      }
      return;
    }
    case 'U':
      // The unit of the other ESC ( commands: m/3600 inch.
      if (need_ == 1 && params_[0] % 5 == 0 && params_[0] >= 5 && params_[0] <= 60)
        state_.definedUnit = params_[0] * kUnitsPerInch / 3600;
      return;
    case 'C':
      if (need_ == 2) SetPageLength(int64_t{value} * state_.definedUnit);
      return;
    case 'c': {
      if (need_ != 4) return;
      const int64_t top = int64_t{value} * state_.definedUnit;
      const int64_t bottom = (params_[2] | (int64_t{params_[3]} << 8)) * state_.definedUnit;
      if (top < bottom && bottom <= state_.pageLength) {
        state_.topMargin = static_cast<int32_t>(top);
        state_.bottomLimit = static_cast<int32_t>(bottom);
        state_.y = std::max(state_.y, state_.topMargin);
      }
      return;
    }
    case 'V': {
      if (need_ != 2) return;
      const int64_t target = state_.topMargin + int64_t{value} * state_.definedUnit;
      if (target >= state_.bottomLimit) return;
      if (target >= state_.y) {
        MoveDown(static_cast<int32_t>(target - state_.y), pos_ + 1);
      } else {
        state_.y = static_cast<int32_t>(target);
      }
      return;
    }
    case 'v': {
      if (need_ != 2) return;
      int64_t distance = int64_t{signed_value} * state_.definedUnit;
      distance = std::clamp<int64_t>(distance, -state_.pageLength, state_.pageLength);
      if (distance >= 0) {
        MoveDown(static_cast<int32_t>(distance), pos_ + 1);
      } else {
        state_.y = static_cast<int32_t>(std::max<int64_t>(state_.topMargin, state_.y + distance));
      }
      return;
    }
    default:
      return;
  }
}

void PrinterInterpreter::ListByte(uint8_t byte) {
  if (list_channel_) {
    list_channel_ = false;  // ESC b: the channel; its tabs are not the ones VT uses
    return;
  }
  if (byte == kNul || (list_count_ > 0 && byte <= list_[list_count_ - 1])) {
    FinishList();
    return;
  }
  list_[list_count_++] = byte;
  if (list_count_ == list_max_) FinishList();
}

void PrinterInterpreter::FinishList() {
  parse_ = Parse::kText;
  if (command_ == 'D') {
    state_.tabCount = 0;
    state_.defaultTabs = false;
    const int64_t width = state_.rightMargin - state_.leftMargin;
    for (size_t i = 0; i < list_count_; ++i) {
      const int64_t at = int64_t{list_[i]} * Advance();
      if (at <= width) state_.tabs[state_.tabCount++] = Clamp16(at);
    }
  } else if (command_ == 'B') {
    state_.verticalTabCount = 0;
    for (size_t i = 0; i < list_count_; ++i) {
      const int64_t at = state_.topMargin + int64_t{list_[i]} * state_.lineSpacing;
      if (at < state_.pageLength) state_.verticalTabs[state_.verticalTabCount++] = Clamp16(at);
    }
  }
}

void PrinterInterpreter::RasterByte(uint8_t byte) {
  // Run-length data: a count byte below 128 is followed by count + 1 bytes
  // as they are, one from 128 up by a byte repeated 257 - count times.
  uint32_t done = 0;
  if (raster_literal_ > 0) {
    --raster_literal_;
    done = 1;
  } else if (raster_repeat_) {
    raster_repeat_ = false;
    done = 257u - raster_count_;
  } else if (byte < 128) {
    raster_literal_ = byte + 1u;
  } else {
    raster_repeat_ = true;
    raster_count_ = byte;
  }
  raster_left_ = done >= raster_left_ ? 0 : raster_left_ - done;
  if (raster_left_ == 0) parse_ = Parse::kText;
}

// --- Motion --------------------------------------------------------------

void PrinterInterpreter::Reset() {
  const int32_t y = state_.y;
  state_ = InitialPrinterState(settings_);
  state_.y = std::min(y, state_.bottomLimit - 1);
}

bool PrinterInterpreter::SetPageLength(int64_t length) {
  if (length < kMinPageLength || length > kMaxPageLength) return false;
  state_.pageLength = static_cast<int32_t>(length);
  state_.bottomLimit = state_.pageLength;
  state_.topMargin = 0;
  return true;
}

void PrinterInterpreter::TopOfPageHere(size_t resume) {
  const int32_t above = state_.y;
  state_.y = 0;
  if (above == 0) return;
  if (builder_.HasContent()) {
    // What was printed above stays on a page of the paper it took.
    EndPage(PageEnd::kOverflow, resume, 0, true, above);
  }
  // Otherwise the paper fed so far lies before the page's top: nothing.
}

void PrinterInterpreter::LineFeed(size_t resume) {
  CarriageReturn();
  state_.doubleWidthLine = false;
  MoveDown(state_.lineSpacing, resume);
}

void PrinterInterpreter::MoveDown(int32_t distance, size_t resume) {
  state_.y += distance;
  uint32_t crossings = 0;
  while (state_.y >= state_.bottomLimit) {
    if (state_.bottomLimit < state_.pageLength) {
      state_.y = state_.topMargin;  // skip over the perforation
    } else {
      state_.y -= state_.pageLength;  // continuous paper runs on
    }
    ++crossings;
  }
  for (uint32_t i = 1; i <= crossings && !stopped_; ++i)
    EndPage(PageEnd::kOverflow, resume, crossings - i, i == crossings);
}

void PrinterInterpreter::FormFeed(size_t resume) {
  CarriageReturn();
  state_.doubleWidthLine = false;
  state_.y = state_.topMargin;
  EndPage(PageEnd::kFormFeed, resume, 0, true);
}

void PrinterInterpreter::VerticalTab(size_t resume) {
  if (state_.verticalTabCount == 0) {
    LineFeed(resume);
    return;
  }
  for (size_t i = 0; i < state_.verticalTabCount; ++i) {
    const int32_t at = state_.verticalTabs[i];
    if (at > state_.y) {
      if (at >= state_.bottomLimit) break;
      CarriageReturn();
      state_.doubleWidthLine = false;
      MoveDown(at - state_.y, resume);
      return;
    }
  }
  FormFeed(resume);
}

void PrinterInterpreter::HorizontalTab() {
  const int32_t from = state_.x - state_.leftMargin;
  int64_t to = -1;
  if (state_.defaultTabs) {
    const int32_t step = 8 * Advance();
    if (step > 0) to = (int64_t{from} / step + 1) * step;
  } else {
    for (size_t i = 0; i < state_.tabCount; ++i) {
      if (state_.tabs[i] > from) {
        to = state_.tabs[i];
        break;
      }
    }
  }
  if (to >= 0 && state_.leftMargin + to <= state_.rightMargin)
    state_.x = state_.leftMargin + static_cast<int32_t>(to);
}

// --- Characters ----------------------------------------------------------

int32_t PrinterInterpreter::PitchWidth() const {
  return kUnitsPerInch / (state_.pitch == 0 ? 10 : state_.pitch);
}

int32_t PrinterInterpreter::CellWidth() const {
  int32_t width = PitchWidth();
  if (state_.condensed && state_.pitch == 10) width = InchSteps(7, 120);  // 17.14 per inch
  if (state_.condensed && state_.pitch == 12) width = InchSteps(1, 20);
  return Wide() ? 2 * width : width;
}

int32_t PrinterInterpreter::Advance() const {
  return CellWidth() + (Wide() ? 2 : 1) * state_.extraSpace;
}

void PrinterInterpreter::PrintByte(uint8_t byte) {
  if (state_.forcedMsb == 0) byte &= 0x7F;
  if (state_.forcedMsb == 1) byte |= 0x80;
  if (byte >= 0x80 && byte < 0xA0 && state_.upperControls) return;
  const PrintedCharacter printed =
      CharacterOf(state_.tables[state_.table], state_.international, byte);
  if (printed.character == 0) return;
  if (state_.x + CellWidth() > state_.rightMargin && state_.x > state_.leftMargin) {
    // The line is full: it is printed and the character starts the next.
    LineFeed(pos_);
    if (stopped_) return;
  }
  GlyphBox box;
  box.x = left_offset_ + state_.x;
  box.y = state_.y;
  box.lineTop = state_.y;
  box.advance = Advance();
  box.cellWidth = CellWidth();
  box.height = metrics_.cellHeight * (state_.doubleHeight ? 2 : 1);
  int32_t ascent = metrics_.ascent * (state_.doubleHeight ? 2 : 1);
  if (state_.script != 0) {
    box.height /= 2;
    ascent /= 2;
    if (state_.script == 2) box.y += box.height;
  }
  box.baseline = box.y + ascent;
  uint16_t style = 0;
  if (state_.bold) style |= kStyleBold;
  if (state_.doubleStrike) style |= kStyleDoubleStrike;
  if (state_.italic || printed.italic) style |= kStyleItalic;
  builder_.AddGlyph(origin_, printed.character, box, style);
  if (state_.underline) {
    const int32_t at = state_.y + metrics_.underlineAt * (state_.doubleHeight ? 2 : 1);
    builder_.AddUnderline(origin_, box.x, box.x + box.advance, at, metrics_.underlineThickness);
  }
  state_.x += box.advance;
}

// --- Bit images --------------------------------------------------------------

void PrinterInterpreter::StartImage(uint8_t mode, uint32_t columns) {
  const bool nine_pin = settings_.model == PrinterModel::kNinePin;
  int32_t density = 0;
  uint8_t bytes = 1;
  if (mode < 8) {
    if (nine_pin || (mode != 5 && mode != 7)) density = kEightDotDensity[mode];
    image_ = {0, nine_pin ? InchSteps(1, 72) : InchSteps(1, 60), metrics_.dotSize, 8};
  } else if (mode == 32 || mode == 33 || mode == 38 || mode == 39 || mode == 40) {
    bytes = 3;
    if (!nine_pin)
      density = mode == 32 ? 60 : mode == 33 ? 120 : mode == 38 ? 90 : mode == 39 ? 180 : 360;
    image_ = {0, InchSteps(1, 180), metrics_.dotSize, 24};
  } else if (mode >= 71 && mode <= 73) {
    bytes = 6;  // 48-dot modes: not printed by these printers
  } else {
    // A mode the family does not define: its data size is unknown, so only
    // the command itself is taken.
    builder_.AddMark(origin_, state_.y, '*');
    return;
  }
  if (density == 0) {
    Skip(columns * bytes);
    return;
  }
  image_.dotPitchX = kUnitsPerInch / density;
  image_bytes_ = bytes;
  image_nine_dot_ = false;
  if (columns == 0) return;
  image_columns_ = columns;
  const int32_t room = state_.rightMargin - state_.x;
  image_visible_ = room > 0 ? std::min<int64_t>(columns, room / image_.dotPitchX) : 0;
  column_have_ = 0;
  parse_ = Parse::kImage;
}

void PrinterInterpreter::StartNineDotImage(uint8_t mode, uint32_t columns) {
  if (settings_.model != PrinterModel::kNinePin || mode > 1) {
    Skip(columns * 2);
    return;
  }
  image_ = {InchSteps(1, mode == 0 ? 60 : 120), InchSteps(1, 72), metrics_.dotSize, 9};
  image_bytes_ = 2;
  image_nine_dot_ = true;
  if (columns == 0) return;
  image_columns_ = columns;
  const int32_t room = state_.rightMargin - state_.x;
  image_visible_ = room > 0 ? std::min<int64_t>(columns, room / image_.dotPitchX) : 0;
  column_have_ = 0;
  parse_ = Parse::kImage;
}

void PrinterInterpreter::OpenImageItem() {
  builder_.OpenImage(origin_, left_offset_ + state_.x, state_.y, image_, image_visible_);
  image_item_open_ = true;
}

void PrinterInterpreter::CloseImageItem() {
  if (!image_item_open_) return;
  builder_.CloseImage();
  image_item_open_ = false;
}

void PrinterInterpreter::ImageByte(uint8_t byte) {
  column_[column_have_++] = byte;
  if (column_have_ < image_bytes_) return;
  column_have_ = 0;
  if (image_visible_ > 0) {
    uint32_t dots = 0;
    if (image_nine_dot_) {
      dots = TopDown(column_[0]) | ((column_[1] & 0x80u) ? 1u << 8 : 0);
    } else {
      for (uint8_t i = 0; i < image_bytes_; ++i) dots |= TopDown(column_[i]) << (8 * i);
    }
    if (!image_item_open_) OpenImageItem();
    builder_.AddImageColumn(dots);
    --image_visible_;
    state_.x += image_.dotPitchX;
  }
  if (--image_columns_ == 0) {
    CloseImageItem();
    parse_ = Parse::kText;
  }
}

}  // namespace qb
