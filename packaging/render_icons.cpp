// Writes the application icon as PNG files for the desktop's icon theme:
//   render_icons OUT_DIR SIZE...  ->  OUT_DIR/SIZExSIZE/apps/quillbank-manager.png
// The drawing is the application's own: its source is compiled in here, so
// the installed icons always match the icon the program shows in its windows.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/app_pictures.cpp"  // NOLINT(bugprone-suspicious-include)

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
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
    const QString file = folder + QStringLiteral("/quillbank-manager.png");
    if (!QDir().mkpath(folder) || !IconPixmap(size).save(file, "PNG")) {
      std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
