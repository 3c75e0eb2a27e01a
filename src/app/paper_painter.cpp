#include "app/paper_painter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>

#include "app/line_renderer.h"
#include "base/messages.h"
#include "printout/printout_units.h"

namespace {

using qb::InchSteps;

// The warning of a manipulated record: condensed cells 1/9 inch high, set
// off from what the line printed by 1/10 inch.
constexpr int32_t kWarningHeight = InchSteps(1, 9);
constexpr int32_t kWarningCell = InchSteps(1, 20);
constexpr int32_t kWarningGap = InchSteps(1, 10);
const QColor kWarningGround(255, 236, 236, 235);

// The red bar in the left margin, and the marks of unknown sequences
// beside it.
constexpr int32_t kBarX = InchSteps(1, 40);
constexpr int32_t kBarWidth = InchSteps(1, 30);
constexpr int32_t kMarkX = InchSteps(1, 12);
constexpr int32_t kMarkSize = InchSteps(1, 20);
const QColor kMarkInk(230, 120, 0);

const QColor kSheetEdge(150, 150, 150);
// Below this many pixels to a dot an image is averaged down before drawing.
constexpr double kAverageBelow = 0.75;
const QColor kHighlight(255, 220, 0, 110);

QString WarningText() {
  return QString::fromUtf8(qb::LoadMessage(qb::msg::kManipulated));
}

bool Overlaps(int32_t top, int32_t bottom, int32_t y0, int32_t y1) {
  return y0 < bottom && y1 > top;
}

QFont::Weight WeightOf(uint16_t style) {
  const bool bold = (style & qb::kStyleBold) != 0;
  const bool strike = (style & qb::kStyleDoubleStrike) != 0;
  if (bold && strike) return QFont::ExtraBold;
  if (bold) return QFont::Bold;
  if (strike) return QFont::DemiBold;
  return QFont::Normal;
}

}  // namespace

std::vector<WarningPlace> WarningPlaces(const qb::Page& page) {
  // The bands of print the manipulated lines made, overlapping ones joined.
  std::vector<std::pair<int32_t, int32_t>> bands;
  for (const qb::LineSpan& span : page.lines)
    if (span.origin.manipulated) bands.emplace_back(span.top, std::max(span.bottom, span.top + 1));
  std::sort(bands.begin(), bands.end());
  std::vector<std::pair<int32_t, int32_t>> joined;
  for (const auto& band : bands) {
    if (!joined.empty() && band.first < joined.back().second)
      joined.back().second = std::max(joined.back().second, band.second);
    else
      joined.push_back(band);
  }

  const int32_t width = static_cast<int32_t>(WarningText().size()) * kWarningCell;
  std::vector<WarningPlace> places;
  for (const auto& [top, bottom] : joined) {
    // What is printed beside the band, left and right.
    int32_t left = INT32_MAX;
    int32_t right = INT32_MIN;
    auto take = [&](int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
      if (!Overlaps(top, bottom, y0, y1)) return;
      left = std::min(left, x0);
      right = std::max(right, x1);
    };
    for (const qb::TextRun& run : page.texts)
      take(run.x, run.x + run.Width(), run.y, run.y + run.height);
    for (const qb::BitImage& image : page.images)
      take(image.x, image.x + image.Width(), image.y, image.y + image.Height());
    for (const qb::Rule& rule : page.rules)
      take(rule.x0, rule.x1, rule.y - rule.thickness, rule.y + rule.thickness);
    if (left > right) {
      left = right = 0;
      for (const qb::LineSpan& span : page.lines)
        if (span.origin.manipulated && Overlaps(top, bottom, span.top, span.bottom + 1)) {
          left = right = span.anchorX;
          break;
        }
    }
    WarningPlace place;
    place.cellWidth = kWarningCell;
    place.top = top;
    place.bottom = bottom;
    double x = right + kWarningGap;
    double y = top + (bottom - top - kWarningHeight) / 2.0;
    if (x + width > page.width - kWarningGap) {
      // No room on the right: above the band, from its left edge.
      x = left;
      y = std::max<double>(0, top - kWarningHeight);
    }
    place.box = QRectF(x, y, width, kWarningHeight);
    places.push_back(place);
  }
  return places;
}

