#include "app/mdi_arrange.h"

#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

namespace {

QList<QMdiSubWindow*> Windows(QMdiArea* area, bool minimised) {
  QList<QMdiSubWindow*> result;
  // Most recently active first.
  QList<QMdiSubWindow*> all = area->subWindowList(QMdiArea::ActivationHistoryOrder);
  std::reverse(all.begin(), all.end());
  for (QMdiSubWindow* window : all)
    if (window->isVisible() && window->isMinimized() == minimised) result.append(window);
  return result;
}

// Places the minimised windows; returns the height their rows take.
int PlaceIcons(QMdiArea* area) {
  QList<QMdiSubWindow*> icons = Windows(area, true);
  std::reverse(icons.begin(), icons.end());  // the oldest first, at the left
  const QRect space = area->viewport()->rect();
  int x = 0;
  int bottom = space.bottom() + 1;
  int row_height = 0;
  for (QMdiSubWindow* icon : icons) {
    QSize size = icon->size();
    if (x > 0 && x + size.width() > space.width()) {  // the row is full
      bottom -= row_height;
      x = 0;
      row_height = 0;
    }
    icon->move(x, bottom - size.height());
    x += size.width();
    row_height = std::max(row_height, size.height());
  }
  return (space.bottom() + 1 - bottom) + row_height;
}

}  // namespace

void TileHorizontally(QMdiArea* area) {
  int icons_height = PlaceIcons(area);
  QList<QMdiSubWindow*> windows = Windows(area, false);
  if (windows.isEmpty()) return;
  const QRect space = area->viewport()->rect().adjusted(0, 0, 0, -icons_height);
  int count = static_cast<int>(windows.size());
  int height = std::max(1, space.height() / count);
  for (int i = 0; i < count; ++i) {
    QMdiSubWindow* window = windows[i];
    if (window->isMaximized()) window->showNormal();
    // The last window takes what division left over.
    int h = i == count - 1 ? space.height() - i * height : height;
    window->setGeometry(space.x(), space.y() + i * height, space.width(), h);
  }
}

void ArrangeIcons(QMdiArea* area) {
  PlaceIcons(area);
}
