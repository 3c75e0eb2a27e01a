// The paper view of a record document: its printout as the printer put it
// on paper (printout/printout_layout.h), page under page with gaps between,
// at the window's width or a chosen zoom. Pages are laid out when they are
// shown and drawn from their items at every paint (a few recent pages are
// kept), so memory stays flat however long the recording is.
//
// Its scroll model is a page and a distance into it (its gap above
// included), so pages of any length scroll alike and a zoom keeps the top of
// the window where it was. It carries the navigation commands (a line is
// 1/6 inch of paper, a page a window's height), Find and Find again on the
// printed text, with the hit marked on its page.
#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/document_view.h"
#include "app/paper_find.h"
#include "app/paper_painter.h"
#include "printout/document_source.h"
#include "printout/printout_layout.h"
#include "printout/printout_settings.h"
#include "printout/printout_units.h"

class QKeyEvent;
class QPaintEvent;
class QWheelEvent;

namespace qb {
class RecordDocument;
}

class CPaperView : public QAbstractScrollArea, public DocumentView {
  Q_OBJECT

 public:
  // The gap between pages and at their sides, in page units.
  static constexpr int32_t kPageGap = qb::InchSteps(1, 4);
  // The zoom steps, in parts of a page's real size on the screen.
  static constexpr double kZoomSteps[] = {0.25, 0.33, 0.5, 0.67, 0.75, 1.0,
                                          1.25, 1.5,  2.0, 3.0,  4.0};
  // Pages kept laid out.
  static constexpr size_t kKeptPages = 6;

  CPaperView(qb::RecordDocument* doc, QWidget* parent);
  ~CPaperView() override;

  // Reads the printer from the settings store and lays the recording out
  // into pages, keeping the current line in view; its progress shows after
  // half a second, with Cancel. False when cancelled: the view then holds no
  // pages.
  bool Paginate();
  bool paginated() const { return paginated_; }
  // Forgets the pages: they are laid out again when asked for.
  void Invalidate();
  int pageCount() const { return layout_ ? layout_->PageCount() : 0; }
  const qb::PrintoutSettings& settings() const { return settings_; }

  // Zoom: the pages at the window's width (as at first), or a step of their
  // real size up or down from what is shown.
  void ZoomIn();
  void ZoomOut();
  void FitWidth();
  bool fitsWidth() const { return fit_; }
  // Pixels per page unit as drawn.
  double Scale() const;

  // The position: the top page and how far into its slot (gap above, then
  // the page) the window's top lies, in page units.
  int topPage() const { return top_page_; }
  double topOffset() const { return top_offset_; }
  int hScrollPos() const { return h_offset_; }
  // Brings the top of page `index` (from 0) to the top of the window.
  void ShowPage(int index);

  // The page laid out, or null when there is none.
  const qb::Page* PageAt(int index) const;
  // The last find hit (page -1 when none).
  const PaperHit& hit() const { return hit_; }

  // DocumentView.
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
  void Find() override;
  void FindAgain() override;
  void PrinterEmulation() override;
  void NextManipulated() override;
  void PreviousManipulated() override;
  int CurrentLine() const override;
  void ShowLine(int line) override;

  // Every paper view, for a change of the printer that lays them all out
  // again.
  static const QList<CPaperView*>& AllViews();

 signals:
  // The position changed.
  void scrolled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  struct Position {
    int page = 0;
    double offset = 0;
  };

  // The height of page `index`'s slot (gap above and page), in page units.
  double SlotHeight(int index);
  // `position` moved by `distance` page units (down when positive), within
  // the pages.
  Position Moved(Position position, double distance);
  // The lowest top position: the last page's bottom gap at the window's
  // bottom.
  Position Bottom();
  // Goes to `position` (held within the top and the bottom).
  void GoTo(Position position);
  void MoveBy(double distance);
  void SetHorizontal(int offset);
  void Zoom(double factor);
  // The width of the content in pixels.
  double ContentWidth() const;
  double ViewportUnits() const;
  void SyncScrollBars();
  // The scroll bar's value for a position, and back.
  int StepsPerPage() const;
  int ValueOf(Position position);
  Position PositionOf(int value);
  void OnVerticalBarAction(int action);
  // The search dialog; false when cancelled.
  bool AskFindText();
  void SearchNext();
  // Brings the hit into view.
  void ShowHit();

  qb::RecordDocument* doc_;
  qb::PrintoutSettings settings_;
  qb::DocumentSource source_;
  std::unique_ptr<qb::PrintoutLayout> layout_;
  PaperPainter painter_;
  mutable std::vector<std::pair<int, std::unique_ptr<qb::Page>>> kept_;
  bool paginated_ = false;
  bool busy_ = false;  // a pass runs: the layout must not be used meanwhile
  int top_page_ = 0;
  double top_offset_ = 0;
  int h_offset_ = 0;
  bool fit_ = true;
  double zoom_ = 1.0;
  bool syncing_ = false;
  PaperHit hit_;
  std::vector<QRectF> hit_boxes_;  // the hit's cells on its page
  std::optional<Position> bottom_;
};
