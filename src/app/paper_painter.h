// One printout page (printout/page_items.h) drawn as the printer put it on
// paper, for the paper view and for printing alike. The painter's transform
// maps the page's units (1/2160 inch from the sheet's top-left corner) to
// the device.
//
// Text runs are drawn as text (a PDF keeps them as text) in a monospace font
// sized to their cells, each character placed on its cell; bit images as
// 1-bit images at their own resolution, one image per item (smoothed on
// screen, kept without loss on paper); underlines as bars; unknown escape sequences as
// small marks in the left margin. Everything a manipulated line made is drawn in red, with a red
// bar in the left margin beside it and the warning text of a manipulated record beside what it
// printed (above it when the line has no room on its right).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "printout/page_items.h"

class QPainter;

// The red of everything a manipulated line made, as the line view has it.
inline const QColor kManipulatedInk(255, 0, 0);

// Where the warning of a manipulated record stands on a page: its cell
// rectangle (page units) and the lines it is for.
struct WarningPlace {
  QRectF box;
  int32_t cellWidth = 0;
  int32_t top = 0;  // the printed extent it is for
  int32_t bottom = 0;
};

// The warnings of a page: one for each band of print that manipulated lines
// made (spans that overlap from top to bottom share one).
std::vector<WarningPlace> WarningPlaces(const qb::Page& page);

// The image of a bit-image item: its own bits (the item must outlive it),
// a dot in black or red on a transparent ground.
QImage DotImage(const qb::BitImage& image);
// Whether `right` goes on the strip `left` printed, right beside it, in the
// same ink; and the image of such pieces [first, end) joined.
bool JoinsStrip(const qb::BitImage& left, const qb::BitImage& right);
QImage StripImage(const std::vector<qb::BitImage>& images, size_t first, size_t end);

class PaperPainter {
 public:
  // How Draw shows the page: on screen with the sheet's edge, and dots
  // smoothed to the pixels; highlighted rectangles (page units) mark a find
  // hit.
  struct Extras {
    bool edge = false;
    bool smooth = false;
    std::vector<QRectF> highlight;
  };

  // A font for cells of one size and style: the font (stretched to the
  // cell's width) and its glyphs, which are placed one to a cell.
  struct CellFont {
    QFont font;
    QRawFont raw;
  };

  // Draws the sheet (white) and everything on it.
  void Draw(QPainter& painter, const qb::Page& page, const Extras& extras);

  // The font of cells `cellWidth` wide and `height` high, in the style
  // given.
  const CellFont& FontFor(int32_t height, int32_t cellWidth, uint16_t style);

 private:
  // Draws `text` one character to a cell from (x, baseline), a cell every
  // `advance` units. A character the font lacks is drawn alone by a font
  // that has it, on its cell.
  void DrawCells(QPainter& painter, const CellFont& font, double x, double baseline, double advance,
                 const std::u32string& text, const QColor& ink);
  void DrawWarnings(QPainter& painter, const qb::Page& page);
  void DrawImages(QPainter& painter, const std::vector<qb::BitImage>& images, bool smooth);

  std::map<std::tuple<int32_t, int32_t, uint16_t>, CellFont> fonts_;
};
