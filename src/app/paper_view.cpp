#include "app/paper_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <string>

#include "app/ansi_text.h"
#include "app/cards/app_settings.h"
#include "app/long_operation.h"
#include "app/message_box.h"
#include "app/printer_emulation_dialog.h"
#include "app/search_dialog.h"
#include "app/ui_text.h"
#include "base/interval_timer.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "document/record_document.h"

namespace {

using qb::InchSteps;

// A line of paper: the printer's default line spacing.
constexpr double kLineStep = InchSteps(1, 6);
// A column step left or right.
constexpr double kColumnStep = InchSteps(1, 10);
// Room left above a line or a hit brought to the top.
constexpr double kRoomAbove = InchSteps(1, 6);
constexpr double kRoomAboveHit = InchSteps(1, 2);
const QColor kDesk(128, 128, 128);

QList<CPaperView*>& Views() {
  static QList<CPaperView*> views;
  return views;
}

// The progress of a long pass (the layout, a search): shown once the pass
// has run for half a second, then updated and asked for a Cancel every half
// second.
class PassProgress {
 public:
  explicit PassProgress(long last) : last_(last) { timer_.Start(kShowAfterMs); }
  ~PassProgress() {
    if (shown_) qb::CurrentJobHost().EndProgress();
  }
  PassProgress(const PassProgress&) = delete;
  PassProgress& operator=(const PassProgress&) = delete;

  // False when the user cancelled.
  bool KeepGoing(long position, const std::function<std::string()>& status) {
    if (!timer_.Due()) return true;
    qb::JobHost& host = qb::CurrentJobHost();
    if (!shown_) {
      host.BeginProgress(
          qb::LoadMessage(qb::msg::kAppName),
          qb::kProgressBar | qb::kProgressPercent | qb::kProgressTime | qb::kProgressCancel);
      host.SetProgressRange(0, last_);
      shown_ = true;
    }
    host.SetProgressPos(position);
    host.ShowStatus(status());
    return !host.CheckProgressCancel();
  }

 private:
  static constexpr int64_t kShowAfterMs = 500;
  long last_;
  qb::IntervalTimer timer_;
  bool shown_ = false;
};

}  // namespace

CPaperView::CPaperView(qb::RecordDocument* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), source_(*doc) {
  setObjectName(QStringLiteral("paperView"));
  setFocusPolicy(Qt::StrongFocus);
  // The paint fills every pixel: the desk between the pages, then the pages.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          &CPaperView::OnVerticalBarAction);
  Views().append(this);
}

CPaperView::~CPaperView() {
  Views().removeOne(this);
}

const QList<CPaperView*>& CPaperView::AllViews() {
  return Views();
}

bool CPaperView::Paginate() {
  if (busy_) return false;
  const int line = paginated_ ? CurrentLine() : -1;
  settings_ = qb::AppSettings().Printout();
  layout_ = std::make_unique<qb::PrintoutLayout>(source_, settings_);
  kept_.clear();
  hit_ = {};
  hit_boxes_.clear();
  bottom_.reset();
  paginated_ = false;
  top_page_ = 0;
  top_offset_ = 0;
  busy_ = true;
  bool done = false;
  {
    LongOperation laying_out;
    const int last = doc_->GetLastLineIndex();
    PassProgress progress(std::max(last, 0));
    done = layout_->Paginate([&](int reached) {
      return progress.KeepGoing(reached, [&] {
        return qb::FormatText("%s\n%s %i %s %i", qb::LoadMessage(qb::msg::kComputingLayout),
                              qb::LoadMessage(qb::msg::kLine), reached,
                              qb::LoadMessage(qb::msg::kOf), last);
      });
    });
  }
  busy_ = false;
  paginated_ = done;
  SyncScrollBars();
  if (done && line >= 0) ShowLine(line);
  viewport()->update();
  return done;
}

void CPaperView::Invalidate() {
  if (busy_) return;
  paginated_ = false;
  kept_.clear();
  hit_ = {};
  hit_boxes_.clear();
  bottom_.reset();
  layout_.reset();
  viewport()->update();
}

