// The content of a document window: a splitter of up to 2 rows and 2
// columns of views of one document. It starts with one pane; Split makes
// the second row and column. The panes share their scroll bars by rows
// (up and down) and columns (left and right).
#pragma once

#include <QWidget>
#include <memory>

class CQuillbankManagerDoc;
class CQuillbankManagerView;
class QSplitter;

class CChildFrame : public QWidget {
  Q_OBJECT

 public:
  CChildFrame(std::shared_ptr<CQuillbankManagerDoc> doc, QWidget* parent = nullptr);
  ~CChildFrame() override;

  CQuillbankManagerDoc* document() const { return doc_.get(); }
  const std::shared_ptr<CQuillbankManagerDoc>& sharedDocument() const { return doc_; }
  int paneCount() const;
  bool canSplit() const { return paneCount() < 4; }
  // Fills the splitter to 2 by 2 panes.
  void Split();
  // Moves the focus to the next (step 1) or previous (step -1) pane, in
  // rows then columns, round.
  void ActivateNextPane(int step);
  // The pane that holds the focus, or -1.
  int activePane() const;
  // The view of the focused pane, else of the first pane: the one the
  // view's commands go to.
  QWidget* activeView() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* AddPane(QSplitter* row);
  // The text view in a row and column, or null.
  CQuillbankManagerView* ViewAt(int row, int column) const;
  void ArrangeScrollBars();
  void OnViewScrolled();
  QList<QWidget*> Panes() const;

  std::shared_ptr<CQuillbankManagerDoc> doc_;
  QSplitter* rows_ = nullptr;
};