bool JoinsStrip(const qb::BitImage& left, const qb::BitImage& right) {
  return right.y == left.y && right.rows == left.rows && right.dotPitchX == left.dotPitchX &&
         right.dotPitchY == left.dotPitchY && right.x == left.x + left.Width() &&
         right.origin.manipulated == left.origin.manipulated;
}

QImage StripImage(const std::vector<qb::BitImage>& images, size_t first, size_t end) {
  int32_t columns = 0;
  for (size_t i = first; i < end; ++i) columns += images[i].columns;
  const qb::BitImage& head = images[first];
  if (columns <= 0 || head.rows <= 0) return QImage();
  QImage dots(columns, head.rows, QImage::Format_Mono);
  dots.fill(0);
  int32_t at = 0;
  for (size_t i = first; i < end; ++i) {
    const qb::BitImage& piece = images[i];
    for (int32_t row = 0; row < piece.rows && row < head.rows; ++row) {
      uchar* line = dots.scanLine(row);
      for (int32_t column = 0; column < piece.columns; ++column) {
        if (!piece.Dot(column, row)) continue;
        const int32_t x = at + column;
        line[x / 8] = static_cast<uchar>(line[x / 8] | (0x80 >> (x % 8)));
      }
    }
    at += piece.columns;
  }
  const QRgb ink = head.origin.manipulated ? kManipulatedInk.rgb() : qRgb(0, 0, 0);
  dots.setColorTable({qRgba(0, 0, 0, 0), ink});
  return dots;
}

QImage DotImage(const qb::BitImage& image) {
  if (image.columns <= 0 || image.rows <= 0 || image.bits.empty()) return QImage();
  QImage dots(image.bits.data(), image.columns, image.rows, image.stride, QImage::Format_Mono);
  const QRgb ink = image.origin.manipulated ? kManipulatedInk.rgb() : qRgb(0, 0, 0);
  dots.setColorTable({qRgba(0, 0, 0, 0), ink});
  return dots;
}

const PaperPainter::CellFont& PaperPainter::FontFor(int32_t height, int32_t cellWidth,
                                                    uint16_t style) {
  const auto key = std::make_tuple(height, cellWidth, style);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  CellFont cells;
  cells.font = MakeLineFont(std::max(height, 1), std::max(cellWidth, 1), WeightOf(style));
  cells.font.setItalic((style & qb::kStyleItalic) != 0);
  cells.raw = QRawFont::fromFont(cells.font);
  return fonts_.emplace(key, std::move(cells)).first->second;
}

void PaperPainter::DrawCells(QPainter& painter, const CellFont& font, double x, double baseline,
                             double advance, const std::u32string& text, const QColor& ink) {
  // The glyphs are placed on their cells themselves: a font's own advance
  // (and spacing added to it) is not exact enough for a line of 80 cells, on
  // a PDF page least of all.
  const QString chars = QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
  QList<quint32> found = font.raw.glyphIndexesForString(chars);
  if (found.size() != static_cast<qsizetype>(text.size())) {
    // Characters beyond the first plane: looked up one by one.
    found.clear();
    for (char32_t c : text) {
      const QList<quint32> one = font.raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
      found.append(one.isEmpty() ? 0 : one.first());
    }
  }
  QList<quint32> glyphs;
  QList<QPointF> positions;
  glyphs.reserve(found.size());
  positions.reserve(found.size());
  std::vector<size_t> lacking;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U' ') continue;
    const quint32 glyph = found[static_cast<qsizetype>(i)];
    if (glyph == 0) {
      lacking.push_back(i);
      continue;
    }
    glyphs.append(glyph);
    positions.append(QPointF(static_cast<double>(i) * advance, 0));
  }
  painter.setPen(ink);
  if (!glyphs.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(font.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(x, baseline), run);
  }
  if (lacking.empty()) return;
  painter.setFont(font.font);
  for (size_t i : lacking)
    painter.drawText(QPointF(x + static_cast<double>(i) * advance, baseline),
                     QString::fromUcs4(&text[i], 1));
}

