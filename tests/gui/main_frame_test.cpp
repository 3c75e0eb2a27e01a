#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QUrl>
#include <clocale>
#include <cstdio>
#include <optional>

#include "app/about_dialog.h"
#include "app/application.h"
#include "app/child_frame.h"
#include "app/commands.h"
#include "app/file_type_registration.h"
#include "app/long_operation.h"
#include "app/quillbank_doc.h"
#include "app/recent_file_list.h"
#include "app/text_view.h"
#include "app/ui_text.h"
#include "app/user_manual.h"
#include "support/record_file_builder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

const QString kSep = "-";
const QString kRecent = "recentFiles";

// The command names of a menu's or toolbar's entries: "-" for a separator,
// "recentFiles" for the recent-file placeholder.
QStringList EntryNames(const QList<QAction*>& actions) {
  QStringList names;
  for (QAction* action : actions) {
    if (action->isSeparator())
      names.append(kSep);
    else if (action->objectName() == QLatin1String("recentPlaceholder"))
      names.append(kRecent);
    else
      names.append(action->objectName());
  }
  return names;
}

QStringList Titles(QMenuBar* bar) {
  QStringList titles;
  for (QAction* action : bar->actions()) titles.append(action->text());
  return titles;
}

QMenu* Popup(QMenuBar* bar, const QString& title) {
  for (QAction* action : bar->actions())
    if (action->text() == title) return action->menu();
  return nullptr;
}

std::string GoodFile(const std::string& comment) {
  return qb::test::RecordFileBuilder().Head(comment).Lines({"one", "two"}).End().bytes();
}

// Puts a plain widget in the place of the child's text view, so that the
// view's commands have nothing to act on.
void ReplaceView(CChildFrame* child) {
  QWidget* pane = child->findChild<QWidget*>("pane");
  delete child->activeView();
  new QWidget(pane);
}

