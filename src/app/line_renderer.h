// One document line drawn or measured as the instrument's printer put it on
// paper: the rule that consumes lines of printer codes (page breaks and font
// switches), the hidden or marked lines of unhandled codes, the red lines,
// and the word-wrapped text. Shared by the screen view and printing.
//
// Geometry is in 0.1 mm units with y growing downward; the painter's
// transform maps those units to the device. FromYUp converts rectangles given
// with y growing upward (negative below the origin).
#pragma once

#include <QFont>
#include <QRectF>

class QPainter;

namespace qb {
class RecordDocument;
}

// A rectangle given by its left, top, right and bottom edges in y-up
// coordinates (top above bottom, so top >= bottom), as a y-down rectangle.
QRectF FromYUp(double left, double top, double right, double bottom);

// A fixed-pitch "Courier New" font whose cell is `height` units high and
// whose characters advance `width` units on average (units of the painter's
// logical coordinates), of the given weight.
QFont MakeLineFont(double height, double width, QFont::Weight weight = QFont::Normal);

// The two fonts of the printer emulation (height 40, widths 30 and 20 on
// screen) and the slots the lines switch between.
class LineFonts {
 public:
  LineFonts();
  // Fonts of height 40 with the given widths and weight (printing).
  LineFonts(double wide_width, double narrow_width, QFont::Weight weight);

  // Points the normal slot at the wide font when escape scanning is on, at
  // the narrow one when it is off; the condensed slot always at the narrow
  // one. The current font becomes the normal one.
  void Choose(bool scan_printer_esc);

  const QFont& wide() const { return wide_; }
  const QFont& narrow() const { return narrow_; }
  const QFont& normal() const { return *normal_; }
  const QFont& condensed() const { return *condensed_; }
  const QFont& current() const { return *current_; }
  void SelectNormal() { current_ = normal_; }
  void SelectCondensed() { current_ = condensed_; }

 private:
  QFont wide_;
  QFont narrow_;
  const QFont* normal_ = &wide_;
  const QFont* condensed_ = &narrow_;
  const QFont* current_ = &wide_;
};

// True when the line holds only printer codes that the emulation acts on: a
// form feed, or (with escape scanning) the printer reset or condensed-on
// sequence. Such a line takes no space.
bool IsConsumedLine(qb::RecordDocument& doc, int line, bool scan_printer_esc);

// Where a line goes: the screen marks page breaks with a rule, printing
// leaves that to the page layout.
enum class LineTarget { kScreen, kPrinter };

struct LineOptions {
  bool scan_printer_esc = true;
  bool show_unknown_printer_esc = false;
  LineTarget target = LineTarget::kScreen;
};

// Draws the line in `rect` (text from its top-left corner, wrapped at its
// right edge), or only measures it when `painter` is null; either way a
// consumed line switches the current font in `fonts`. Returns the height
// used: -1 for a consumed form feed, 0 for any other consumed line and for a
// hidden line of unhandled codes, else the height of the wrapped text.
double RenderLine(QPainter* painter, const QRectF& rect, qb::RecordDocument& doc, int line,
                  const LineOptions& options, LineFonts& fonts);
