// Paint times of the paper view at the window's width: the recording laid
// out into pages, then one full repaint with the first, the middle and the
// last page at the top (median and worst of 25 each; the pages are kept laid
// out, as they are while a user looks at them), and going to a page not laid
// out before and painting it (25 pages at random). Prints milliseconds.
//
//   paper_paint_probe FILE.qbd [WIDTH HEIGHT]
#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "app/paper_view.h"
#include "app/quillbank_doc.h"

namespace {

struct Times {
  double median;
  double worst;
};

Times Summary(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.back()};
}

double RepaintMs(CPaperView& view) {
  QElapsedTimer timer;
  timer.start();
  view.viewport()->repaint();
  return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QStringList args = application.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: paper_paint_probe FILE.qbd [WIDTH HEIGHT]\n");
    return 2;
  }
  CQuillbankManagerDoc doc;
  if (!doc.OpenDocument(args[1])) return 1;
  CPaperView view(&doc.core(), nullptr);
  view.resize(args.size() > 3 ? args[2].toInt() : 1280, args.size() > 3 ? args[3].toInt() : 900);
  view.show();
  while (!view.windowHandle() || !view.windowHandle()->isExposed()) QApplication::processEvents();
  QElapsedTimer layout;
  layout.start();
  if (!view.Paginate()) return 1;
  const double layout_ms = layout.nsecsElapsed() / 1e6;
  const int pages = view.pageCount();
  std::printf("pages %d (laid out in %.0f ms)\n", pages, layout_ms);
  if (pages == 0) return 1;
  const double width = view.viewport()->width();
  std::printf("page at fit width: %.0f pixels wide\n", width);
  for (auto [name, page] : {std::pair{"first", 0}, {"middle", pages / 2}, {"last", pages - 1}}) {
    view.ShowPage(page);
    std::vector<double> times;
    for (int i = 0; i < 25; ++i) times.push_back(RepaintMs(view));
    Times t = Summary(times);
    std::printf("paint %-6s page %-6d median %.2f ms, worst %.2f ms\n", name, view.topPage(),
                t.median, t.worst);
  }
  // Far apart, so that each page is laid out for its paint.
  std::mt19937 random(7);
  std::vector<double> fresh;
  for (int i = 0; i < 25; ++i) {
    const int page = static_cast<int>(random() % static_cast<unsigned>(pages));
    QElapsedTimer timer;
    timer.start();
    view.ShowPage(page);
    view.viewport()->repaint();
    fresh.push_back(timer.nsecsElapsed() / 1e6);
  }
  Times t = Summary(fresh);
  std::printf("go to a page and paint it (laid out on demand): median %.2f ms, worst %.2f ms\n",
              t.median, t.worst);
  return 0;
}
