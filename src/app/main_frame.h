// The main window: document windows in an MDI area, the two menus (without
// and with an active document, command::MenuSet), the command keys, the toolbar
// and the status bar, all built from the command table (commands.h). Each
// command is one QAction named after it. The frame carries out its own
// commands and hands the text view's to the active view; the parts of the
// program that carry out the others (card work, option dialogs, the
// calculator, export, printing) register their handlers by name.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/quillbank_doc.h"

class CChildFrame;
class QLabel;
class QAction;
class QShortcut;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The menu shown: with or without an active document window.
  command::MenuSet menuId() const { return menu_id_.value_or(command::MenuSet::kNoDocument); }
  QMdiArea* mdiArea() const { return mdi_; }
  CChildFrame* activeChild() const;
  CQuillbankManagerDoc* activeDocument() const;
  QList<CChildFrame*> childFrames() const;

  // Opens the file in a new window, or activates the window that shows it
  // already. Null when the load failed: no window is left.
  CChildFrame* OpenDocumentFile(const QString& path);
  // The two steps of opening a file that is not shown yet: a document with
  // the file loaded, or not loaded when its load failed (its box shown);
  // then a window on a loaded document.
  std::shared_ptr<CQuillbankManagerDoc> LoadDocument(const QString& path);
  CChildFrame* ShowDocument(std::shared_ptr<CQuillbankManagerDoc> doc);
  // Opens the file now, or when the running long operation has ended.
  void OpenDocumentFileWhenIdle(const QString& path);
  // An empty untitled document in a new window.
  CChildFrame* NewDocument();
  // Another window on the active document.
  CChildFrame* NewWindow();

  // The file names File Open asks for (a file dialog unless replaced).
  void SetOpenFilePrompt(std::function<QStringList()> prompt) { open_prompt_ = std::move(prompt); }

  // Carries out a command, with the active document (null when none).
  using Handler = std::function<void(CQuillbankManagerDoc*)>;

  // The named command's action, or null.
  QAction* command(const QString& name) const;
  // `handler` carries out the named command from now on, as long as `owner`
  // lives. The command's enabling rule and the long-operation guard apply
  // before it is called.
  void SetHandler(const char* name, QObject* owner, Handler handler);
  // True when the command has a handler whose owner still lives.
  bool HasHandler(const QString& name) const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Command;

  void BuildCommands();
  void SetFrameHandlers();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void ShowMenu(command::MenuSet menu);
  void UpdateState();
  void OnLongOperationChanged(bool running);
  void FillRecentFiles(QMenu* menu);
  // The window list at the end of the Window menu: "&1 title", ..., the
  // active window checked.
  void FillWindowList(QMenu* menu);
  // Numbers the windows of documents shown in more than one.
  void NumberWindows();
  void Run(Command& command);
  QStringList AskForFiles();

  static constexpr int kWindowListSize = 9;

  QMdiArea* mdi_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QLabel* manipulated_ = nullptr;  // the status bar's count of manipulated records
  std::map<command::MenuSet, std::vector<QMenu*>> menus_;
  std::map<std::string, std::unique_ptr<Command>> commands_;
  std::optional<command::MenuSet> menu_id_;
  int new_count_ = 0;
  bool closing_ = false;
  std::function<QStringList()> open_prompt_;
  QStringList pending_opens_;
};
