// The content of a document window: a splitter of up to 2 rows and 2
// columns of views of one document. It starts with one pane; Split makes
// the second row and column, and Split on a window split both ways takes
// the split away again. The split bars can be moved; a bar dragged to the
// window's edge removes the row or column it closed. The panes share their
// scroll bars by rows (up and down) and columns (left and right).
//
// The window shows either these lines or the paper view (the pages as the
// printer printed them, made when first shown); on switching, the view
// shown next stands on the line the other stood on.
#pragma once

#include <QWidget>
#include <memory>

class CPaperView;
class CQuillbankManagerDoc;
class CQuillbankManagerView;
class DocumentView;
class QSplitter;

class CChildFrame : public QWidget {
  Q_OBJECT

 public:
  CChildFrame(std::shared_ptr<CQuillbankManagerDoc> doc, QWidget* parent = nullptr);
  ~CChildFrame() override;

  CQuillbankManagerDoc* document() const { return doc_.get(); }
  const std::shared_ptr<CQuillbankManagerDoc>& sharedDocument() const { return doc_; }
  // With several windows on one document, each is numbered: its title is
  // "title:n". 0 for the only window, titled as the document.
  void SetWindowNumber(int number);
  int windowNumber() const { return window_number_; }
  int paneCount() const;
  // True while a row or column can still be added.
  bool canSplit() const { return paneCount() < 4; }
  // Fills the splitter to 2 by 2 panes; on 2 by 2 panes, goes back to one.
  void Split();
  // Keeps the first pane only, where the active one stood.
  void Unsplit();
  // Moves the focus to the next (step 1) or previous (step -1) pane, in
  // rows then columns, round.
  void ActivateNextPane(int step);
  // The pane that holds the focus, or -1.
  int activePane() const;
  // The view of the focused pane, else of the first pane (the paper view
  // when shown): the one the view's commands go to.
  QWidget* activeView() const;
  DocumentView* activeDocumentView() const;

  // Whether the window shows the paper view.
  bool paperMode() const { return paper_mode_; }
  // Shows the paper view or the lines again. Showing the paper view the
  // first time lays the recording out into pages; false (and the lines
  // still shown) when the user cancelled that.
  bool SetPaperMode(bool paper);
  // The paper view, once it was shown.
  CPaperView* paperView() const { return paper_; }
  // The printer of the paper view changed: a paper view shown is laid out
  // again (the lines come back when that is cancelled), one not shown when
  // it is shown next.
  void OnPrinterChanged();

 signals:
  // The panes were split or a split was taken away.
  void panesChanged();
  // The window changed between its lines and its paper view.
  void paperModeChanged(bool paper);
  // The document's facts, gathered after its load, are complete.
  void factsReady();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* AddPane(QSplitter* row);
  void RemovePane(QWidget* pane);
  // Removes the rows and columns whose split bar was dragged shut.
  void RemoveClosedPanes();
  void OnColumnsMoved(QSplitter* row);
  // The text view in a row and column, or null.
  CQuillbankManagerView* ViewAt(int row, int column) const;
  void ArrangeScrollBars();
  void OnViewScrolled();
  QList<QWidget*> Panes() const;
  void UpdateTitle();

  std::shared_ptr<CQuillbankManagerDoc> doc_;
  QSplitter* rows_ = nullptr;
  CPaperView* paper_ = nullptr;
  bool paper_mode_ = false;
  int window_number_ = 0;
};
