#include "app/text_view.h"
#include "app/ui_text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <string>

#include "app/ansi_text.h"
#include "app/cards/app_settings.h"
#include "app/long_operation.h"
#include "app/message_box.h"
#include "app/printer_emulation_dialog.h"
#include "app/recording_marks.h"
#include "app/search_dialog.h"
#include "base/messages.h"
#include "document/record_document.h"

namespace {

// Lines before the top line whose font switches are replayed before drawing.
constexpr int kFontReplayLines = 100;
// Logical units (0.1 mm) per inch.
constexpr double kUnitsPerInch = 254.0;

QList<CQuillbankManagerView*>& Views() {
  static QList<CQuillbankManagerView*> views;
  return views;
}

}  // namespace

CQuillbankManagerView::CQuillbankManagerView(qb::RecordDocument* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc) {
  setObjectName(QStringLiteral("textView"));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(true);
  QPalette palette = viewport()->palette();
  palette.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(palette);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          &CQuillbankManagerView::OnVerticalBarAction);
  Views().append(this);
  OnUpdate();
}

CQuillbankManagerView::~CQuillbankManagerView() {
  Views().removeOne(this);
}

const QList<CQuillbankManagerView*>& CQuillbankManagerView::AllViews() {
  return Views();
}

void CQuillbankManagerView::OnUpdate() {
  last_line_ = doc_ != nullptr ? doc_->GetLastLineIndex() : -1;
  SyncScrollBars();
  Redraw();
}

void CQuillbankManagerView::SyncScrollBars() {
  syncing_ = true;
  verticalScrollBar()->setRange(0, std::max(last_line_, 0));
  verticalScrollBar()->setPageStep(std::max(lines_per_page_, 1));
  verticalScrollBar()->setValue(top_line_);
  horizontalScrollBar()->setRange(0, kHScrollMax);
  horizontalScrollBar()->setSingleStep(kColumnStep);
  horizontalScrollBar()->setPageStep(kHScrollMax / kColumnStep);
  horizontalScrollBar()->setValue(h_scroll_pos_);
  syncing_ = false;
}

void CQuillbankManagerView::Redraw() {
  viewport()->update();
}

int CQuillbankManagerView::VerticalTarget(ScrollCode code, int position) const {
  int top = top_line_;
  switch (code) {
    case kLineUp:
      if (top > 0) --top;
      break;
    case kLineDown:
      if (top < last_line_) ++top;
      break;
    case kPageUp:
      top = lines_per_page_ < top ? top - lines_per_page_ : 0;
      break;
    case kPageDown:
      top = std::min(top + lines_per_page_, last_line_);
      break;
    case kThumbPosition:
    case kThumbTrack:
      top = position;
      break;
    case kTop:
      top = 0;
      break;
    case kBottom:
      top = last_line_;
      break;
  }
  top = std::max(std::min(top, last_line_), 0);
  if (doc_ != nullptr && (code == kLineUp || code == kLineDown)) {
    // A line step passes lines that take no space, as far as it can.
    bool scan = qb::AppSettings().ScanPrinterEsc() != 0;
    while (top <= last_line_ && IsConsumedLine(*doc_, top, scan)) {
      if (code == kLineUp && top > 0) {
        --top;
      } else if (code == kLineDown && top < last_line_) {
        ++top;
      } else {
        break;
      }
    }
  }
  return top;
}

void CQuillbankManagerView::VScroll(ScrollCode code, int position) {
  int top = VerticalTarget(code, position);
  bool moved = top != top_line_;
  top_line_ = top;
  SyncScrollBars();
  Redraw();
  if (moved) emit scrolled();
}

void CQuillbankManagerView::OnVerticalBarAction(int action) {
  // The bar's arrows and page areas take the view's own steps; the slider
  // position set here is the value the bar then reports.
  ScrollCode code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      code = kLineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = kLineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = kPageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = kPageDown;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = kTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = kBottom;
      break;
    default:
      return;
  }
  verticalScrollBar()->setSliderPosition(VerticalTarget(code));
}

void CQuillbankManagerView::HScroll(ScrollCode code, int position) {
  int pos = h_scroll_pos_;
  constexpr int kPage = kHScrollMax / kColumnStep;
  switch (code) {
    case kLineUp:
      pos = pos <= kColumnStep ? 0 : pos - kColumnStep;
      break;
    case kLineDown:
      pos = std::min(pos + kColumnStep, kHScrollMax);
      break;
    case kPageUp:
      pos = kPage < pos ? pos - kPage : 0;
      break;
    case kPageDown:
      pos = std::min(pos + kPage, kHScrollMax);
      break;
    case kThumbPosition:
    case kThumbTrack:
      pos = position;
      break;
    case kTop:
      pos = 0;
      break;
    case kBottom:
      pos = kHScrollMax;
      break;
  }
  pos = std::min(pos, kHScrollMax);
  bool moved = pos != h_scroll_pos_;
  h_scroll_pos_ = pos;
  SyncScrollBars();
  Redraw();
  if (moved) emit scrolled();
}

void CQuillbankManagerView::scrollContentsBy(int, int) {
  if (syncing_) return;
  if (verticalScrollBar()->value() != top_line_) {
    VScroll(kThumbPosition, verticalScrollBar()->value());
  }
  if (horizontalScrollBar()->value() != h_scroll_pos_) {
    HScroll(kThumbPosition, horizontalScrollBar()->value());
  }
}