const qb::Page* CPaperView::PageAt(int index) const {
  for (size_t i = 0; i < kept_.size(); ++i) {
    if (kept_[i].first != index) continue;
    // The most recent at the back.
    std::rotate(kept_.begin() + static_cast<std::ptrdiff_t>(i),
                kept_.begin() + static_cast<std::ptrdiff_t>(i) + 1, kept_.end());
    return kept_.back().second.get();
  }
  if (busy_ || !paginated_ || !layout_) return nullptr;
  auto page = std::make_unique<qb::Page>();
  if (!layout_->LayoutPage(index, *page)) return nullptr;
  if (kept_.size() >= kKeptPages) kept_.erase(kept_.begin());
  kept_.emplace_back(index, std::move(page));
  return kept_.back().second.get();
}

double CPaperView::Scale() const {
  if (fit_) {
    const double width = qb::SizeOfPaper(settings_.paper).width + 2.0 * kPageGap;
    return std::max(viewport()->width(), 1) / width;
  }
  return zoom_ * viewport()->logicalDpiX() / qb::kUnitsPerInch;
}

double CPaperView::ContentWidth() const {
  return (qb::SizeOfPaper(settings_.paper).width + 2.0 * kPageGap) * Scale();
}

double CPaperView::ViewportUnits() const {
  return viewport()->height() / Scale();
}

double CPaperView::SlotHeight(int index) {
  const qb::Page* page = PageAt(index);
  const int32_t height = page != nullptr ? page->height : qb::SizeOfPaper(settings_.paper).height;
  return kPageGap + std::max(height, 1);
}

CPaperView::Position CPaperView::Moved(Position position, double distance) {
  const int count = pageCount();
  if (count == 0) return {};
  position.offset += distance;
  while (position.offset < 0) {
    if (position.page == 0) {
      position.offset = 0;
      break;
    }
    --position.page;
    position.offset += SlotHeight(position.page);
  }
  while (position.offset >= SlotHeight(position.page) && position.page < count - 1) {
    position.offset -= SlotHeight(position.page);
    ++position.page;
  }
  return position;
}

CPaperView::Position CPaperView::Bottom() {
  if (bottom_) return *bottom_;
  Position bottom;
  const int count = pageCount();
  if (count > 0) {
    bottom.page = count - 1;
    bottom.offset = SlotHeight(bottom.page) + kPageGap - ViewportUnits();
    while (bottom.offset < 0 && bottom.page > 0) {
      --bottom.page;
      bottom.offset += SlotHeight(bottom.page);
    }
    bottom.offset = std::max(bottom.offset, 0.0);
  }
  bottom_ = bottom;
  return bottom;
}

void CPaperView::GoTo(Position position) {
  const Position bottom = Bottom();
  if (position.page > bottom.page ||
      (position.page == bottom.page && position.offset > bottom.offset))
    position = bottom;
  if (position.page < 0 || position.offset < 0) position = {0, std::max(position.offset, 0.0)};
  const bool moved = position.page != top_page_ || position.offset != top_offset_;
  top_page_ = position.page;
  top_offset_ = position.offset;
  SyncScrollBars();
  viewport()->update();
  if (moved) emit scrolled();
}

void CPaperView::MoveBy(double distance) {
  if (busy_) return;
  GoTo(Moved({top_page_, top_offset_}, distance));
}

void CPaperView::SetHorizontal(int offset) {
  const int most = std::max(0, static_cast<int>(std::lround(ContentWidth())) - viewport()->width());
  const int clamped = std::clamp(offset, 0, most);
  const bool moved = clamped != h_offset_;
  h_offset_ = clamped;
  SyncScrollBars();
  viewport()->update();
  if (moved) emit scrolled();
}

int CPaperView::StepsPerPage() const {
  return std::clamp((INT_MAX - 1) / std::max(pageCount(), 1), 1, 1000);
}

int CPaperView::ValueOf(Position position) {
  const int steps = StepsPerPage();
  const double within = position.offset / SlotHeight(position.page);
  return position.page * steps +
         std::clamp(static_cast<int>(std::floor(within * steps)), 0, steps - 1);
}

