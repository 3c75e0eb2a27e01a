// Writes the icons for the desktop's icon theme as PNG files:
//   render_icons OUT_DIR SIZE...  ->  OUT_DIR/SIZExSIZE/apps/quillbank-manager.png
//                                     OUT_DIR/SIZExSIZE/mimetypes/application-x-quillbank-document.png
// The first is the application icon, the second the icon file managers show
// for a record file: a printed page with the application icon in its corner.
// The drawing is the application's own: its source is compiled in here, so
// the installed icons always match the icon the program shows in its windows.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/app_pictures.cpp"  // NOLINT(bugprone-suspicious-include)

namespace {

// A sheet of printout with a folded top right corner and lines of print,
// and the application icon over its lower right part.
QPixmap DocumentPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal left = size * 0.12;
  const qreal right = size * 0.88;
  const qreal top = size * 0.03;
  const qreal bottom = size * 0.97;
  const qreal fold = size * 0.24;
  const qreal pen = qMax<qreal>(1, size / 32.0);
  QPainterPath sheet;
  sheet.moveTo(left, top);
  sheet.lineTo(right - fold, top);
  sheet.lineTo(right, top + fold);
  sheet.lineTo(right, bottom);
  sheet.lineTo(left, bottom);
  sheet.closeSubpath();
  p.setPen(QPen(kPaperShade.darker(130), pen));
  p.setBrush(kPaper);
  p.drawPath(sheet);
  QPainterPath corner;
  corner.moveTo(right - fold, top);
  corner.lineTo(right - fold, top + fold);
  corner.lineTo(right, top + fold);
  corner.closeSubpath();
  p.setBrush(kPaperShade);
  p.drawPath(corner);

  // Lines of print down the page, shorter under the fold.
  p.setPen(QPen(kInk, pen));
  const qreal step = size / (size >= 32 ? 10.0 : 6.0);
  int row = 0;
  for (qreal y = top + step * 1.2; y < bottom - step * 0.6; y += step, ++row) {
    const qreal end = y < top + fold ? right - fold - step * 0.5 : right - step;
    const qreal length = (end - left - step) * (0.6 + 0.4 * ((row * 37) % 10) / 10.0);
    p.drawLine(QPointF(left + step, y), QPointF(left + step + length, y));
  }

  const int badge = size / 2 + size / 16;
  p.drawPixmap(size - badge, size - badge, IconPixmap(badge));
  return pixmap;
}

bool Save(const QPixmap& pixmap, const QString& folder, const QString& name) {
  const QString file = folder + QLatin1Char('/') + name;
  if (QDir().mkpath(folder) && pixmap.save(file, "PNG")) return true;
  std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(file));
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Qt notes (such as a missing runtime folder) would only clutter the build.
  qputenv("QT_LOGGING_RULES", "default.warning=false");
  QGuiApplication application(argc, argv);
  if (argc < 3) {
    std::fputs("usage: render_icons OUT_DIR SIZE...\n", stderr);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLatin1(argv[i]).toInt(&ok);
    if (!ok || size < 16 || size > 1024) {
      std::fprintf(stderr, "render_icons: bad size %s\n", argv[i]);
      return 2;
    }
    const QString folder = QStringLiteral("%1/%2x%2/").arg(out).arg(size);
    if (!Save(IconPixmap(size), folder + QStringLiteral("apps"),
              QStringLiteral("quillbank-manager.png")) ||
        !Save(DocumentPixmap(size), folder + QStringLiteral("mimetypes"),
              QStringLiteral("application-x-quillbank-document.png")))
      return 1;
  }
  return 0;
}
