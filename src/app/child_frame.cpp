#include "app/child_frame.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "app/long_operation.h"
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
  setWindowTitle(doc_->title());
  connect(doc_.get(), &CQuillbankManagerDoc::titleChanged, this, &QWidget::setWindowTitle);
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
  return Panes().value(std::max(activePane(), 0))->findChild<QWidget*>();
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
  if (!canSplit()) return;  // already 2 by 2
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
    // The columns keep one width in both rows.
    connect(row, &QSplitter::splitterMoved, this, [this, row] {
      for (int k = 0; k < rows_->count(); ++k) {
        auto* other = static_cast<QSplitter*>(rows_->widget(k));
        if (other != row && other->sizes() != row->sizes()) other->setSizes(row->sizes());
      }
    });
  }
  ArrangeScrollBars();
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
