// The text view of a record document: its lines from a chosen top line as
// the instrument's printer put them on paper (see line_renderer.h), its own
// scroll model (a top line vertically, an offset in 0.1 mm horizontally),
// the navigation commands and keys, Find and Find again, and the printer
// emulation dialog.
#pragma once

#include <QAbstractScrollArea>

#include "app/document_view.h"
#include "app/line_renderer.h"

class QKeyEvent;
class QPaintEvent;

namespace qb {
class RecordDocument;
}

class CQuillbankManagerView : public QAbstractScrollArea, public DocumentView {
  Q_OBJECT

 public:
  // Steps of the scroll model; the thumb steps take a position.
  enum ScrollCode {
    kLineUp,    // also line left
    kLineDown,  // also line right
    kPageUp,    // also page left
    kPageDown,  // also page right
    kThumbPosition,
    kThumbTrack,
    kTop,     // also left
    kBottom,  // also right
  };

  static constexpr int kHScrollMax = 5000;
  static constexpr int kColumnStep = 20;

  CQuillbankManagerView(qb::RecordDocument* doc, QWidget* parent);
  ~CQuillbankManagerView() override;

  qb::RecordDocument* document() const { return doc_; }
  int topLine() const { return top_line_; }
  int lastLine() const { return last_line_; }
  int linesPerPage() const { return lines_per_page_; }
  int hScrollPos() const { return h_scroll_pos_; }

  // The steps, as the scroll bars and the commands apply them.
  void VScroll(ScrollCode code, int position = 0);
  void HScroll(ScrollCode code, int position = 0);

  // Takes the last line from the document, sets the scroll ranges and
  // redraws everything.
  void OnUpdate();

  // The top line (-1 without lines), and a line brought to the top.
  int CurrentLine() const override { return last_line_ >= 0 ? top_line_ : -1; }
  void ShowLine(int line) override { VScroll(kThumbPosition, line); }

  // Every open view, for changes that redraw them all.
  static const QList<CQuillbankManagerView*>& AllViews();

 public slots:
  void LineUp() override;
  void LineDown() override;
  void PageUp() override;
  void PageDown() override;
  void ColumnLeft() override;
  void ColumnRight() override;
  void Home() override;
  void End() override;
  void PageEnd() override;
  void PageStart() override;
  void LineHome() override;
  void LineEnd() override;

  // Asks for a search text, then searches from the first line.
  void Find() override;
  // Searches on from the last hit; asks for a text when there is none yet.
  void FindAgain() override;
  // The printer emulation dialog; OK redraws every view.
  void PrinterEmulation() override;
  // Scrolls the next (previous) line whose record fails its check to the
  // top; a beep when there is none.
  void NextManipulated() override;
  void PreviousManipulated() override;

 signals:
  // The top line or the horizontal position changed.
  void scrolled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void Redraw();
  // The top line a vertical step leads to; every vertical step, from a key,
  // a command or the scroll bar, goes through this one rule.
  int VerticalTarget(ScrollCode code, int position = 0) const;
  void OnVerticalBarAction(int action);
  void SyncScrollBars();
  // The search dialog; false when cancelled.
  bool AskFindText();
  // Finds the next hit and scrolls it to the top, or says there is none.
  void SearchNext();

  qb::RecordDocument* doc_;
  int top_line_ = 0;
  int last_line_ = -1;
  int lines_per_page_ = 1;
  int h_scroll_pos_ = 0;
  bool syncing_ = false;
  LineFonts fonts_;
};
