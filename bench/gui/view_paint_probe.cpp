// Paint times of the text view on a record file: one full repaint with the
// top line at the start, the middle and the end (median of 25 each), and
// 1000 Page Down steps with a repaint after each. Prints milliseconds.
//
//   view_paint_probe FILE.qbd [WIDTH HEIGHT]
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/quillbank_doc.h"
#include "app/text_view.h"

namespace {

double MedianRepaintMs(CQuillbankManagerView& view) {
  std::vector<double> times;
  for (int i = 0; i < 25; ++i) {
    QElapsedTimer timer;
    timer.start();
    view.viewport()->repaint();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QStringList args = application.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: view_paint_probe FILE.qbd [WIDTH HEIGHT]\n");
    return 2;
  }
  CQuillbankManagerDoc doc;
  if (!doc.OpenDocument(args[1])) return 1;
  CQuillbankManagerView view(&doc.core(), nullptr);
  view.resize(args.size() > 3 ? args[2].toInt() : 1280, args.size() > 3 ? args[3].toInt() : 900);
  view.show();
  // Paints reach the screen only once the window is exposed.
  while (!view.windowHandle() || !view.windowHandle()->isExposed()) QApplication::processEvents();
  QApplication::processEvents();
  int last = view.lastLine();
  std::printf("lines %d\n", last + 1);
  for (auto [name, line] : {std::pair{"top", 0}, {"middle", last / 2}, {"end", last}}) {
    view.VScroll(CQuillbankManagerView::kThumbPosition, line);
    std::printf("paint %-6s %.2f ms\n", name, MedianRepaintMs(view));
  }
  view.VScroll(CQuillbankManagerView::kTop);
  view.viewport()->repaint();
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < 1000; ++i) {
    view.PageDown();
    view.viewport()->repaint();
  }
  std::printf("1000 page down %.1f ms (top line %d, %d lines a page)\n", timer.nsecsElapsed() / 1e6,
              view.topLine(), view.linesPerPage());
  return 0;
}