// Takes the addresses the program hands to the desktop.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void Open(const QUrl& url) { urls.append(url); }
};

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<qb::test::TempDir>();
    host_ = std::make_unique<qb::test::RecordingHost>();
    scoped_ = std::make_unique<qb::ScopedJobHost>(host_.get());
    frame_ = std::make_unique<CMainFrame>();
    frame_->SetOpenFilePrompt([this] {
      ++prompts_;
      return QStringList();
    });
    frame_->show();
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    prompts_ = 0;
  }
  // The test folder goes after the windows, which keep their files open
  // (and on Windows an open file cannot be removed).
  void cleanup() {
    frame_.reset();
    scoped_.reset();
    dir_.reset();
  }

  void menus_data() {
    QTest::addColumn<bool>("document");
    QTest::addColumn<QString>("popup");
    QTest::addColumn<QStringList>("names");
    const QStringList card = {"cardInit", "cardRead", "cardInfo"};
    const QStringList options = {"optionsDrive", "optionsDevice", "optionsPrinterEmulation",
                                 "optionsPaper", "optionsCalculator"};
    QTest::newRow("128 file") << false << "&File"
                              << QStringList{"fileOpen", kSep, "filePrintSetup", kSep,
                                             kRecent,    kSep, "fileExit"};
    QTest::newRow("128 card") << false << "&Card" << card;
    QTest::newRow("128 options") << false << "&Options" << options;
    QTest::newRow("128 view") << false << "&View" << QStringList{"viewToolbar", "viewStatusBar"};
    QTest::newRow("128 help") << false << "&Help" << QStringList{"helpTopics", kSep, "helpAbout"};
    QTest::newRow("129 file") << true << "&File" << QStringList{"fileOpen",
                                                                "fileClose",
                                                                kSep,
                                                                "fileExport",
                                                                "fileReadReport",
                                                                kSep,
                                                                "filePrint",
                                                                "filePrintSetup",
                                                                kSep,
                                                                kRecent,
                                                                kSep,
                                                                "fileExit"};
    QTest::newRow("129 card") << true << "&Card" << card;
    // The calculator is one command in both menus and on the toolbar.
    QTest::newRow("129 options") << true << "&Options" << options;
    QTest::newRow("129 search") << true << "Search" << QStringList{"searchFind", "searchFindAgain"};
    QTest::newRow("129 view") << true << "&View" << QStringList{"viewToolbar",
                                                                "viewStatusBar",
                                                                kSep,
                                                                "viewNextManipulated",
                                                                "viewPreviousManipulated",
                                                                kSep,
                                                                "viewPaper",
                                                                "viewZoomIn",
                                                                "viewZoomOut",
                                                                "viewFitWidth"};
    QTest::newRow("129 window") << true << "&Window"
                                << QStringList{"windowNew",     "windowCascade", "windowTile",
                                               "windowArrange", "windowSplit",   kSep};
    QTest::newRow("129 navigation")
        << true << " "
        << QStringList{"navLineUp",     "navLineDown",    "navPageUp",  "navPageDown",
                       "navColumnLeft", "navColumnRight", "navHome",    "navEnd",
                       "navLineHome",   "navLineEnd",     "navPageEnd", "navPageStart"};
  }
  void menus() {
    QFETCH(bool, document);
    QFETCH(QString, popup);
    QFETCH(QStringList, names);
    if (document) frame_->NewDocument();
    QCOMPARE(frame_->menuId(),
             document ? command::MenuSet::kDocument : command::MenuSet::kNoDocument);
    QMenu* menu = Popup(frame_->menuBar(), popup);
    QVERIFY(menu);
    QCOMPARE(EntryNames(menu->actions()), names);
  }

  void menuBarsAndTexts() {
    QCOMPARE(Titles(frame_->menuBar()),
             (QStringList{"&File", "&Card", "&Options", "&View", "&Help"}));
    QCOMPARE(Popup(frame_->menuBar(), "&Help")->actions().last()->text(),
             QString("&About Quill-bank Manager..."));
    frame_->NewDocument();
    QCOMPARE(Titles(frame_->menuBar()), (QStringList{"&File", "&Card", "&Options", "Search",
                                                     "&View", "&Window", "&Help", " "}));
    QCOMPARE(Popup(frame_->menuBar(), "&Help")->actions().last()->text(),
             QString("&About QuillbankManager..."));
    QCOMPARE(Popup(frame_->menuBar(), "Search")->actions().first()->text(),
             QString("Find\tCrtl-F3"));
    // Closing the last window brings menu 128 back.
    frame_->mdiArea()->closeAllSubWindows();
    QTRY_COMPARE(frame_->menuId(), command::MenuSet::kNoDocument);
  }

  void promptsAndTooltips() {
    QAction* read = frame_->findChild<QAction*>("cardRead");
    QVERIFY(read);
    QCOMPARE(read->statusTip(), QString("Read data from PC-Card"));
    QCOMPARE(read->toolTip(), QString("Read card"));
    auto* toolbar = frame_->findChild<QToolBar*>("toolBar128");
    QCOMPARE(EntryNames(toolbar->actions()),
             (QStringList{"fileOpen", kSep, "cardInfo", "cardInit", "cardRead", kSep, "filePrint",
                          "optionsPrinterEmulation", "viewPaper", kSep, "searchFind", kSep,
                          "optionsDevice", "optionsDrive", "optionsCalculator", kSep, "helpAbout",
                          "helpContext"}));
    for (QAction* action : toolbar->actions())
      if (!action->isSeparator()) QVERIFY(!action->icon().isNull());
    // Every button shows its command's tooltip on hover, the framework's
    // commands as the program's own.
    for (auto [name, tip] : {std::pair{"fileOpen", "Open"},
                             {"filePrint", "Print"},
                             {"helpAbout", "About"},
                             {"helpContext", "Help"},
                             {"cardRead", "Read card"}}) {
      QWidget* button = toolbar->widgetForAction(frame_->command(name));
      QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
      QApplication::sendEvent(button, &help);
      QCOMPARE(QToolTip::text(), QString(tip));
    }
    QCOMPARE(frame_->command("fileOpen")->statusTip(), QString("Open an existing document"));
    // Every command a user can reach has its status prompt.
    for (const command::Spec& spec : command::All())
      if (spec.text || spec.picture || spec.key != QKeyCombination())
        QVERIFY2(!frame_->command(spec.name)->statusTip().isEmpty() || spec.view_member, spec.name);
    RecentFileList::Add("/somewhere/a.qbd");
    frame_->NewDocument();
    for (const char* popup : {"&File", "&Window"}) {
      QMenu* menu = Popup(frame_->menuBar(), popup);
      emit menu->aboutToShow();
      for (QAction* action : menu->actions())
        if (!action->isSeparator() && action->isVisible())
          QVERIFY2(!action->statusTip().isEmpty(), qPrintable(action->text()));
    }
  }

  void accelerators_data() {
    QTest::addColumn<bool>("document");
    QTest::addColumn<int>("combined");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("fires");  // false: the command is disabled
    QTest::newRow("Ctrl+O device options")
        << false << (Qt::CTRL | Qt::Key_O).toCombined() << "optionsDevice" << true;
    QTest::newRow("Ctrl+D drive") << false << (Qt::CTRL | Qt::Key_D).toCombined() << "optionsDrive"
                                  << true;
    QTest::newRow("Ctrl+I init") << false << (Qt::CTRL | Qt::Key_I).toCombined() << "cardInit"
                                 << true;
    QTest::newRow("Ctrl+R read") << false << (Qt::CTRL | Qt::Key_R).toCombined() << "cardRead"
                                 << true;
    QTest::newRow("F3 inert without document")
        << false << QKeyCombination(Qt::Key_F3).toCombined() << "searchFindAgain" << false;
    QTest::newRow("Down inert without document")
        << false << QKeyCombination(Qt::Key_Down).toCombined() << "navLineDown" << false;
    QTest::newRow("Ctrl+P inert without document")
        << false << (Qt::CTRL | Qt::Key_P).toCombined() << "filePrint" << false;
    QTest::newRow("F3 find again")
        << true << QKeyCombination(Qt::Key_F3).toCombined() << "searchFindAgain" << true;
    QTest::newRow("Ctrl+F3 find") << true << (Qt::CTRL | Qt::Key_F3).toCombined() << "searchFind"
                                  << true;
    QTest::newRow("Down") << true << QKeyCombination(Qt::Key_Down).toCombined() << "navLineDown"
                          << true;
    QTest::newRow("Ctrl+PgUp page start")
        << true << (Qt::CTRL | Qt::Key_PageUp).toCombined() << "navPageStart" << true;
    QTest::newRow("End line end") << true << QKeyCombination(Qt::Key_End).toCombined()
                                  << "navLineEnd" << true;
    QTest::newRow("Ctrl+V preview")
        << true << (Qt::CTRL | Qt::Key_V).toCombined() << "filePrintPreview" << true;
  }
  void accelerators() {
    QFETCH(bool, document);
    QFETCH(int, combined);
    QKeyCombination key = QKeyCombination::fromCombined(combined);
    QFETCH(QString, command);
    QFETCH(bool, fires);
    if (document) ReplaceView(frame_->NewDocument());
    QAction* action = frame_->command(command);
    QVERIFY(action);
    QSignalSpy spy(action, &QAction::triggered);
    QTest::keyClick(frame_.get(), key.key(), key.keyboardModifiers());
    QCOMPARE(prompts_, 0);
    QCOMPARE(spy.count(), fires ? 1 : 0);
  }

  void viewCommandsGoToTheActiveView() {
    qb::test::TempDir& dir = *dir_;
    std::vector<std::string> lines(300, "a printed line");
    QString path = QString::fromStdString(dir.Write(
        "long.qbd", qb::test::RecordFileBuilder().Head("Long").Lines(lines).End().bytes()));
    CChildFrame* first = frame_->OpenDocumentFile(path);
    QVERIFY(first);
    auto* view = qobject_cast<CQuillbankManagerView*>(first->activeView());
    CChildFrame* second = frame_->NewWindow();
    auto* other = qobject_cast<CQuillbankManagerView*>(second->activeView());
    QVERIFY(view && other);
    frame_->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    QTest::keyClick(frame_.get(), Qt::Key_Down);
    QTest::keyClick(frame_.get(), Qt::Key_Down);
    QTest::keyClick(frame_.get(), Qt::Key_Up);
    frame_->command("navLineDown")->trigger();  // from the menu
    QCOMPARE(view->topLine(), 2);
    QCOMPARE(other->topLine(), 0);
  }

  // A recording with manipulated records says how many in the status bar;
  // Ctrl+M and Ctrl+Shift+M go from one to the next and back.
  void manipulatedRecordsAreCountedAndFound() {
    qb::test::TempDir& dir = *dir_;
    qb::test::RecordFileBuilder file;
    file.Head("Lab");
    for (int i = 0; i < 300; ++i) {
      file.Line("line " + std::to_string(i));
      if (i == 40 || i == 120 || i == 250) file.BreakChecksum();
    }
    CChildFrame* child = frame_->OpenDocumentFile(
        QString::fromStdString(dir.Write("broken.qbd", file.End().bytes())));
    QVERIFY(child);
    auto* label = frame_->statusBar()->findChild<QLabel*>("manipulatedRecords");
    QVERIFY(label);
    // The count appears once the facts, gathered after the open, are complete.
    QTRY_COMPARE(label->text(), QString("3 manipulated records"));
    QVERIFY(label->isVisibleTo(frame_.get()));
    auto* view = qobject_cast<CQuillbankManagerView*>(child->activeView());
    const struct {
      bool next;
      int top;
    } steps[] = {{true, 40},   {true, 120}, {true, 250}, {true, 250},
                 {false, 120}, {false, 40}, {false, 40}};
    for (const auto& step : steps) {
      QTest::keyClick(frame_.get(), Qt::Key_M,
                      step.next ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(view->topLine(), step.top);
    }
    CChildFrame* sound = frame_->OpenDocumentFile(
        QString::fromStdString(dir.Write("sound.qbd", qb::test::RecordFileWithLines({"a"}))));
    QVERIFY(sound);
    QVERIFY(!label->isVisibleTo(frame_.get()));
    qb::test::RecordFileBuilder one;
    one.Head("Lab").Line("x").BreakChecksum().Line("y");
    QVERIFY(
        frame_->OpenDocumentFile(QString::fromStdString(dir.Write("one.qbd", one.End().bytes()))));
    QTRY_COMPARE(label->text(), QString("1 manipulated record"));
  }

  void everyCommandHasANameAndAHandler() {
    CQuillbankManagerApp app;
    QVERIFY(app.InitInstance(ParseCommandLine({}), false));
    CMainFrame* frame = app.mainFrame();
    QList<QAction*> placed = frame->findChild<QToolBar*>("toolBar128")->actions();
    placed += frame->menuBar()->actions();
    frame->NewDocument();
    placed += frame->menuBar()->actions();
    // The list grows while it is walked: by index, not by iterator.
    for (qsizetype i = 0; i < placed.size(); ++i)
      if (QMenu* popup = placed[i]->menu()) placed += popup->actions();
    for (QAction* action : placed) {
      if (action->isSeparator() || action->menu() ||
          action->objectName() == QLatin1String("recentPlaceholder"))
        continue;
      QVERIFY2(!action->objectName().isEmpty(), qPrintable(action->text()));
      QCOMPARE(frame->command(action->objectName()), action);
    }
    for (const command::Spec& spec : command::All())
      QVERIFY2(frame->HasHandler(spec.name), spec.name);
  }

  void openFiles() {
    qb::test::TempDir& dir = *dir_;
    QString good = QString::fromStdString(dir.Write("good.qbd", GoodFile("Line 7 ")));
    QString bad = QString::fromStdString(dir.Write("bad.qbd", "no record file at all"));
    QString empty = QString::fromStdString(dir.Write("empty.qbd", ""));

    QVERIFY(!frame_->OpenDocumentFile(bad));
    QCOMPARE(host_->boxes.size(), size_t(1));
    QVERIFY(!frame_->OpenDocumentFile(empty));
    QCOMPARE(host_->boxes.size(), size_t(1));  // an empty file closes silently
    QVERIFY(frame_->childFrames().isEmpty());
    QCOMPARE(frame_->menuId(), command::MenuSet::kNoDocument);

    CChildFrame* child = frame_->OpenDocumentFile(good);
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), QString("good.qbd / Line 7"));
    QCOMPARE(frame_->windowTitle(), QString("Quillbank Manager - [good.qbd / Line 7]"));
    child->parentWidget()->showNormal();
    QCOMPARE(frame_->windowTitle(), QString("Quillbank Manager - good.qbd / Line 7"));
    QCOMPARE(frame_->menuId(), command::MenuSet::kDocument);
    QCOMPARE(RecentFileList::Entries().value(0), child->document()->pathName());

    // The same file by another spelling activates its window.
    CChildFrame* other = frame_->NewDocument();
    QCOMPARE(frame_->activeChild(), other);
    QCOMPARE(frame_->OpenDocumentFile(QString::fromStdString(dir.path()) + "/./good.qbd"), child);
    QCOMPARE(frame_->activeChild(), child);
    QCOMPARE(frame_->childFrames().size(), 2);

    // Save writes nothing; File Open asks through the prompt.
    frame_->command("fileSave")->trigger();
    QCOMPARE(QString::fromStdString(dir.Read("good.qbd")),
             QString::fromStdString(GoodFile("Line 7 ")));
    frame_->command("fileOpen")->trigger();
    QCOMPARE(prompts_, 1);
  }

  void windowsOfOneDocument() {
    CChildFrame* first = frame_->NewDocument();
    QCOMPARE(first->windowTitle(), QString("Quillbank1"));
    CChildFrame* second = frame_->NewWindow();
    QCOMPARE(second->document(), first->document());
    QCOMPARE(first->document()->views().size(), 2);
    QVERIFY(frame_->findChild<QAction*>("windowSplit")->isEnabled());
    frame_->command("windowSplit")->trigger();
    QCOMPARE(second->paneCount(), 4);
    QCOMPARE(first->document()->views().size(), 5);
    QVERIFY(frame_->findChild<QAction*>("windowSplit")->isEnabled());  // it takes the split away
    // F6 and Shift+F6 go round the panes.
    for (auto [key, pane] : {std::pair{Qt::NoModifier, 1},
                             {Qt::NoModifier, 2},
                             {Qt::ShiftModifier, 1},
                             {Qt::ShiftModifier, 0},
                             {Qt::ShiftModifier, 3}}) {
      QTest::keyClick(frame_.get(), Qt::Key_F6, key);
      QCOMPARE(second->activePane(), pane);
      QVERIFY(second->activeView()->hasFocus());
    }
    frame_->command("fileClose")->trigger();
    QTRY_VERIFY(frame_->childFrames().isEmpty());
  }

  void viewCommandsWaitForAView() {
    // The view carries these out: without a document window they would do
    // nothing, so they are greyed.
    for (const command::Spec& spec : command::All())
      if (spec.view_member) QVERIFY2(!frame_->command(spec.name)->isEnabled(), spec.name);
    frame_->NewDocument();
    for (const command::Spec& spec : command::All())
      if (spec.view_member) QVERIFY2(frame_->command(spec.name)->isEnabled(), spec.name);
  }

  void viewTicksFollowTheBars() {
    QAction* toolbar = frame_->command("viewToolbar");
    QAction* status = frame_->command("viewStatusBar");
    auto* bar = frame_->findChild<QToolBar*>("toolBar128");
    QVERIFY(toolbar->isChecked() && status->isChecked());
    // From the menu without a document, then with one.
    toolbar->trigger();
    QVERIFY(!bar->isVisible());
    QVERIFY(!toolbar->isChecked());
    frame_->NewDocument();
    QCOMPARE(frame_->menuId(), command::MenuSet::kDocument);
    toolbar->trigger();
    QVERIFY(bar->isVisible() && toolbar->isChecked());
    // Hidden another way (the toolbar's own context menu): the tick follows.
    bar->toggleViewAction()->trigger();
    QVERIFY(!toolbar->isChecked());
    frame_->statusBar()->hide();
    QVERIFY(!status->isChecked());
    status->trigger();
    QVERIFY(frame_->statusBar()->isVisible() && status->isChecked());
    // Minimising the frame hides nothing in the menu's eyes.
    frame_->showMinimized();
    QVERIFY(status->isChecked());
  }

  void windowListAndNumberedTitles() {
    CChildFrame* first = frame_->NewDocument();
    CChildFrame* second = frame_->NewWindow();
    CChildFrame* other = frame_->NewDocument();
    QCOMPARE(first->windowTitle(), QString("Quillbank1:1"));
    QCOMPARE(second->windowTitle(), QString("Quillbank1:2"));
    QCOMPARE(other->windowTitle(), QString("Quillbank2"));

    QMenu* menu = Popup(frame_->menuBar(), "&Window");
    auto entries = [&] {
      emit menu->aboutToShow();
      QStringList texts;
      for (QAction* action : menu->actions())
        if (action->objectName().startsWith(command::kWindowEntryPrefix))
          texts.append(action->text() + (action->isChecked() ? " *" : ""));
      return texts;
    };
    QCOMPARE(entries(), (QStringList{"&1 Quillbank1:1", "&2 Quillbank1:2", "&3 Quillbank2 *"}));
    menu->findChild<QAction*>("windowEntry1")->trigger();
    QCOMPARE(frame_->activeChild(), first);
    QCOMPARE(entries(), (QStringList{"&1 Quillbank1:1 *", "&2 Quillbank1:2", "&3 Quillbank2"}));

    // A minimised window comes back when chosen.
    second->parentWidget()->showMinimized();
    menu->findChild<QAction*>("windowEntry2")->trigger();
    QCOMPARE(frame_->activeChild(), second);
    QVERIFY(!second->parentWidget()->isMinimized());

    // One window left on the document: titled as the document again.
    second->parentWidget()->close();
    QTRY_COMPARE(first->windowTitle(), QString("Quillbank1"));
    QCOMPARE(entries().size(), 2);
    QCOMPARE(entries().filter(" *").size(), 1);
    QVERIFY(entries().first().startsWith("&1 Quillbank1"));
  }

  void tileAndArrangeIcons() {
    frame_->resize(800, 600);
    QList<QMdiSubWindow*> windows;
    for (int i = 0; i < 4; ++i)
      windows.append(qobject_cast<QMdiSubWindow*>(frame_->NewDocument()->parentWidget()));
    windows[3]->showMinimized();
    // Arrange Icons moves the minimised window only.
    windows[0]->showNormal();
    windows[0]->setGeometry(10, 20, 200, 150);
    frame_->command("windowArrange")->trigger();
    QCOMPARE(windows[0]->geometry(), QRect(10, 20, 200, 150));
    QVERIFY(windows[3]->isMinimized());
    QRect area = frame_->mdiArea()->viewport()->rect();
    QCOMPARE(windows[3]->geometry().bottom(), area.bottom());
    QCOMPARE(windows[3]->geometry().left(), 0);

    // Tile: one above the other, each as wide as the area, above the icons.
    frame_->mdiArea()->setActiveSubWindow(windows[1]);
    frame_->command("windowTile")->trigger();
    QVERIFY(windows[3]->isMinimized());
    QList<QMdiSubWindow*> tiled = {windows[0], windows[1], windows[2]};
    std::sort(tiled.begin(), tiled.end(), [](QMdiSubWindow* a, QMdiSubWindow* b) {
      return a->geometry().top() < b->geometry().top();
    });
    QCOMPARE(tiled.first(), windows[1]);  // the active one on top
    int y = 0;
    for (QMdiSubWindow* window : tiled) {
      QRect r = window->geometry();
      QCOMPARE(r.left(), 0);
      QCOMPARE(r.width(), area.width());
      QCOMPARE(r.top(), y);
      y = r.bottom() + 1;
    }
    QCOMPARE(y, windows[3]->geometry().top());
  }

  void splitMovesAndGoes() {
    CChildFrame* child = frame_->NewDocument();
    auto* rows = child->findChild<QSplitter*>("splitterRows");
    frame_->command("windowSplit")->trigger();
    QCOMPARE(child->paneCount(), 4);
    // Split once more: back to one pane.
    frame_->command("windowSplit")->trigger();
    QCOMPARE(child->paneCount(), 1);
    QCOMPARE(child->document()->views().size(), 1);
    QVERIFY(frame_->command("windowSplit")->isEnabled());

    // A split bar dragged to the edge takes its row or column away.
    frame_->command("windowSplit")->trigger();
    QTest::qWait(0);
    auto drag = [](QSplitter* splitter, QPoint to) {
      QSplitterHandle* handle = splitter->handle(1);
      QPoint from = handle->rect().center();
      QTest::mousePress(handle, Qt::LeftButton, {}, from);
      QMouseEvent move(QEvent::MouseMove, QPointF(to), handle->mapToGlobal(QPointF(to)),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(handle, &move);
      QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
    };
    // The row bar moved, not to the edge: both rows stay.
    QList<int> before = rows->sizes();
    drag(rows, QPoint(0, -20));
    QCOMPARE(child->paneCount(), 4);
    QVERIFY(rows->sizes() != before);
    // Now down to the bottom edge: the lower row goes.
    drag(rows, QPoint(0, rows->height()));
    QTRY_COMPARE(child->paneCount(), 2);
    QCOMPARE(rows->count(), 1);
    // The column bar to the right edge: one pane is left.
    auto* row = static_cast<QSplitter*>(rows->widget(0));
    drag(row, QPoint(row->width(), 0));
    QTRY_COMPARE(child->paneCount(), 1);
    QCOMPARE(child->document()->views().size(), 1);
  }

  void splitPanesShareScrolling() {
    qb::test::TempDir& dir = *dir_;
    std::vector<std::string> lines(300, "a printed line");
    QString path = QString::fromStdString(dir.Write(
        "long.qbd", qb::test::RecordFileBuilder().Head("Long").Lines(lines).End().bytes()));
    CChildFrame* child = frame_->OpenDocumentFile(path);
    QVERIFY(child);
    auto* first = qobject_cast<CQuillbankManagerView*>(child->activeView());
    QVERIFY(first);
    QCOMPARE(first->lastLine(), 299);
    first->VScroll(CQuillbankManagerView::kThumbPosition, 40);
    child->Split();
    QList<CQuillbankManagerView*> views = child->findChildren<CQuillbankManagerView*>();
    QCOMPARE(views.size(), 4);
    for (CQuillbankManagerView* view : views) QCOMPARE(view->topLine(), 40);

    // Views in rows then columns: 0 1 / 2 3.
    auto* rows = child->findChild<QSplitter*>("splitterRows");
    auto at = [&](int i) {
      auto* row = static_cast<QSplitter*>(rows->widget(i / 2));
      return qobject_cast<CQuillbankManagerView*>(row->widget(i % 2)->findChild<QWidget*>());
    };
    at(0)->VScroll(CQuillbankManagerView::kLineDown);
    QCOMPARE(at(1)->topLine(), 41);  // same row follows
    QCOMPARE(at(2)->topLine(), 40);  // the other row stays
    at(3)->HScroll(CQuillbankManagerView::kLineDown);
    QCOMPARE(at(1)->hScrollPos(), CQuillbankManagerView::kColumnStep);  // same column
    QCOMPARE(at(2)->hScrollPos(), 0);
    // One vertical bar per row on the right, one horizontal bar per column
    // at the bottom.
    QCOMPARE(at(0)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(at(1)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(at(0)->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(at(2)->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  }

  void longOperationHoldsOffDisturbingCommands() {
    qb::test::TempDir& dir = *dir_;
    QString good = QString::fromStdString(dir.Write("good.qbd", GoodFile("Waiting")));
    CChildFrame* child = frame_->NewDocument();
    auto* close = frame_->findChild<QAction*>("fileClose");
    int reads = 0;
    bool running = false;
    frame_->SetHandler("cardRead", this, [&](CQuillbankManagerDoc* doc) {
      ++reads;
      running = LongOperation::Running();
      QCOMPARE(doc, frame_->activeDocument());
    });
    std::optional<LongOperation> operation(std::in_place);
    for (const char* name : {"fileClose", "fileOpen", "cardRead", "searchFind", "fileExit"})
      QVERIFY2(!frame_->findChild<QAction*>(name)->isEnabled(), name);
    QVERIFY(frame_->findChild<QAction*>("navLineDown")->isEnabled());  // navigation stays
    QTest::keyClick(frame_.get(), Qt::Key_R, Qt::ControlModifier);
    frame_->command("cardRead")->trigger();
    QCOMPARE(reads, 0);
    // Window buttons and the frame's close do nothing; a handed-over file
    // waits until the operation ends.
    QVERIFY(!child->parentWidget()->close());
    QVERIFY(!frame_->close());
    frame_->OpenDocumentFileWhenIdle(good);
    QCOMPARE(frame_->childFrames().size(), 1);
    operation.reset();
    QCOMPARE(frame_->childFrames().size(), 2);
    QVERIFY(close->isEnabled());
    // A command carried out elsewhere runs as a long operation.
    QTest::keyClick(frame_.get(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(reads, 1);
    QVERIFY(running);
    QVERIFY(!LongOperation::Running());
  }

  void helpOpensTheManual() {
    // F1, Help Topics: the desktop's browser gets the manual the build put
    // beside the programs.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    QTest::keyClick(frame_.get(), Qt::Key_F1);
    frame_->command("helpTopics")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls.size(), 2);
    QString path = catcher.urls[0].toLocalFile();
    QVERIFY2(path.endsWith("/share/doc/quillbank-manager/manual/index.html"), qPrintable(path));
    QVERIFY(QFileInfo(path).isFile());
  }

  void helpWithoutABrowserNamesTheManual() {
    // A desktop where no program takes the manual's page: a box says where
    // the manual is, so that it can be opened by hand.
    ManualOpener previous = SetManualOpener([](const QUrl&) { return false; });
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&text, &icon] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        icon = box->icon();
        box->accept();
      }
    });
    frame_->command("helpTopics")->trigger();
    SetManualOpener(previous);
    QCOMPARE(icon, QMessageBox::Warning);
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(UserManualPath()));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(text, UiText(qb::msg::kManualNotOpened, path));
    QVERIFY2(
        text.endsWith(QDir::toNativeSeparators("/share/doc/quillbank-manager/manual/index.html")),
        qPrintable(text));
  }

  void aboutShowsItsBox() {
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
      if (auto* box = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget())) {
        shown = true;
        box->reject();
      }
    });
    frame_->findChild<QAction*>("helpAbout")->trigger();
    QVERIFY(shown);
  }

  void recentFileListKeepsNine() {
    for (int i = 0; i < 11; ++i) RecentFileList::Add(QStringLiteral("/f%1.qbd").arg(i));
    RecentFileList::Add("/f5.qbd");
    QStringList entries = RecentFileList::Entries();
    QCOMPARE(entries.size(), 9);
    QCOMPARE(entries.first(), QString("/f5.qbd"));
    QCOMPARE(entries.count("/f5.qbd"), 1);
    QCOMPARE(entries.last(), QString("/f2.qbd"));
  }

  void recentFilesMenuAndDrop() {
    qb::test::TempDir& dir = *dir_;
    QString good = QString::fromStdString(dir.Write("good.qbd", GoodFile("Dropped")));
    QMenu* file = Popup(frame_->menuBar(), "&File");
    RecentFileList::Add(good);
    RecentFileList::Add("/gone/other.qbd");
    for (int shows = 0; shows < 2; ++shows) emit file->aboutToShow();
    QStringList names = EntryNames(file->actions());
    QCOMPARE(names.count("recentFile1"), 1);
    QCOMPARE(names.count("recentFile2"), 1);
    QVERIFY(!file->findChild<QAction*>("recentPlaceholder")->isVisible());
    file->findChild<QAction*>("recentFile2")->trigger();
    QCOMPARE(frame_->childFrames().size(), 1);

    // A dropped file opens like File Open.
    frame_->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frame_->childFrames().isEmpty());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(good)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &drop);
    QCOMPARE(frame_->childFrames().size(), 1);
    QCOMPARE(frame_->activeChild()->windowTitle(), QString("good.qbd / Dropped"));
  }

  void recentFilesEnterWhenOpenedAndLeaveWhenGone() {
    qb::test::TempDir& dir = *dir_;
    QString bad = QString::fromStdString(dir.Write("bad.qbd", "no record file at all"));
    // A file that opens but fails its checks enters the list and stays.
    QVERIFY(!frame_->OpenDocumentFile(bad));
    QCOMPARE(RecentFileList::Entries().value(0), QFileInfo(bad).canonicalFilePath());
    // An entry whose file no longer opens leaves the list when chosen.
    RecentFileList::Add("/gone/other.qbd");
    QMenu* file = Popup(frame_->menuBar(), "&File");
    emit file->aboutToShow();
    QCOMPARE(file->findChild<QAction*>("recentFile1")->text(),
             "&1 " + QDir::toNativeSeparators("/gone/other.qbd"));
    size_t boxes = host_->boxes.size();
    file->findChild<QAction*>("recentFile1")->trigger();
    QCOMPARE(host_->boxes.size(), boxes + 1);
    QVERIFY(!RecentFileList::Entries().contains("/gone/other.qbd"));
    QCOMPARE(RecentFileList::Entries().value(0), QFileInfo(bad).canonicalFilePath());
  }

  void recentFileDisplayNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "/home/ann/a.qbd"
                           << "/home/ann/a.qbd";
    QTest::newRow("long") << "/home/ann/records/2026/december/week50/a.qbd"
                          << "/home/.../week50/a.qbd";
    QTest::newRow("no folder fits beside the name") << "/home/ann/records/a-long-recording-name.qbd"
                                                    << "a-long-recording-name.qbd";
    QTest::newRow("name longer than the entry")
        << "/home/ann/an-uncommonly-long-recording-name-2026.qbd"
        << "an-uncommonly-long-recording-name-2026.qbd";
    QTest::newRow("first folder too long") << "/a-very-long-first-folder-name/x/y/rec.qbd"
                                           << "rec.qbd";
    QTest::newRow("in the current folder") << QDir::currentPath() + "/here.qbd"
                                           << "here.qbd";
  }
  void recentFileDisplayNames() {
    QFETCH(QString, path);
    QFETCH(QString, shown);
    QCOMPARE(RecentFileList::DisplayName(path), QDir::toNativeSeparators(shown));
    QVERIFY(RecentFileList::DisplayName(path).size() <= RecentFileList::kMaxDisplayLength ||
            shown == QFileInfo(path).fileName());
  }

  void commandLine() {
    CommandLine line = ParseCommandLine({"/dde", "a.qbd", "--version"});
    QVERIFY(line.dde);
    QVERIFY(line.version);
    QCOMPARE(line.files, QStringList{"a.qbd"});
  }

  void startUpAndSecondLaunch() {
    qb::test::TempDir& dir = *dir_;
    QString good = QString::fromStdString(dir.Write("good.qbd", GoodFile("Handed over")));
    QString empty = QString::fromStdString(dir.Write("empty.qbd", ""));
    qb::JobHost* before = &qb::CurrentJobHost();
    {
      // A named file that fails to load ends the start-up.
      CQuillbankManagerApp app;
      QVERIFY(!app.InitInstance(ParseCommandLine({empty}), false));
      QVERIFY(app.mainFrame()->childFrames().isEmpty());
    }
    QCOMPARE(&qb::CurrentJobHost(), before);
    CQuillbankManagerApp app;
    QVERIFY(app.InitInstance(ParseCommandLine({"/dde"}), false));
    QVERIFY(app.progressDialog());
    QVERIFY(app.mainFrame()->childFrames().isEmpty());
#ifdef _WIN32
    // A named pipe's client and server in one thread do not meet under Wine;
    // the Windows end-to-end test hands a file from a second process over.
    return;
#endif
    // The first instance listens; a later launch hands its file over.
    QVERIFY(HandToRunningInstance({good}));
    QTRY_COMPARE(app.mainFrame()->childFrames().size(), 1);
    QCOMPARE(app.mainFrame()->activeChild()->windowTitle(), QString("good.qbd / Handed over"));
  }

  void fileTypeRegistration_data() {
    QTest::addColumn<QString>("claimed_by");
    QTest::addColumn<bool>("mime_entry");
    QTest::newRow("unknown extension") << "application/octet-stream" << true;
    QTest::newRow("already ours") << kRecordMimeType << true;
    QTest::newRow("claimed by another type") << "application/x-other" << false;
  }
  void fileTypeRegistration() {
    QFETCH(QString, claimed_by);
    QFETCH(bool, mime_entry);
    qb::test::TempDir& dir = *dir_;
    QString home = QString::fromStdString(dir.path());
    QVERIFY(RegisterFileType("/opt/qb/quillbank-manager", home, claimed_by));
    QString mime = QString::fromStdString(dir.Read("mime/packages/quillbank-manager.xml"));
    QCOMPARE(mime.contains("<glob pattern=\"*.qbd\"/>"), mime_entry);
    QCOMPARE(mime.contains("<comment>Quillbank Document</comment>"), mime_entry);
    QString desktop = QString::fromStdString(dir.Read("applications/quillbank-manager.desktop"));
    QVERIFY(desktop.contains("Exec=\"/opt/qb/quillbank-manager\" %f\n"));
    QVERIFY(desktop.contains("MimeType=application/x-quillbank-document;\n"));
    QVERIFY(desktop.contains("Name=Quillbank Manager\n"));
    // A data folder that cannot be made fails the registration.
    QString blocked = QString::fromStdString(dir.Write("blocked", "x"));
    QVERIFY(!RegisterFileType("/p", blocked, claimed_by));
  }

  void shellFileTypeRegistration_data() {
    QTest::addColumn<QString>("extension_before");
    QTest::addColumn<QString>("extension_after");
    QTest::newRow("unclaimed") << QString() << "QuillbankManager.Document";
    QTest::newRow("already ours") << "QuillbankManager.Document"
                                  << "QuillbankManager.Document";
    QTest::newRow("claimed by another type") << "Other.Type"
                                             << "Other.Type";
  }
  void shellFileTypeRegistration() {
    QFETCH(QString, extension_before);
    QFETCH(QString, extension_after);
#ifdef _WIN32
    // The registry as Windows keeps it, under a key of the test's own.
    const QString root = QStringLiteral("HKEY_CURRENT_USER\\Software\\QuillbankTest\\Classes");
    QSettings(root, QSettings::NativeFormat).clear();
    QSettings classes(root, QSettings::NativeFormat);
#else
    QSettings classes(QString::fromStdString(dir_->File("classes.ini")), QSettings::IniFormat);
#endif
    if (!extension_before.isEmpty()) classes.setValue(".qbd/Default", extension_before);
    const QString program = QDir::toNativeSeparators("/Programs/Quillbank Manager/bin/qbm.exe");
    bool changed = false;
    QVERIFY(RegisterShellFileType(classes, "/Programs/Quillbank Manager/bin/qbm.exe", &changed));
    QVERIFY(changed);
    QCOMPARE(classes.value("QuillbankManager.Document/Default").toString(),
             QString("Quillbank Document"));
    QCOMPARE(classes.value("QuillbankManager.Document/DefaultIcon/Default").toString(),
             program + ",1");
    QCOMPARE(classes.value("QuillbankManager.Document/shell/open/command/Default").toString(),
             "\"" + program + "\" \"%1\"");
    QCOMPARE(classes.value(".qbd/Default").toString(), extension_after);
    QCOMPARE(classes.contains(".qbd/ShellNew/NullFile"), extension_before != "Other.Type");
    // A second start finds everything in place and writes nothing.
    QVERIFY(RegisterShellFileType(classes, "/Programs/Quillbank Manager/bin/qbm.exe", &changed));
    QVERIFY(!changed);
#ifdef _WIN32
    classes.clear();
#endif
  }

  void programLocale() {
    SetProgramLocale();
    // Where the system has the German locale, fractions print with a comma.
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    QString numeric = QString::fromLatin1(std::setlocale(LC_NUMERIC, nullptr));
    QCOMPARE(QString::fromLatin1(text), numeric.startsWith("de_DE") || numeric.startsWith("German")
                                            ? QString("1,5")
                                            : QString("1.5"));
    std::setlocale(LC_ALL, "C");
  }

  void versionOption() {
    QProcess process;
    process.start(QStringLiteral(QB_MANAGER_BINARY), {"--version"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // Windows ends the lines of standard output with CR LF.
    QString output = QString::fromUtf8(process.readAllStandardOutput()).remove('\r');
    QCOMPARE(output.split('\n').first(), QString("Quillbank Manager V1.0.3.1"));
    QCOMPARE(output, QString::fromStdString(VersionText()));
    QVERIFY(output.contains("48531.BD93"));
  }

 private:
  std::unique_ptr<qb::test::TempDir> dir_;
  std::unique_ptr<qb::test::RecordingHost> host_;
  std::unique_ptr<qb::ScopedJobHost> scoped_;
  std::unique_ptr<CMainFrame> frame_;
  int prompts_ = 0;
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