CPaperView::Position CPaperView::PositionOf(int value) {
  const int steps = StepsPerPage();
  Position position{std::clamp(value / steps, 0, std::max(pageCount() - 1, 0)), 0};
  position.offset = static_cast<double>(value % steps) / steps * SlotHeight(position.page);
  return position;
}

void CPaperView::SyncScrollBars() {
  syncing_ = true;
  const bool pages = paginated_ && !busy_ && pageCount() > 0;
  verticalScrollBar()->setRange(0, pages ? ValueOf(Bottom()) : 0);
  verticalScrollBar()->setPageStep(StepsPerPage());
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setValue(pages ? ValueOf({top_page_, top_offset_}) : 0);
  const int most = std::max(0, static_cast<int>(std::lround(ContentWidth())) - viewport()->width());
  h_offset_ = std::min(h_offset_, most);
  horizontalScrollBar()->setRange(0, most);
  horizontalScrollBar()->setPageStep(std::max(viewport()->width(), 1));
  horizontalScrollBar()->setSingleStep(std::max(1, static_cast<int>(kColumnStep * Scale())));
  horizontalScrollBar()->setValue(h_offset_);
  syncing_ = false;
}

void CPaperView::OnVerticalBarAction(int action) {
  // The arrows and the page areas take the view's own steps; the slider
  // then stays where they put it.
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      LineUp();
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      LineDown();
      break;
    case QAbstractSlider::SliderPageStepSub:
      PageUp();
      break;
    case QAbstractSlider::SliderPageStepAdd:
      PageDown();
      break;
    case QAbstractSlider::SliderToMinimum:
      PageStart();
      break;
    case QAbstractSlider::SliderToMaximum:
      PageEnd();
      break;
    default:
      return;
  }
  verticalScrollBar()->setSliderPosition(verticalScrollBar()->value());
}

void CPaperView::scrollContentsBy(int, int) {
  if (syncing_ || busy_) return;
  if (horizontalScrollBar()->value() != h_offset_) SetHorizontal(horizontalScrollBar()->value());
  const int value = verticalScrollBar()->value();
  if (paginated_ && pageCount() > 0 && value != ValueOf({top_page_, top_offset_}))
    GoTo(PositionOf(value));
}

void CPaperView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  bottom_.reset();
  if (paginated_ && !busy_) GoTo({top_page_, top_offset_});
  SyncScrollBars();
}

void CPaperView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), kDesk);
  if (busy_ || !paginated_) return;
  const double scale = Scale();
  const double width = ContentWidth();
  const double left =
      (width <= viewport()->width() ? (viewport()->width() - width) / 2 : -h_offset_) +
      kPageGap * scale;
  double y = -top_offset_ * scale;
  painter.setRenderHint(QPainter::TextAntialiasing);
  for (int index = top_page_; index < pageCount() && y < viewport()->height(); ++index) {
    const qb::Page* page = PageAt(index);
    if (page == nullptr) break;
    const double top = y + kPageGap * scale;
    painter.save();
    painter.translate(left, top);
    painter.scale(scale, scale);
    PaperPainter::Extras extras;
    extras.edge = true;
    extras.smooth = true;
    if (hit_.page == index) extras.highlight = hit_boxes_;
    painter_.Draw(painter, *page, extras);
    painter.restore();
    y = top + page->height * scale;
  }
}

void CPaperView::Zoom(double zoom) {
  const double before = Scale();
  fit_ = zoom <= 0;
  if (!fit_) zoom_ = zoom;
  const double after = Scale();
  h_offset_ = static_cast<int>(std::lround(h_offset_ * after / before));
  bottom_.reset();
  SyncScrollBars();
  if (paginated_ && !busy_) GoTo({top_page_, top_offset_});
  viewport()->update();
}

void CPaperView::ZoomIn() {
  const double shown = Scale() * qb::kUnitsPerInch / viewport()->logicalDpiX();
  for (double step : kZoomSteps) {
    if (step > shown * 1.01) {
      Zoom(step);
      return;
    }
  }
}

void CPaperView::ZoomOut() {
  const double shown = Scale() * qb::kUnitsPerInch / viewport()->logicalDpiX();
  for (auto step = std::rbegin(kZoomSteps); step != std::rend(kZoomSteps); ++step) {
    if (*step < shown * 0.99) {
      Zoom(*step);
      return;
    }
  }
}