void PaperPainter::DrawImages(QPainter& painter, const std::vector<qb::BitImage>& images,
                              bool smooth) {
  // On screen smoothed to the pixels; on paper (a PDF) kept as they are, at
  // the dots' resolution, stored without loss and not blurred by the viewer,
  // their ground transparent. There the pieces of one strip that several
  // lines printed side by side in one ink become one image.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  painter.setRenderHint(QPainter::LosslessImageRendering, !smooth);
  for (size_t first = 0; first < images.size();) {
    size_t end = first + 1;
    if (!smooth) {
      while (end < images.size() && JoinsStrip(images[end - 1], images[end])) ++end;
    }
    const qb::BitImage& image = images[first];
    QImage dots = end == first + 1 ? DotImage(image) : StripImage(images, first, end);
    first = end;
    if (dots.isNull()) continue;
    const QRectF target(image.x, image.y, static_cast<double>(dots.width()) * image.dotPitchX,
                        image.Height());
    // Much smaller than its dots, an image is averaged down first: drawn
    // smoothed it would only be sampled, and most dots of a thin line lost.
    const QSizeF pixels = painter.transform().mapRect(target).size();
    if (smooth && pixels.width() < kAverageBelow * dots.width() && pixels.width() >= 1 &&
        pixels.height() >= 1) {
      dots = dots.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                 .scaled(pixels.toSize().expandedTo(QSize(1, 1)), Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
    }
    painter.drawImage(target, dots);
  }
}

void PaperPainter::DrawWarnings(QPainter& painter, const qb::Page& page) {
  const std::u32string text = WarningText().toStdU32String();
  for (const WarningPlace& place : WarningPlaces(page)) {
    painter.fillRect(QRectF(kBarX, place.top, kBarWidth, place.bottom - place.top),
                     kManipulatedInk);
    painter.fillRect(place.box.adjusted(-kWarningCell / 2.0, 0, kWarningCell / 2.0, 0),
                     kWarningGround);
    const double baseline = place.box.top() + place.box.height() * 0.78;
    DrawCells(painter, FontFor(kWarningHeight, place.cellWidth, qb::kStyleBold), place.box.left(),
              baseline, place.cellWidth, text, kManipulatedInk);
  }
}

void PaperPainter::Draw(QPainter& painter, const qb::Page& page, const Extras& extras) {
  painter.save();
  const QRectF sheet(0, 0, page.width, page.height);
  painter.fillRect(sheet, Qt::white);
  if (extras.edge) {
    painter.setPen(QPen(kSheetEdge, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(sheet);
  }
  painter.setClipRect(sheet);
  DrawImages(painter, page.images, extras.smooth);
  for (const qb::Rule& rule : page.rules) {
    painter.fillRect(QRectF(rule.x0, rule.y - rule.thickness / 2.0, rule.x1 - rule.x0,
                            std::max(rule.thickness, 1)),
                     rule.origin.manipulated ? kManipulatedInk : QColor(Qt::black));
  }
  painter.setBackgroundMode(Qt::TransparentMode);
  for (const qb::TextRun& run : page.texts) {
    if (run.text.empty() || run.height <= 0) continue;
    DrawCells(painter, FontFor(run.height, run.cellWidth, run.style), run.x, run.baseline,
              run.advance, run.text, run.origin.manipulated ? kManipulatedInk : QColor(Qt::black));
  }
  painter.setPen(Qt::NoPen);
  for (const qb::MarginMark& mark : page.marks) {
    QPainterPath arrow;
    arrow.moveTo(kMarkX, mark.y);
    arrow.lineTo(kMarkX + kMarkSize, mark.y + kMarkSize / 2.0);
    arrow.lineTo(kMarkX, mark.y + kMarkSize);
    arrow.closeSubpath();
    painter.fillPath(arrow, mark.origin.manipulated ? kManipulatedInk : kMarkInk);
  }
  DrawWarnings(painter, page);
  for (const QRectF& box : extras.highlight) painter.fillRect(box, kHighlight);
  painter.restore();
}
