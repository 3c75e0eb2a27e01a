#include "app/app_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

constexpr int kSplashWidth = 629;
constexpr int kSplashHeight = 472;
constexpr int kAboutSize = 72;

const QColor kDeepBlue(16, 38, 74);
const QColor kSeaBlue(28, 96, 140);
const QColor kTeal(40, 150, 150);
const QColor kCardBody(226, 176, 58);
const QColor kCardEdge(150, 104, 20);
const QColor kContact(246, 222, 140);
const QColor kPaper(250, 248, 240);
const QColor kPaperShade(200, 198, 188);
const QColor kInk(120, 128, 140);

// A memory card of `width` (height follows the card's proportions) with its
// top left corner at the origin of `p`: a rounded body, a cut corner and a
// row of gold contacts along the bottom edge.
void DrawCard(QPainter& p, qreal width) {
  const qreal height = width * 0.63;
  const qreal cut = width * 0.12;
  QPainterPath body;
  body.moveTo(cut, 0);
  body.lineTo(width, 0);
  body.lineTo(width, height);
  body.lineTo(0, height);
  body.lineTo(0, cut);
  body.closeSubpath();

  QLinearGradient shine(0, 0, width, height);
  shine.setColorAt(0, kCardBody.lighter(125));
  shine.setColorAt(1, kCardBody.darker(115));
  p.setPen(QPen(kCardEdge, qMax<qreal>(1, width / 90)));
  p.setBrush(shine);
  p.drawPath(body);

  // Label area and contacts.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 70));
  p.drawRoundedRect(QRectF(width * 0.18, height * 0.14, width * 0.7, height * 0.4), width * 0.03,
                    width * 0.03);
  const int contacts = 8;
  const qreal pitch = width * 0.8 / contacts;
  p.setBrush(kContact);
  p.setPen(QPen(kCardEdge, qMax<qreal>(0.5, width / 200)));
  for (int i = 0; i < contacts; ++i) {
    p.drawRect(
        QRectF(width * 0.1 + i * pitch + pitch * 0.15, height * 0.7, pitch * 0.7, height * 0.22));
  }
}

// A strip of printer paper `width` wide and `height` long with the origin at
// its top left corner: ruled lines of print and a torn lower edge.
void DrawPaperStrip(QPainter& p, qreal width, qreal height, bool with_lines) {
  QPainterPath strip;
  strip.moveTo(0, 0);
  strip.lineTo(width, 0);
  strip.lineTo(width, height);
  const int teeth = 8;
  for (int i = teeth; i > 0; --i) {
    const qreal x = width * (i - 0.5) / teeth;
    strip.lineTo(x, height - width / teeth * 0.5);
    strip.lineTo(width * (i - 1) / teeth, height);
  }
  strip.closeSubpath();
  p.setPen(QPen(kPaperShade, qMax<qreal>(1, width / 120)));
  p.setBrush(kPaper);
  p.drawPath(strip);
  if (!with_lines) return;
  p.setPen(QPen(kInk, qMax<qreal>(1, width / 70)));
  const qreal step = width / 9;
  int row = 0;
  for (qreal y = step; y < height - step * 1.5; y += step, ++row) {
    const qreal length = width * (0.45 + 0.35 * ((row * 37) % 10) / 10.0);
    p.drawLine(QPointF(width * 0.1, y), QPointF(width * 0.1 + length * 0.8, y));
  }
}

void FillBackground(QPainter& p, const QRectF& area) {
  QLinearGradient sky(area.topLeft(), area.bottomRight());
  sky.setColorAt(0, kDeepBlue);
  sky.setColorAt(0.55, kSeaBlue);
  sky.setColorAt(1, kTeal);
  p.fillRect(area, sky);
}

QPixmap IconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath round;
  round.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size * 0.18, size * 0.18);
  p.setClipPath(round);
  FillBackground(p, QRectF(0, 0, size, size));
  p.save();
  p.translate(size * 0.5, size * 0.08);
  DrawPaperStrip(p, size * 0.36, size * 0.6, size >= 32);
  p.restore();
  p.translate(size * 0.08, size * 0.45);
  DrawCard(p, size * 0.72);
  return pixmap;
}

}  // namespace

QPixmap SplashPicture() {
  QPixmap pixmap(kSplashWidth, kSplashHeight);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  FillBackground(p, QRectF(0, 0, kSplashWidth, kSplashHeight));

  // A soft light behind the picture's middle.
  QRadialGradient glow(QPointF(kSplashWidth * 0.5, kSplashHeight * 0.42), kSplashWidth * 0.5);
  glow.setColorAt(0, QColor(255, 255, 255, 60));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(pixmap.rect(), glow);

  // The picture sits in the band between the title lines and the signature:
  // paper strips curling out behind a card, turned a little for depth.
  p.save();
  p.translate(338, 104);
  p.rotate(8);
  DrawPaperStrip(p, 92, 132, true);
  p.restore();
  p.save();
  p.translate(214, 116);
  p.rotate(-12);
  p.setOpacity(0.55);
  DrawPaperStrip(p, 70, 104, true);
  p.restore();

  // The card, with a faint shadow.
  p.save();
  p.translate(236, 132);
  p.rotate(-6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 70));
  p.drawRoundedRect(QRectF(6, 7, 150, 95), 6, 6);
  DrawCard(p, 150);
  p.restore();
  return pixmap;
}

QPixmap AboutPicture() {
  QPixmap pixmap(kAboutSize, kAboutSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.save();
  p.translate(32, 2);
  p.rotate(6);
  DrawPaperStrip(p, 30, 46, true);
  p.restore();
  p.translate(4, 34);
  p.rotate(-6);
  DrawCard(p, 56);
  return pixmap;
}

QIcon AppIcon() {
  QIcon icon;
  icon.addPixmap(IconPixmap(16));
  icon.addPixmap(IconPixmap(32));
  return icon;
}