void CPaperView::FitWidth() {
  Zoom(0);
}

void CPaperView::ShowPage(int index) {
  if (busy_ || !paginated_ || pageCount() == 0) return;
  GoTo({std::clamp(index, 0, pageCount() - 1), 0});
}

void CPaperView::LineUp() {
  MoveBy(-kLineStep);
}
void CPaperView::LineDown() {
  MoveBy(kLineStep);
}
void CPaperView::PageUp() {
  MoveBy(-std::max(ViewportUnits() - kLineStep, kLineStep));
}
void CPaperView::PageDown() {
  MoveBy(std::max(ViewportUnits() - kLineStep, kLineStep));
}
void CPaperView::ColumnLeft() {
  SetHorizontal(h_offset_ - horizontalScrollBar()->singleStep());
}
void CPaperView::ColumnRight() {
  SetHorizontal(h_offset_ + horizontalScrollBar()->singleStep());
}
void CPaperView::Home() {
  PageStart();
  LineHome();
}
void CPaperView::End() {
  PageEnd();
}
void CPaperView::PageEnd() {
  if (!busy_) GoTo(Bottom());
}
void CPaperView::PageStart() {
  if (!busy_) GoTo({0, 0});
}
void CPaperView::LineHome() {
  SetHorizontal(0);
}
void CPaperView::LineEnd() {
  SetHorizontal(INT_MAX);
}

int CPaperView::CurrentLine() const {
  if (busy_ || !paginated_ || pageCount() == 0) return -1;
  int fallback = -1;
  for (int index = top_page_; index < std::min(top_page_ + 2, pageCount()); ++index) {
    const qb::Page* page = PageAt(index);
    if (page == nullptr) break;
    // Read where ShowLine puts a line: the room above it below the top.
    const double reading = index == top_page_ ? top_offset_ - kPageGap + kRoomAbove : -1e18;
    const qb::LineSpan* best = nullptr;
    for (const qb::LineSpan& span : page->lines) {
      if (span.bottom <= reading) continue;
      if (best == nullptr || span.top < best->top ||
          (span.top == best->top && span.origin.line < best->origin.line))
        best = &span;
    }
    if (best != nullptr) return best->origin.line;
    if (!page->lines.empty()) fallback = page->lines.back().origin.line;
  }
  return fallback;
}

void CPaperView::ShowLine(int line) {
  if (busy_ || !paginated_ || pageCount() == 0 || line < 0) return;
  const int first = layout_->PageOfLine(line);
  if (first < 0) return;
  for (int index = first; index < std::min(first + 2, pageCount()); ++index) {
    const qb::Page* page = PageAt(index);
    if (page == nullptr) break;
    for (const qb::LineSpan& span : page->lines) {
      if (span.origin.line < line) continue;
      GoTo({index, std::max(0.0, kPageGap + span.top - kRoomAbove)});
      return;
    }
  }
  GoTo({first, 0});
}

