// The dot-matrix printer that instruments drive, interpreted: the bytes of
// a recording's lines in order, read through the escape-code language of
// 9-pin and 24-pin printers, become pages of positioned text runs, bit
// images, underlines and margin marks (page_items.h), each tied to the line
// that made it. Line (record) boundaries are no line breaks: a sequence,
// a printed line or a bit image may run on from one line into the next.
//
// Every byte is read once and moves the reading on, so no input loops it;
// a page's items are held within a fixed budget (page_builder.h), so no
// input makes it allocate without bound.
//
// Pages are handed to a sink as they are completed, each with the point
// where the next one begins: the printer's state and the line and byte from
// which reading goes on. Starting again from such a point lays out that
// page alone, so a viewer keeps only these starts and lays out the pages it
// shows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "printout/page_builder.h"
#include "printout/page_items.h"
#include "printout/printer_state.h"
#include "printout/printout_settings.h"

namespace qb {

// Where a page begins.
struct PageStart {
  PrinterState state;
  int line = 0;             // the line whose byte is read next
  uint32_t offset = 0;      // that byte's place in the line (its size: the line is done)
  uint32_t blankPages = 0;  // empty pages that come first (one feed crossing several pages)
};

class PageSink {
 public:
  virtual ~PageSink() = default;
  // Whether the page that begins now should carry its items; without, only
  // where pages begin and whether anything was printed is worked out
  // (faster).
  virtual bool WantsItems() const { return true; }
  // `page` is complete (the sink may take its items); `next` is where the
  // following page begins. False stops the interpreter.
  virtual bool PageDone(Page& page, const PageStart& next) = 0;
};

class PrinterInterpreter {
 public:
  PrinterInterpreter(const PrintoutSettings& settings, PageSink& sink);

  // The start of the first page: the printer as switched on, line 0.
  static PageStart FirstPage(const PrintoutSettings& settings);

  // Goes on from `start` (the first page's or one a sink was given); the
  // next FeedLine must be the start's line, from its offset.
  void StartAt(const PageStart& start);

  // The bytes of one line, read from `offset` on. False once the sink has
  // stopped the interpretation.
  bool FeedLine(const ItemOrigin& origin, const uint8_t* data, size_t size, size_t offset = 0);

  // The end of the recording: the last page is handed over when anything
  // was printed on it. False when the sink stopped.
  bool Finish();

  bool stopped() const { return stopped_; }
  const PrinterState& state() const { return state_; }

 private:
  enum class Parse : uint8_t {
    kText,      // characters and control codes
    kEscape,    // ESC came: its command byte is next
    kParams,    // collecting a command's parameter bytes
    kList,      // ESC B, ESC D, ESC b: values up to NUL
    kSkip,      // bytes the command carries that print nothing here
    kImage,     // bit-image columns
    kUserChar,  // the next downloaded character's header
    kRaster,    // compressed raster data (skipped)
  };

  // Dimensions of the model.
  struct Metrics {
    int32_t feedStep;      // ESC 3, ESC J, ESC j
    int32_t spacingStep;   // ESC A
    int32_t relativeStep;  // ESC backslash
    int32_t spaceStep;     // ESC SP
    int32_t cellHeight;    // characters
    int32_t ascent;        // from the cell's top to the baseline
    int32_t underlineAt;   // from the cell's top to the underline's centre
    int32_t underlineThickness;
    int32_t dotSize;
  };

  const PrintoutSettings settings_;
  PageSink& sink_;
  PageBuilder builder_;
  Metrics metrics_{};
  int32_t sheet_width_ = 0;
  int32_t left_offset_ = 0;  // the printer's first column on the sheet
  PrinterState state_;
  bool stopped_ = false;
  uint32_t pending_blanks_ = 0;

  // The line being read.
  ItemOrigin origin_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;

  // The escape sequence being read.
  Parse parse_ = Parse::kText;
  Parse after_skip_ = Parse::kText;
  uint8_t command_ = 0;
  bool extended_ = false;  // command_ is the letter of an ESC ( command
  uint8_t params_[8] = {};
  size_t have_ = 0;
  size_t need_ = 0;
  uint32_t skip_ = 0;
  uint8_t list_[32] = {};
  size_t list_count_ = 0;
  size_t list_max_ = 0;
  bool list_channel_ = false;  // ESC b: its channel byte comes first
  uint32_t user_chars_ = 0;
  uint32_t raster_left_ = 0;
  uint32_t raster_literal_ = 0;
  bool raster_repeat_ = false;
  uint8_t raster_count_ = 0;

  // The bit image being read.
  ImageGeometry image_{};
  uint32_t image_columns_ = 0;  // still to come
  int32_t image_visible_ = 0;   // of those, how many lie left of the right margin
  uint8_t image_bytes_ = 0;     // per column
  bool image_nine_dot_ = false;
  uint8_t column_[3] = {};
  uint8_t column_have_ = 0;
  bool image_item_open_ = false;

  void FlushBlankPages();
  void Step(uint8_t byte);
  void Control(uint8_t byte);
  void Escape(uint8_t command);
  void Expect(uint8_t command, size_t count);
  void Execute();
  void ExecuteExtended();
  void ListByte(uint8_t byte);
  void FinishList();
  void ImageByte(uint8_t byte);
  void RasterByte(uint8_t byte);
  void Skip(uint32_t count, Parse after = Parse::kText);
  void Unknown(uint8_t command);

  void Reset();
  void PrintByte(uint8_t byte);
  int32_t PitchWidth() const;
  int32_t CellWidth() const;
  int32_t Advance() const;
  bool Wide() const { return state_.doubleWidth || state_.doubleWidthLine; }
  void CarriageReturn() { state_.x = state_.leftMargin; }
  void LineFeed(size_t resume);
  void MoveDown(int32_t distance, size_t resume);
  void FormFeed(size_t resume);
  void VerticalTab(size_t resume);
  void HorizontalTab();
  // Hands the page over; `height` (when above 0) replaces the page length
  // as its height.
  void EndPage(PageEnd end, size_t resume, uint32_t blanks_after, bool line_goes_on,
               int32_t height = 0);
  void BeginPage();
  void BeginLineSpan();
  void StartImage(uint8_t mode, uint32_t columns);
  void StartNineDotImage(uint8_t mode, uint32_t columns);
  void OpenImageItem();
  void CloseImageItem();
  // False (and nothing changed) for a length the printer does not take.
  bool SetPageLength(int64_t length);
  // ESC C: the current line becomes the top of a page.
  void TopOfPageHere(size_t resume);
};

}  // namespace qb
