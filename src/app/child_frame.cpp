#include "app/child_frame.h"

#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "app/document_view_factory.h"
#include "app/quillbank_doc.h"

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
  layout->addWidget(CreateDocumentView(doc_.get(), pane));
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
  if (rows_->count() < 2) rows_->addWidget(new QSplitter(Qt::Horizontal, rows_));
  for (int i = 0; i < rows_->count(); ++i) {
    auto* row = static_cast<QSplitter*>(rows_->widget(i));
    while (row->count() < 2) AddPane(row);
  }
}