void CQuillbankManagerView::LineUp() {
  VScroll(kLineUp);
}
void CQuillbankManagerView::LineDown() {
  VScroll(kLineDown);
}
void CQuillbankManagerView::PageUp() {
  VScroll(kPageUp);
}
void CQuillbankManagerView::PageDown() {
  VScroll(kPageDown);
}
void CQuillbankManagerView::ColumnLeft() {
  HScroll(kLineUp);
}
void CQuillbankManagerView::ColumnRight() {
  HScroll(kLineDown);
}
void CQuillbankManagerView::Home() {
  VScroll(kTop);
  HScroll(kTop);
}
void CQuillbankManagerView::End() {
  VScroll(kBottom);
}
void CQuillbankManagerView::PageEnd() {
  VScroll(kBottom);
}
void CQuillbankManagerView::PageStart() {
  VScroll(kTop);
}
void CQuillbankManagerView::LineHome() {
  HScroll(kTop);
}
void CQuillbankManagerView::LineEnd() {
  int length = 0;
  if (doc_ != nullptr && top_line_ <= last_line_) {
    length = static_cast<int>(doc_->GetLineText(top_line_).size());
  }
  HScroll(kThumbPosition, kColumnStep * length);
}

void CQuillbankManagerView::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  if (!HandleNavigationKey(event->key(), ctrl)) return QAbstractScrollArea::keyPressEvent(event);
  event->accept();
}

void CQuillbankManagerView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  if (doc_ == nullptr) return;
  qb::AppSettings settings;
  LineOptions options;
  options.scan_printer_esc = settings.ScanPrinterEsc() != 0;
  options.show_unknown_printer_esc = settings.ShowUnknownPrinterEsc() != 0;
  fonts_.Choose(options.scan_printer_esc);

  double sx = viewport()->logicalDpiX() / kUnitsPerInch;
  double sy = viewport()->logicalDpiY() / kUnitsPerInch;
  painter.scale(sx, sy);
  painter.translate(-h_scroll_pos_, 0);
  painter.setBackgroundMode(Qt::TransparentMode);
  QRectF rect(0, 0, kHScrollMax + h_scroll_pos_, viewport()->height() / sy);

  last_line_ = doc_->GetLastLineIndex();
  for (int line = std::max(top_line_ - kFontReplayLines, 0); line < top_line_; ++line) {
    RenderLine(nullptr, rect, *doc_, line, options, fonts_);
  }
  // The marks appear once the facts are complete, without waiting for them.
  static const qb::RecordingFacts kNoFacts;
  RecordingMarks marks(doc_->FactsReady() ? doc_->facts() : kNoFacts, settings.ShowSessions() != 0,
                       settings.ShowRecordingWarnings() != 0);
  int drawn = 0;
  for (int line = top_line_; line <= last_line_ + 1; ++line, ++drawn) {
    // What the recording tells goes above the line it concerns (and after
    // the last line, below it).
    for (const RecordingMark& mark : marks.Before(line)) {
      rect.setTop(rect.top() + RenderRecordingMark(&painter, rect, mark));
    }
    if (line > last_line_) break;
    if (rect.height() <= 0) lines_per_page_ = drawn + 1;
    double height = RenderLine(&painter, rect, *doc_, line, options, fonts_);
    if (rect.top() + height > rect.bottom()) {
      lines_per_page_ = drawn;
      break;
    }
    rect.setTop(rect.top() + height);
  }
  verticalScrollBar()->setPageStep(std::max(lines_per_page_, 1));
}

void CQuillbankManagerView::Find() {
  if (doc_ == nullptr || LongOperation::Running()) return;
  LongOperation searching;
  if (AskFindText()) SearchNext();
}

void CQuillbankManagerView::FindAgain() {
  if (doc_ == nullptr || LongOperation::Running()) return;
  LongOperation searching;
  if (doc_->findText().empty() && !AskFindText()) return;
  SearchNext();
}

bool CQuillbankManagerView::AskFindText() {
  CSearchDialog dialog(AnsiText(doc_->findText()), this);
  if (dialog.exec() != QDialog::Accepted) return false;
  // The dialog takes only characters of the document's set.
  std::string text;
  if (!AnsiBytes(dialog.text(), text)) return false;
  doc_->SetFindText(text);
  return true;
}

void CQuillbankManagerView::SearchNext() {
  int line = -1;
  int position = -1;
  if (doc_->FindNext(line, position) < 0) {
    QString text = UiText(qb::msg::kCannotFind, AnsiText(doc_->findText()));
    ShowBox(this, QMessageBox::Information, text);
    return;
  }
  VScroll(kThumbPosition, line);
}

void CQuillbankManagerView::PrinterEmulation() {
  if (LongOperation::Running()) return;
  EditPrinterEmulation(this);
}

void CQuillbankManagerView::NextManipulated() {
  if (doc_ == nullptr) return;
  const std::vector<uint32_t>& lines = doc_->facts().manipulatedLines;
  auto next = std::upper_bound(lines.begin(), lines.end(), static_cast<uint32_t>(top_line_));
  if (next == lines.end()) {
    QApplication::beep();
    return;
  }
  VScroll(kThumbPosition, static_cast<int>(*next));
}

void CQuillbankManagerView::PreviousManipulated() {
  if (doc_ == nullptr) return;
  const std::vector<uint32_t>& lines = doc_->facts().manipulatedLines;
  auto next = std::lower_bound(lines.begin(), lines.end(), static_cast<uint32_t>(top_line_));
  if (next == lines.begin()) {
    QApplication::beep();
    return;
  }
  VScroll(kThumbPosition, static_cast<int>(*(next - 1)));
}
