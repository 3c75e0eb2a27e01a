#include "app/child_frame.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QSplitterHandle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/long_operation.h"
#include "app/paper_view.h"
#include "app/quillbank_doc.h"
#include "app/text_view.h"

namespace {
constexpr int kMinimumPane = 10;
}

CChildFrame::CChildFrame(std::shared_ptr<CQuillbankManagerDoc> doc, QWidget* parent)
    : QWidget(parent), doc_(std::move(doc)) {
  setObjectName(QStringLiteral("childFrame"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  rows_ = new QSplitter(Qt::Vertical, this);
  rows_->setObjectName(QStringLiteral("splitterRows"));
  layout->addWidget(rows_);
  auto* row = new QSplitter(Qt::Horizontal, rows_);
  rows_->addWidget(row);
  AddPane(row);
  UpdateTitle();
  connect(doc_.get(), &CQuillbankManagerDoc::titleChanged, this, &CChildFrame::UpdateTitle);
  connect(doc_.get(), &CQuillbankManagerDoc::factsReady, this, [this] {
    // The views show the recording's marks now.
    for (QWidget* widget : findChildren<QWidget*>()) widget->update();
    emit factsReady();
  });
}

void CChildFrame::SetWindowNumber(int number) {
  if (window_number_ == number) return;
  window_number_ = number;
  UpdateTitle();
}

void CChildFrame::UpdateTitle() {
  QString title = doc_->title();
  if (window_number_ > 0) title += QStringLiteral(":%1").arg(window_number_);
  setWindowTitle(title);
}

CChildFrame::~CChildFrame() {
  for (QWidget* view : findChildren<QWidget*>(QStringLiteral("pane"))) doc_->RemoveView(view);
}

QWidget* CChildFrame::AddPane(QSplitter* row) {
  // Each pane is a holder for one view of the document.
  auto* pane = new QWidget(row);
  pane->setObjectName(QStringLiteral("pane"));
  pane->setMinimumSize(kMinimumPane, kMinimumPane);
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* view = new CQuillbankManagerView(&doc_->core(), pane);
  connect(view, &CQuillbankManagerView::scrolled, this, &CChildFrame::OnViewScrolled);
  layout->addWidget(view);
  row->addWidget(pane);
  doc_->AddView(pane);
  return pane;
}

QList<QWidget*> CChildFrame::Panes() const {
  QList<QWidget*> panes;
  for (int i = 0; i < rows_->count(); ++i) {
    auto* row = static_cast<QSplitter*>(rows_->widget(i));
    for (int j = 0; j < row->count(); ++j) panes.append(row->widget(j));
  }
  return panes;
}

int CChildFrame::paneCount() const {
  return static_cast<int>(Panes().size());
}

int CChildFrame::activePane() const {
  QList<QWidget*> panes = Panes();
  for (int i = 0; i < panes.size(); ++i)
    if (panes[i]->isAncestorOf(focusWidget())) return i;
  return -1;
}

QWidget* CChildFrame::activeView() const {
  if (paper_mode_) return paper_;
  return Panes().value(std::max(activePane(), 0))->findChild<QWidget*>();
}

DocumentView* CChildFrame::activeDocumentView() const {
  if (paper_mode_) return paper_;
  return qobject_cast<CQuillbankManagerView*>(activeView());
}

bool CChildFrame::SetPaperMode(bool paper) {
  if (paper == paper_mode_) return true;
  if (paper) {
    auto* lines = qobject_cast<CQuillbankManagerView*>(activeView());
    const int line = lines ? lines->CurrentLine() : -1;
    if (paper_ == nullptr) {
      paper_ = new CPaperView(&doc_->core(), this);
      paper_->hide();
      layout()->addWidget(paper_);
    }
    if (!paper_->paginated() && !paper_->Paginate()) return false;
    rows_->hide();
    paper_->show();
    paper_mode_ = true;
    paper_->ShowLine(line);
    paper_->setFocus(Qt::OtherFocusReason);
  } else {
    const int line = paper_->CurrentLine();
    paper_->hide();
    rows_->show();
    paper_mode_ = false;
    if (auto* lines = qobject_cast<CQuillbankManagerView*>(activeView())) {
      if (line >= 0) lines->ShowLine(line);
      lines->setFocus(Qt::OtherFocusReason);
    }
  }
  emit paperModeChanged(paper_mode_);
  return true;
}

void CChildFrame::OnPrinterChanged() {
  if (paper_ == nullptr) return;
  if (!paper_mode_) {
    paper_->Invalidate();
  } else if (!paper_->Paginate()) {
    SetPaperMode(false);
  }
}

void CChildFrame::ActivateNextPane(int step) {
  QList<QWidget*> panes = Panes();
  int count = static_cast<int>(panes.size());
  int next = (std::max(activePane(), 0) + step + count) % count;
  QWidget* view = panes[next]->findChild<QWidget*>();
  view->setFocusPolicy(view->focusPolicy() == Qt::NoFocus ? Qt::ClickFocus : view->focusPolicy());
  view->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::Split() {
  if (!canSplit()) {
    Unsplit();
    return;
  }
  if (rows_->count() < 2) {
    auto* row = new QSplitter(Qt::Horizontal, rows_);
    rows_->addWidget(row);
  }
  CQuillbankManagerView* first = ViewAt(0, 0);
  for (int i = 0; i < rows_->count(); ++i) {
    auto* row = static_cast<QSplitter*>(rows_->widget(i));
    while (row->count() < 2) {
      auto* view = qobject_cast<CQuillbankManagerView*>(AddPane(row)->findChild<QWidget*>());
      // A new pane starts where the first one stands.
      if (view && first) {
        view->VScroll(CQuillbankManagerView::kThumbPosition, first->topLine());
        view->HScroll(CQuillbankManagerView::kThumbPosition, first->hScrollPos());
      }
    }
    connect(
        row, &QSplitter::splitterMoved, this, [this, row] { OnColumnsMoved(row); },
        Qt::UniqueConnection);
  }
  // A bar dragged shut takes its panes away when the mouse lets it go.
  for (QSplitter* splitter : findChildren<QSplitter*>())
    for (int i = 1; i < splitter->count(); ++i) splitter->handle(i)->installEventFilter(this);
  ArrangeScrollBars();
  emit panesChanged();
}

void CChildFrame::Unsplit() {
  QList<QWidget*> panes = Panes();
  if (panes.size() < 2) return;
  // The remaining pane takes the place of the one the user was in.
  auto* active = qobject_cast<CQuillbankManagerView*>(activeView());
  auto* first = ViewAt(0, 0);
  if (active && first && active != first) {
    first->VScroll(CQuillbankManagerView::kThumbPosition, active->topLine());
    first->HScroll(CQuillbankManagerView::kThumbPosition, active->hScrollPos());
  }
  for (qsizetype i = 1; i < panes.size(); ++i) RemovePane(panes[i]);
  while (rows_->count() > 1) delete rows_->widget(rows_->count() - 1);
  ArrangeScrollBars();
  if (first) first->setFocus(Qt::OtherFocusReason);
  emit panesChanged();
}

void CChildFrame::RemovePane(QWidget* pane) {
  doc_->RemoveView(pane);
  // Out of its splitter at once; deleted later, since the event that led
  // here may still be using it.
  pane->hide();
  pane->setParent(nullptr);
  pane->deleteLater();
}

void CChildFrame::OnColumnsMoved(QSplitter* row) {
  // The columns keep one width in both rows.
  for (int k = 0; k < rows_->count(); ++k) {
    auto* other = static_cast<QSplitter*>(rows_->widget(k));
    if (other != row && other->sizes() != row->sizes()) other->setSizes(row->sizes());
  }
}

bool CChildFrame::eventFilter(QObject* watched, QEvent* event) {
  // Removing panes deletes split bars, so it waits until the bar's own
  // event is over.
  if (event->type() == QEvent::MouseButtonRelease && qobject_cast<QSplitterHandle*>(watched))
    QMetaObject::invokeMethod(this, &CChildFrame::RemoveClosedPanes, Qt::QueuedConnection);
  return QWidget::eventFilter(watched, event);
}

void CChildFrame::RemoveClosedPanes() {
  bool removed = false;
  // A row dragged shut goes with its panes, as long as another is left.
  QList<int> heights = rows_->sizes();
  for (int i = rows_->count() - 1; i >= 0 && rows_->count() > 1; --i) {
    if (heights.value(i) > 0) continue;
    auto* row = static_cast<QSplitter*>(rows_->widget(i));
    while (row->count() > 0) RemovePane(row->widget(0));
    row->hide();
    row->setParent(nullptr);
    row->deleteLater();
    removed = true;
  }
  // A column dragged shut goes from every row.
  auto* top = static_cast<QSplitter*>(rows_->widget(0));
  QList<int> widths = top->sizes();
  for (int j = top->count() - 1; j >= 0 && top->count() > 1; --j) {
    if (widths.value(j) > 0) continue;
    for (int i = 0; i < rows_->count(); ++i) {
      auto* row = static_cast<QSplitter*>(rows_->widget(i));
      if (j < row->count()) RemovePane(row->widget(j));
    }
    removed = true;
  }
  if (!removed) return;
  ArrangeScrollBars();
  emit panesChanged();
}

CQuillbankManagerView* CChildFrame::ViewAt(int row, int column) const {
  if (row >= rows_->count()) return nullptr;
  auto* splitter = static_cast<QSplitter*>(rows_->widget(row));
  if (column >= splitter->count()) return nullptr;
  return qobject_cast<CQuillbankManagerView*>(splitter->widget(column)->findChild<QWidget*>());
}

void CChildFrame::ArrangeScrollBars() {
  // The panes share scroll bars as one window would: the vertical bar of a
  // row sits in its last pane, the horizontal bar of a column in its lowest.
  int rows = rows_->count();
  for (int i = 0; i < rows; ++i) {
    int columns = static_cast<QSplitter*>(rows_->widget(i))->count();
    for (int j = 0; j < columns; ++j) {
      CQuillbankManagerView* view = ViewAt(i, j);
      if (!view) continue;
      view->setVerticalScrollBarPolicy(j == columns - 1 ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
      view->setHorizontalScrollBarPolicy(i == rows - 1 ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
    }
  }
}

void CChildFrame::OnViewScrolled() {
  auto* source = qobject_cast<CQuillbankManagerView*>(sender());
  int source_row = -1;
  int source_column = -1;
  for (int i = 0; i < rows_->count(); ++i)
    for (int j = 0; j < 2; ++j)
      if (ViewAt(i, j) == source) {
        source_row = i;
        source_column = j;
      }
  if (source_row < 0) return;
  // Panes of one row scroll up and down together, panes of one column
  // left and right together.
  for (int i = 0; i < rows_->count(); ++i)
    for (int j = 0; j < 2; ++j) {
      CQuillbankManagerView* view = ViewAt(i, j);
      if (!view || view == source) continue;
      if (i == source_row && view->topLine() != source->topLine())
        view->VScroll(CQuillbankManagerView::kThumbPosition, source->topLine());
      if (j == source_column && view->hScrollPos() != source->hScrollPos())
        view->HScroll(CQuillbankManagerView::kThumbPosition, source->hScrollPos());
    }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  // A running long operation may be using this document.
  if (LongOperation::Running()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}