void CPaperView::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  if (HandleNavigationKey(event->key(), ctrl)) {
    event->accept();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      if (!ctrl) return QAbstractScrollArea::keyPressEvent(event);
      ZoomIn();
      break;
    case Qt::Key_Minus:
      if (!ctrl) return QAbstractScrollArea::keyPressEvent(event);
      ZoomOut();
      break;
    case Qt::Key_0:
      if (!ctrl) return QAbstractScrollArea::keyPressEvent(event);
      FitWidth();
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void CPaperView::wheelEvent(QWheelEvent* event) {
  const QPoint turn = event->angleDelta();
  if ((event->modifiers() & Qt::ControlModifier) != 0) {
    if (turn.y() > 0) ZoomIn();
    if (turn.y() < 0) ZoomOut();
  } else {
    // Three lines a notch, as the desktop scrolls.
    MoveBy(-turn.y() / 120.0 * 3 * kLineStep);
    if (turn.x() != 0)
      SetHorizontal(h_offset_ - turn.x() / 120 * horizontalScrollBar()->singleStep());
  }
  event->accept();
}

void CPaperView::Find() {
  if (doc_ == nullptr || busy_ || LongOperation::Running()) return;
  LongOperation searching;
  if (AskFindText()) SearchNext();
}

void CPaperView::FindAgain() {
  if (doc_ == nullptr || busy_ || LongOperation::Running()) return;
  LongOperation searching;
  if (doc_->findText().empty() && !AskFindText()) return;
  SearchNext();
}

bool CPaperView::AskFindText() {
  CSearchDialog dialog(AnsiText(doc_->findText()), this);
  if (dialog.exec() != QDialog::Accepted) return false;
  std::string text;
  if (!AnsiBytes(dialog.text(), text)) return false;
  doc_->SetFindText(text);
  // A new search starts at the first page.
  hit_ = {};
  hit_boxes_.clear();
  return true;
}

void CPaperView::SearchNext() {
  const QString wanted = AnsiText(doc_->findText());
  const std::u32string text = wanted.toStdU32String();
  const int count = paginated_ ? pageCount() : 0;
  const int first = hit_.found() ? hit_.page : 0;
  const int row = hit_.found() ? hit_.row : 0;
  const int from = hit_.found() ? hit_.start + 1 : 0;
  hit_ = {};
  hit_boxes_.clear();
  PassProgress progress(std::max(count - 1, 0));
  const std::string quoted = doc_->findText();
  qb::Page page;
  for (int index = first; index < count && !text.empty(); ++index) {
    // Laid out apart from the kept pages, which a paint may replace while
    // the progress lets events through.
    if (!layout_->LayoutPage(index, page)) break;
    const std::vector<PaperRow> rows = PaperRows(page);
    PaperHit hit = FindInRows(rows, text, index == first ? row : 0, index == first ? from : 0);
    if (hit.found()) {
      hit.page = index;
      hit_ = hit;
      hit_boxes_ = HitBoxes(page, rows[static_cast<size_t>(hit.row)], hit.start, hit.length);
      ShowHit();
      return;
    }
    const bool go_on = progress.KeepGoing(index, [&] {
      return qb::FormatText("%s \"%s\"\n%s %i %s %i", qb::LoadMessage(qb::msg::kSearching),
                            quoted.c_str(), qb::LoadMessage(qb::msg::kPage), index + 1,
                            qb::LoadMessage(qb::msg::kOf), count);
    });
    if (!go_on) break;
  }
  viewport()->update();
  ShowBox(this, QMessageBox::Information, UiText(qb::msg::kCannotFind, wanted));
}

void CPaperView::ShowHit() {
  if (!hit_.found() || hit_boxes_.empty()) return;
  const QRectF& box = hit_boxes_.front();
  GoTo({hit_.page, std::max(0.0, kPageGap + box.top() - kRoomAboveHit)});
  // Across, when the pages are wider than the window.
  const double scale = Scale();
  const double left = (kPageGap + box.left()) * scale - h_offset_;
  const double right = (kPageGap + hit_boxes_.back().right()) * scale - h_offset_;
  if (left < 0 || right > viewport()->width())
    SetHorizontal(static_cast<int>((kPageGap + box.left()) * scale - viewport()->width() / 4.0));
  viewport()->update();
}

void CPaperView::PrinterEmulation() {
  if (LongOperation::Running()) return;
  EditPrinterEmulation(this);
}

void CPaperView::NextManipulated() {
  if (busy_ || doc_ == nullptr) return;
  const std::vector<uint32_t>& lines = doc_->facts().manipulatedLines;
  auto next = std::upper_bound(lines.begin(), lines.end(), static_cast<uint32_t>(CurrentLine()));
  if (CurrentLine() < 0 || next == lines.end()) {
    QApplication::beep();
    return;
  }
  ShowLine(static_cast<int>(*next));
}

void CPaperView::PreviousManipulated() {
  if (busy_ || doc_ == nullptr) return;
  const std::vector<uint32_t>& lines = doc_->facts().manipulatedLines;
  auto previous =
      std::lower_bound(lines.begin(), lines.end(), static_cast<uint32_t>(CurrentLine()));
  if (CurrentLine() < 0 || previous == lines.begin()) {
    QApplication::beep();
    return;
  }
  ShowLine(static_cast<int>(*(previous - 1)));
}
