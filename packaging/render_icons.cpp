// Writes the icons for the desktop's icon theme as PNG files:
//   render_icons OUT_DIR SIZE...  ->  OUT_DIR/SIZExSIZE/apps/quillbank-manager.png
//                                     OUT_DIR/SIZExSIZE/mimetypes/application-x-quillbank-document.png
// or both as Windows icon files, in the sizes Windows asks for:
//   render_icons --ico APP.ico DOCUMENT.ico
// The first is the application icon, the second the icon file managers show
// for a record file: a printed page with the application icon in its corner.
// The drawing is the application's own: its source is compiled in here, so
// the installed icons always match the icon the program shows in its windows.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtEndian>
#include <cstdio>
#include <functional>

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

// A Windows icon file holding the picture in each size, each as PNG.
bool SaveIco(const std::function<QPixmap(int)>& draw, const QString& file) {
  static constexpr int kSizes[] = {16, 24, 32, 48, 64, 256};
  constexpr int kCount = sizeof kSizes / sizeof kSizes[0];
  QByteArray head(6 + 16 * kCount, '\0');
  QByteArray images;
  auto put16 = [&head](int at, int value) { qToLittleEndian<quint16>(value, head.data() + at); };
  auto put32 = [&head](int at, int value) { qToLittleEndian<quint32>(value, head.data() + at); };
  put16(2, 1);  // an icon
  put16(4, kCount);
  for (int i = 0; i < kCount; ++i) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!draw(kSizes[i]).save(&buffer, "PNG")) return false;
    const int entry = 6 + 16 * i;
    head[entry] = static_cast<char>(kSizes[i] & 0xFF);  // 256 is written as 0
    head[entry + 1] = static_cast<char>(kSizes[i] & 0xFF);
    put16(entry + 4, 1);   // planes
    put16(entry + 6, 32);  // bits per pixel
    put32(entry + 8, static_cast<int>(png.size()));
    put32(entry + 12, static_cast<int>(head.size() + images.size()));
    images += png;
  }
  QFile out(file);
  if (out.open(QIODevice::WriteOnly) && out.write(head + images) == head.size() + images.size())
    return true;
  std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(file));
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Qt notes (such as a missing runtime folder) would only clutter the build.
  qputenv("QT_LOGGING_RULES", "default.warning=false");
  QGuiApplication application(argc, argv);
  if (argc == 4 && QByteArray(argv[1]) == "--ico")
    return SaveIco(IconPixmap, QString::fromLocal8Bit(argv[2])) &&
                   SaveIco(DocumentPixmap, QString::fromLocal8Bit(argv[3]))
               ? 0
               : 1;
  if (argc < 3) {
    std::fputs(
        "usage: render_icons OUT_DIR SIZE...\n       render_icons --ico APP.ico DOCUMENT.ico\n",
        stderr);
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
