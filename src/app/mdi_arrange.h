// The Window menu's arrangements of document windows in the MDI area, as
// the desktop's multiple-document programs make them.
#pragma once

class QMdiArea;

// Tiles the windows that are not minimised one above the other, each as
// wide as the area, the active one on top; minimised windows keep their
// row at the bottom.
void TileHorizontally(QMdiArea* area);
// Lines the minimised windows up along the bottom of the area, left to
// right, in rows upwards; the other windows stay as they are.
void ArrangeIcons(QMdiArea* area);
