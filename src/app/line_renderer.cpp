#include "app/line_renderer.h"

#include <QColor>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QString>
#include <cmath>
#include <string>

#include "app/ansi_text.h"
#include "document/printer_codes.h"
#include "document/record_document.h"

namespace {

// Liberation Mono (and the font it stands in for) has a cell height of
// 1.1328 times its size.
constexpr double kCellHeightPerSize = 1.1328;
constexpr double kLineFontHeight = 40;
constexpr double kWideFontWidth = 30;
constexpr double kNarrowFontWidth = 20;

const QColor kUnknownCodesBackground(255, 128, 128);
const QColor kMarkedText(255, 0, 0);

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

// The display text without trailing white space, in the document's
// character set; a single blank when nothing is left.
QString ShownText(const std::string& text) {
  size_t end = text.size();
  while (end > 0) {
    unsigned char c = static_cast<unsigned char>(text[end - 1]);
    if (c != ' ' && (c < '\t' || c > '\r')) break;
    --end;
  }
  if (end == 0) return QStringLiteral(" ");
  return AnsiText(std::string_view(text).substr(0, end));
}

}  // namespace

QRectF FromYUp(double left, double top, double right, double bottom) {
  return QRectF(QPointF(left, -top), QPointF(right, -bottom));
}

QFont MakeLineFont(double height, double width, QFont::Weight weight) {
  QFont font(QStringLiteral("Courier New"));
  // Where Courier New is missing and the system does not stand in for it
  // (Wine), its metric twin.
  font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
  font.setStyleHint(QFont::TypeWriter, QFont::PreferQuality);
  font.setFixedPitch(true);
  font.setWeight(weight);
  font.setPixelSize(static_cast<int>(std::lround(height / kCellHeightPerSize)));
  double natural = QFontMetricsF(font).averageCharWidth();
  if (natural > 0) font.setStretch(static_cast<int>(std::lround(100 * width / natural)));
  // Font engines that round the stretched width down to whole units (those
  // of Windows) reach the asked width a step or two later.
  for (int step = 0;
       step < 3 && natural > 0 && QFontMetricsF(font).averageCharWidth() < width - 0.5; ++step)
    font.setStretch(font.stretch() + 1);
  return font;
}

LineFonts::LineFonts()
    : wide_(MakeLineFont(kLineFontHeight, kWideFontWidth)),
      narrow_(MakeLineFont(kLineFontHeight, kNarrowFontWidth)) {}

LineFonts::LineFonts(double wide_width, double narrow_width, QFont::Weight weight)
    : wide_(MakeLineFont(kLineFontHeight, wide_width, weight)),
      narrow_(MakeLineFont(kLineFontHeight, narrow_width, weight)) {}

void LineFonts::Choose(bool scan_printer_esc) {
  normal_ = scan_printer_esc ? &wide_ : &narrow_;
  condensed_ = &narrow_;
  current_ = normal_;
}

bool IsConsumedLine(qb::RecordDocument& doc, int line, bool scan_printer_esc) {
  if (!doc.LineHasClass(line, qb::kClassCodesOnly)) return false;
  if (doc.LineHoldsCode(line, qb::kCodeFormFeed)) return true;
  return scan_printer_esc && (doc.LineHoldsCode(line, qb::kCodeInitialise) ||
                              doc.LineHoldsCode(line, qb::kCodeCondensed));
}

double RenderLine(QPainter* painter, const QRectF& rect, qb::RecordDocument& doc, int line,
                  const LineOptions& options, LineFonts& fonts) {
  bool codes_only = doc.LineHasClass(line, qb::kClassCodesOnly);
  if (codes_only) {
    bool form_feed = doc.LineHoldsCode(line, qb::kCodeFormFeed);
    bool reset = options.scan_printer_esc && doc.LineHoldsCode(line, qb::kCodeInitialise);
    bool condensed = options.scan_printer_esc && doc.LineHoldsCode(line, qb::kCodeCondensed);
    if (form_feed || reset || condensed) {
      if (reset) fonts.SelectNormal();
      if (condensed) fonts.SelectCondensed();
      if (!form_feed) return 0;
      if (painter != nullptr && options.target == LineTarget::kScreen) {
        painter->setPen(QPen(Qt::black, 0));  // one device pixel
        painter->drawLine(QPointF(rect.left(), rect.top()), QPointF(rect.right(), rect.top()));
      }
      return -1;
    }
    if (!options.show_unknown_printer_esc) return 0;
  }

  QString text = ShownText(doc.GetLineText(line));
  const QFont& font = fonts.current();
  QRectF bounds = QFontMetricsF(font).boundingRect(
      QRectF(rect.left(), rect.top(), rect.width(), 1e9), kTextFlags, text);
  double height = bounds.height();
  if (painter != nullptr) {
    QRectF box(rect.left(), rect.top(), rect.width(), height);
    if (codes_only)
      painter->fillRect(QRectF(box.topLeft(), bounds.size()), kUnknownCodesBackground);
    bool marked = doc.LineHasClass(line, qb::kClassMixed) || !doc.IsLineValid(line);
    painter->setPen(marked ? kMarkedText : QColor(Qt::black));
    painter->setBackgroundMode(Qt::TransparentMode);
    painter->setFont(font);
    painter->drawText(box, kTextFlags, text);
  }
  return height;
}
