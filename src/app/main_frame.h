// The main window: document windows in an MDI area, the two menus (128
// without and 129 with an active document), the accelerator table, the
// toolbar and the status bar. Commands that other parts of the program carry
// out (card work, option dialogs, the calculator, find, export, printing,
// navigation, help) leave through commandRequested.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/quillbank_doc.h"

class CChildFrame;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace cmd {
constexpr int kCardInfo = 32814, kCardInit = 32773, kCardRead = 32774;
constexpr int kOptionsDrive = 32771, kOptionsDevice = 32772, kPrinterEmulation = 32808;
constexpr int kCalculatorNoDoc = 32816, kCalculator = 32810, kExport = 32817;
constexpr int kFind = 32800, kFindAgain = 32801;
constexpr int kFirstNavigation = 32790, kLastNavigation = 32807;
constexpr int kFileNew = 57600, kFileOpen = 57601, kFileClose = 57602, kFileSave = 57603;
constexpr int kPrintSetup = 57606, kPrint = 57607, kPrintDirect = 57608, kPrintPreview = 57609;
constexpr int kRecentFirst = 57616, kExit = 57665;
constexpr int kViewToolbar = 59392, kViewStatusBar = 59393;
constexpr int kWindowNew = 57648, kWindowArrange = 57649, kWindowCascade = 57650;
constexpr int kWindowTile = 57651, kWindowSplit = 57653;
constexpr int kHelpTopics = 57667, kHelpFinder = 57671, kHelp = 57670, kContextHelp = 57669;
constexpr int kAbout = 57664, kNextPane = 57680, kPreviousPane = 57681;
}  // namespace cmd

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // 128 without and 129 with an active document window.
  int menuId() const { return menu_id_; }
  QMdiArea* mdiArea() const { return mdi_; }
  CChildFrame* activeChild() const;
  CQuillbankManagerDoc* activeDocument() const;
  QList<CChildFrame*> childFrames() const;

  // Opens the file in a new window, or activates the window that shows it
  // already. Null when the load failed: no window is left.
  CChildFrame* OpenDocumentFile(const QString& path);
  // Opens the file now, or when the running long operation has ended.
  void OpenDocumentFileWhenIdle(const QString& path);
  // An empty untitled document in a new window.
  CChildFrame* NewDocument();
  // Another window on the active document.
  CChildFrame* NewWindow();

  // The file names File Open asks for (a file dialog unless replaced).
  void SetOpenFilePrompt(std::function<QStringList()> prompt) { open_prompt_ = std::move(prompt); }

 signals:
  // A command for another part of the program, with the active document
  // (null when none).
  void commandRequested(int id, CQuillbankManagerDoc* doc);

 public slots:
  void OnCommand(int id);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* MakeAction(int id, const QString& text);
  void BuildMenus();
  void BuildAccelerators();
  void BuildToolBar();
  void BuildStatusBar();
  void ShowMenu(int id);
  void UpdateState();
  void OnLongOperationChanged(bool running);
  void FillRecentFiles(QMenu* menu);
  CChildFrame* AddChild(std::shared_ptr<CQuillbankManagerDoc> doc);
  QStringList AskForFiles();

  QMdiArea* mdi_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  std::map<int, std::vector<QMenu*>> menus_;
  std::vector<QAction*> actions_;
  int menu_id_ = 0;
  int new_count_ = 0;
  bool closing_ = false;
  std::function<QStringList()> open_prompt_;
  QStringList pending_opens_;
};
