// What a view of a document window carries out for the main frame's
// commands, whichever way it shows the recording: the line view (one record
// per line) or the paper view (the pages as the printer printed them). The
// command table names these members; the frame calls them on the view the
// active window shows.
#pragma once

#include <Qt>

class DocumentView {
 public:
  virtual ~DocumentView() = default;

  // Navigation: by a line, by a window's height, to the top or the bottom,
  // left and right.
  virtual void LineUp() = 0;
  virtual void LineDown() = 0;
  virtual void PageUp() = 0;
  virtual void PageDown() = 0;
  virtual void ColumnLeft() = 0;
  virtual void ColumnRight() = 0;
  virtual void Home() = 0;
  virtual void End() = 0;
  virtual void PageEnd() = 0;
  virtual void PageStart() = 0;
  virtual void LineHome() = 0;
  virtual void LineEnd() = 0;

  // Asks for a search text, then searches from the start.
  virtual void Find() = 0;
  // Searches on from the last hit; asks for a text when there is none yet.
  virtual void FindAgain() = 0;
  // The printer emulation dialog; OK redraws every line view.
  virtual void PrinterEmulation() = 0;
  // Brings the next (previous) line whose record fails its check to the
  // top; a beep when there is none.
  virtual void NextManipulated() = 0;
  virtual void PreviousManipulated() = 0;

  // The line the view stands on (the top line of the line view, the first
  // line at the top of the paper view); -1 when none.
  virtual int CurrentLine() const = 0;
  // Brings `line` to the top of the view.
  virtual void ShowLine(int line) = 0;

  // Carries out the key's navigation or find command (arrows, Page Up and
  // Down, Home, End, F3; with Ctrl where it differs); false for any other
  // key.
  bool HandleNavigationKey(int key, bool ctrl) {
    switch (key) {
      case Qt::Key_Up:
        LineUp();
        return true;
      case Qt::Key_Down:
        LineDown();
        return true;
      case Qt::Key_PageUp:
        ctrl ? PageStart() : PageUp();
        return true;
      case Qt::Key_PageDown:
        ctrl ? PageEnd() : PageDown();
        return true;
      case Qt::Key_Left:
        ColumnLeft();
        return true;
      case Qt::Key_Right:
        ColumnRight();
        return true;
      case Qt::Key_Home:
        ctrl ? Home() : LineHome();
        return true;
      case Qt::Key_End:
        ctrl ? End() : LineEnd();
        return true;
      case Qt::Key_F3:
        ctrl ? Find() : FindAgain();
        return true;
      default:
        return false;
    }
  }
};
