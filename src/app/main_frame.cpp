#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>
#include <optional>


#include "app/about_dialog.h"
#include "app/child_frame.h"
#include "app/long_operation.h"
#include "app/quillbank_doc.h"
#include "app/ui_text.h"
#include "app/user_manual.h"
#include "base/messages.h"

namespace {

constexpr int kSeparator = 0;
constexpr int kRecentPlaceholder = -1;

struct Item {
  int id;
  int text;
};
struct Popup {
  int text;
  std::vector<Item> items;
};

const std::vector<Item> kCardItems = {
    {cmd::kCardInit, 60006}, {cmd::kCardRead, 60007}, {cmd::kCardInfo, 60008}};
const std::vector<Item> kViewItems = {{cmd::kViewToolbar, 60015}, {cmd::kViewStatusBar, 60016}};

std::vector<Item> OptionItems(int calculator) {
  return {{cmd::kOptionsDrive, 60010},
          {cmd::kOptionsDevice, 60011},
          {cmd::kPrinterEmulation, 60012},
          {calculator, 60013}};
}

const std::vector<Popup> kMenu128 = {
    {60000,
     {{cmd::kFileOpen, 60001},
      {kSeparator, 0},
      {cmd::kPrintSetup, 60002},
      {kSeparator, 0},
      {kRecentPlaceholder, 60003},
      {kSeparator, 0},
      {cmd::kExit, 60004}}},
    {60005, kCardItems},
    {60009, OptionItems(cmd::kCalculatorNoDoc)},
    {60014, kViewItems},
    {60017, {{cmd::kHelpTopics, 60018}, {kSeparator, 0}, {cmd::kAbout, 60019}}},
};

const std::vector<Popup> kMenu129 = {
    {60000,
     {{cmd::kFileOpen, 60001},
      {cmd::kFileClose, 60020},
      {kSeparator, 0},
      {cmd::kExport, 60021},
      {kSeparator, 0},
      {cmd::kPrint, 60022},
      {cmd::kPrintSetup, 60002},
      {kSeparator, 0},
      {kRecentPlaceholder, 60003},
      {kSeparator, 0},
      {cmd::kExit, 60004}}},
    {60005, kCardItems},
    {60009, OptionItems(cmd::kCalculator)},
    {60023, {{cmd::kFind, 60024}, {cmd::kFindAgain, 60025}}},
    {60014, kViewItems},
    {60026,
     {{cmd::kWindowNew, 60027},
      {cmd::kWindowCascade, 60028},
      {cmd::kWindowTile, 60029},
      {cmd::kWindowArrange, 60030},
      {cmd::kWindowSplit, 60031}}},
    {60017, {{cmd::kHelpTopics, 60018}, {kSeparator, 0}, {cmd::kAbout, 60032}}},
    {60033,
     {{32790, 60034},
      {32791, 60035},
      {32792, 60036},
      {32793, 60037},
      {32796, 60038},
      {32797, 60039},
      {32798, 60040},
      {32799, 60041},
      {32802, 60042},
      {32803, 60043},
      {32806, 60044},
      {32807, 60045}}},
};

struct Accelerator {
  QKeyCombination key;
  int id;
};
const Accelerator kAccelerators[] = {
    {Qt::CTRL | Qt::Key_D, cmd::kOptionsDrive},
    {Qt::CTRL | Qt::Key_I, cmd::kCardInit},
    {Qt::CTRL | Qt::Key_N, cmd::kFileNew},
    {Qt::CTRL | Qt::Key_O, cmd::kOptionsDevice},
    {Qt::CTRL | Qt::Key_P, cmd::kPrint},
    {Qt::CTRL | Qt::Key_R, cmd::kCardRead},
    {Qt::CTRL | Qt::Key_S, cmd::kFileSave},
    {Qt::CTRL | Qt::Key_V, cmd::kPrintPreview},
    {QKeyCombination(Qt::Key_Up), 32790},
    {QKeyCombination(Qt::Key_Down), 32791},
    {QKeyCombination(Qt::Key_PageUp), 32792},
    {QKeyCombination(Qt::Key_PageDown), 32793},
    {QKeyCombination(Qt::Key_Left), 32796},
    {QKeyCombination(Qt::Key_Right), 32797},
    {Qt::CTRL | Qt::Key_Home, 32798},
    {Qt::CTRL | Qt::Key_End, 32799},
    {QKeyCombination(Qt::Key_Home), 32802},
    {QKeyCombination(Qt::Key_End), 32803},
    {Qt::CTRL | Qt::Key_PageDown, 32806},
    {Qt::CTRL | Qt::Key_PageUp, 32807},
    {QKeyCombination(Qt::Key_F3), cmd::kFindAgain},
    {Qt::CTRL | Qt::Key_F3, cmd::kFind},
    {QKeyCombination(Qt::Key_F1), cmd::kHelp},
    {Qt::SHIFT | Qt::Key_F1, cmd::kContextHelp},
    {QKeyCombination(Qt::Key_F6), cmd::kNextPane},
    {Qt::SHIFT | Qt::Key_F6, cmd::kPreviousPane},
};

const int kToolBar[] = {
    cmd::kFileOpen, kSeparator,          cmd::kCardInfo,         cmd::kCardInit,   cmd::kCardRead,
    kSeparator,     cmd::kPrint,         cmd::kPrinterEmulation, kSeparator,       cmd::kFind,
    kSeparator,     cmd::kOptionsDevice, cmd::kOptionsDrive,     cmd::kCalculator, kSeparator,
    cmd::kAbout,    cmd::kContextHelp};

bool NeedsDocument(int id) {
  switch (id) {
    case cmd::kFileClose:
    case cmd::kExport:
    case cmd::kFind:
    case cmd::kFindAgain:
    case cmd::kPrint:
    case cmd::kPrintDirect:
    case cmd::kPrintPreview:
    case cmd::kFileSave:
    case cmd::kWindowNew:
    case cmd::kWindowArrange:
    case cmd::kWindowCascade:
    case cmd::kWindowTile:
    case cmd::kWindowSplit:
    case cmd::kNextPane:
    case cmd::kPreviousPane:
      return true;
    default:
      return id >= cmd::kFirstNavigation && id <= cmd::kLastNavigation;
  }
}

// Commands that would disturb a running long operation: closing, exiting,
// opening and starting another operation. They stay disabled until it ends.
bool DisturbsLongOperation(int id) {
  switch (id) {
    case cmd::kFileOpen:
    case cmd::kFileClose:
    case cmd::kExit:
    case cmd::kFind:
    case cmd::kFindAgain:
    case cmd::kCardInfo:
    case cmd::kCardInit:
    case cmd::kCardRead:
    case cmd::kOptionsDrive:
    case cmd::kOptionsDevice:
    case cmd::kPrinterEmulation:
    case cmd::kExport:
    case cmd::kPrint:
    case cmd::kPrintDirect:
    case cmd::kPrintPreview:
    case cmd::kPrintSetup:
      return true;
    default:
      return false;
  }
}

// Commands carried out elsewhere that run as a long operation.
bool IsLongOperation(int id) {
  return DisturbsLongOperation(id) && id != cmd::kFileClose && id != cmd::kExit &&
         id != cmd::kFileOpen;
}

// Our own toolbar pictures: simple shapes on a 16 by 16 pixel grid.
QIcon ToolIcon(int id) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor ink(40, 40, 40);
  const QColor card(70, 110, 180);
  p.setPen(ink);
  switch (id) {
    case cmd::kFileOpen:  // a folder
      p.setBrush(QColor(230, 190, 70));
      p.drawRect(1, 4, 13, 9);
      p.drawRect(1, 2, 5, 2);
      break;
    case cmd::kCardInfo:  // a card with a dot and a bar
    case cmd::kCardInit:  // a card with a plus
    case cmd::kCardRead:  // a card with an arrow out of it
      p.setBrush(card);
      p.drawRect(2, 1, 9, 13);
      p.setPen(Qt::white);
      if (id == cmd::kCardInfo) {
        p.drawPoint(6, 4);
        p.drawLine(6, 6, 6, 11);
      } else if (id == cmd::kCardInit) {
        p.drawLine(4, 7, 9, 7);
        p.drawLine(6, 5, 6, 10);
      } else {
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawLine(8, 8, 14, 8);
        p.drawLine(12, 5, 14, 8);
        p.drawLine(12, 11, 14, 8);
      }
      break;
    case cmd::kPrint:  // a printer
    case cmd::kPrinterEmulation:
      p.setBrush(Qt::white);
      p.drawRect(4, 1, 7, 5);
      p.setBrush(QColor(150, 150, 150));
      p.drawRect(1, 6, 13, 6);
      p.setBrush(Qt::white);
      p.drawRect(4, 10, 7, 4);
      if (id == cmd::kPrinterEmulation) {
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawLine(1, 15, 15, 1);
      }
      break;
    case cmd::kFind:  // a magnifier
      p.setBrush(QColor(200, 230, 250));
      p.drawEllipse(1, 1, 9, 9);
      p.setPen(QPen(ink, 2));
      p.drawLine(9, 9, 14, 14);
      break;
    case cmd::kOptionsDevice:  // a recorder box with a display
      p.setBrush(QColor(180, 180, 160));
      p.drawRect(1, 3, 13, 10);
      p.setBrush(QColor(90, 180, 90));
      p.drawRect(3, 5, 9, 3);
      break;
    case cmd::kOptionsDrive:  // a drive with a slot
      p.setBrush(QColor(160, 160, 160));
      p.drawRect(1, 5, 13, 7);
      p.setPen(QPen(ink, 2));
      p.drawLine(4, 8, 11, 8);
      break;
    case cmd::kCalculator:  // a calculator keypad
      p.setBrush(QColor(220, 220, 220));
      p.drawRect(2, 1, 11, 13);
      p.setBrush(QColor(90, 180, 90));
      p.drawRect(4, 3, 7, 2);
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) p.drawRect(4 + 3 * col, 7 + 2 * row, 1, 1);
      break;
    case cmd::kAbout:  // a speech bubble
      p.setBrush(QColor(250, 240, 160));
      p.drawEllipse(1, 1, 13, 10);
      p.drawLine(4, 11, 3, 15);
      break;
    case cmd::kContextHelp: {  // a pointer with a mark
      QPainterPath arrow;
      arrow.moveTo(1, 1);
      arrow.lineTo(1, 12);
      arrow.lineTo(4, 9);
      arrow.lineTo(7, 14);
      arrow.lineTo(9, 13);
      arrow.lineTo(6, 8);
      arrow.lineTo(10, 8);
      arrow.closeSubpath();
      p.setBrush(Qt::white);
      p.drawPath(arrow);
      p.setBrush(QColor(60, 90, 200));
      p.drawEllipse(11, 2, 4, 4);
      break;
    }
    default:
      break;
  }
  return QIcon(pixmap);
}

// The view's slot that carries out a command, or null.
const char* ViewSlot(int id) {
  static const std::map<int, const char*> kSlots = {{32790, "LineUp"},
                                                    {32791, "LineDown"},
                                                    {32792, "PageUp"},
                                                    {32793, "PageDown"},
                                                    {32796, "ColumnLeft"},
                                                    {32797, "ColumnRight"},
                                                    {32798, "Home"},
                                                    {32799, "End"},
                                                    {32802, "LineHome"},
                                                    {32803, "LineEnd"},
                                                    {32806, "PageEnd"},
                                                    {32807, "PageStart"},
                                                    {cmd::kFind, "Find"},
                                                    {cmd::kFindAgain, "FindAgain"},
                                                    {cmd::kPrinterEmulation, "PrinterEmulation"}};
  auto found = kSlots.find(id);
  return found == kSlots.end() ? nullptr : found->second;
}

QString CanonicalPath(const QString& path) {
  QFileInfo info(path);
  QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(UiText(qb::msg::kAppName));
  mdi_ = new QMdiArea(this);
  mdi_->setObjectName(QStringLiteral("mdiArea"));
  setCentralWidget(mdi_);
  setAcceptDrops(true);
  BuildMenus();
  BuildAccelerators();
  BuildToolBar();
  BuildStatusBar();
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { UpdateState(); });
  connect(LongOperation::Notifier(), &LongOperationNotifier::runningChanged, this,
          &CMainFrame::OnLongOperationChanged);
  UpdateState();
}

void CMainFrame::OnLongOperationChanged(bool running) {
  UpdateState();
  if (running) return;
  // What arrived while the operation ran opens now, in order.
  QStringList pending;
  pending.swap(pending_opens_);
  for (const QString& path : pending) OpenDocumentFileWhenIdle(path);
}

void CMainFrame::OpenDocumentFileWhenIdle(const QString& path) {
  if (LongOperation::Running())
    pending_opens_.append(path);
  else
    OpenDocumentFile(path);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (LongOperation::Running()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

CMainFrame::~CMainFrame() {
  // The windows go first, while the frame they report to is whole.
  closing_ = true;
  delete mdi_;
}

QAction* CMainFrame::MakeAction(int id, const QString& text) {
  auto* action = new QAction(text, this);
  action->setData(id);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  QString help = UiText(id);
  if (!help.isEmpty()) {
    qsizetype newline = help.indexOf('\n');
    action->setStatusTip(help.left(newline));
    if (newline >= 0) action->setToolTip(help.mid(newline + 1));
  }
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  actions_.push_back(action);
  return action;
}

void CMainFrame::BuildMenus() {
  for (const auto& [menu_id, popups] : {std::pair{128, &kMenu128}, std::pair{129, &kMenu129}}) {
    for (const Popup& popup : *popups) {
      auto* menu = new QMenu(UiText(popup.text), this);
      menu->setObjectName(QStringLiteral("menu%1_%2").arg(menu_id).arg(popup.text));
      for (const Item& item : popup.items) {
        if (item.id == kSeparator) {
          menu->addSeparator();
        } else if (item.id == kRecentPlaceholder) {
          QAction* placeholder = menu->addAction(UiText(item.text));
          placeholder->setObjectName(QStringLiteral("recentPlaceholder"));
          placeholder->setEnabled(false);
          connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillRecentFiles(menu); });
        } else {
          QAction* action = MakeAction(item.id, UiText(item.text));
          if (item.id == cmd::kViewToolbar || item.id == cmd::kViewStatusBar) {
            action->setCheckable(true);
            action->setChecked(true);
          }
          menu->addAction(action);
        }
      }
      menus_[menu_id].push_back(menu);
    }
  }
}

void CMainFrame::BuildAccelerators() {
  for (const Accelerator& accelerator : kAccelerators) {
    QAction* action = MakeAction(accelerator.id, QString());
    action->setObjectName(QStringLiteral("acc%1").arg(accelerator.id));
    action->setShortcut(QKeySequence(accelerator.key));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
}

void CMainFrame::BuildToolBar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QStringLiteral("toolBar128"));
  toolbar_->setIconSize(QSize(16, 16));
  for (int id : kToolBar) {
    if (id == kSeparator) {
      toolbar_->addSeparator();
      continue;
    }
    QAction* action = MakeAction(id, QString());
    action->setObjectName(QStringLiteral("tb%1").arg(id));
    action->setIcon(ToolIcon(id));
    toolbar_->addAction(action);
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusBar"));
  bar->showMessage(UiText(qb::msg::kIdleMessage));
  connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
    if (message.isEmpty()) bar->showMessage(UiText(qb::msg::kIdleMessage));
  });
  // Key states cannot be read here portably; the indicators stay greyed.
  for (int id : {qb::msg::kIndicatorCaps, qb::msg::kIndicatorNum, qb::msg::kIndicatorScroll}) {
    auto* indicator = new QLabel(UiText(id), bar);
    indicator->setObjectName(QStringLiteral("indicator%1").arg(id));
    indicator->setEnabled(false);
    bar->addPermanentWidget(indicator);
  }
}

void CMainFrame::ShowMenu(int id) {
  if (menu_id_ == id) return;
  menu_id_ = id;
  QMenuBar* bar = menuBar();
  bar->clear();
  for (QMenu* menu : menus_[id]) bar->addMenu(menu);
}

void CMainFrame::UpdateState() {
  if (closing_) return;
  CChildFrame* child = activeChild();
  bool running = LongOperation::Running();
  ShowMenu(child ? 129 : 128);
  for (QAction* action : actions_) {
    int id = action->data().toInt();
    bool enabled = !NeedsDocument(id) || child != nullptr;
    if (id == cmd::kWindowSplit) enabled = child && child->canSplit();
    if (running && DisturbsLongOperation(id)) enabled = false;
    action->setEnabled(enabled);
  }
  // A maximised window's title is added by the MDI area itself.
  QString title = UiText(qb::msg::kAppName);
  if (child && !child->parentWidget()->isMaximized())
    title += QStringLiteral(" - ") + child->windowTitle();
  setWindowTitle(title);
}

void CMainFrame::FillRecentFiles(QMenu* menu) {
  QList<QAction*> items = menu->actions();
  // The entries sit between the separators around the placeholder.
  QAction* placeholder = menu->findChild<QAction*>(QStringLiteral("recentPlaceholder"));
  for (QAction* item : items)
    if (item->data().toInt() >= cmd::kRecentFirst &&
        item->data().toInt() < cmd::kRecentFirst + RecentFileList::kSize)
      delete item;
  QStringList entries = RecentFileList::Entries();
  placeholder->setVisible(entries.isEmpty());
  for (int i = 0; i < entries.size(); ++i) {
    QString path = entries[i];
    auto* action =
        new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)), menu);
    action->setData(cmd::kRecentFirst + i);
    action->setObjectName(QStringLiteral("cmd%1").arg(cmd::kRecentFirst + i));
    connect(action, &QAction::triggered, this, [this, path] { OpenDocumentFileWhenIdle(path); });
    menu->insertAction(placeholder, action);
  }
}

CChildFrame* CMainFrame::activeChild() const {
  QMdiSubWindow* window = mdi_->activeSubWindow();
  return window ? qobject_cast<CChildFrame*>(window->widget()) : nullptr;
}

CQuillbankManagerDoc* CMainFrame::activeDocument() const {
  CChildFrame* child = activeChild();
  return child ? child->document() : nullptr;
}

QList<CChildFrame*> CMainFrame::childFrames() const {
  QList<CChildFrame*> result;
  for (QMdiSubWindow* window : mdi_->subWindowList())
    if (auto* child = qobject_cast<CChildFrame*>(window->widget())) result.append(child);
  return result;
}

CChildFrame* CMainFrame::AddChild(std::shared_ptr<CQuillbankManagerDoc> doc) {
  auto* child = new CChildFrame(std::move(doc));
  QMdiSubWindow* window = mdi_->addSubWindow(child);
  window->setAttribute(Qt::WA_DeleteOnClose);
  connect(child, &QWidget::windowTitleChanged, this, [this] { UpdateState(); });
  connect(window, &QObject::destroyed, this, [this] { UpdateState(); });
  connect(window, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateState(); });
  window->showMaximized();
  mdi_->setActiveSubWindow(window);
  UpdateState();
  return child;
}

CChildFrame* CMainFrame::OpenDocumentFile(const QString& path) {
  QString canonical = CanonicalPath(path);
  for (QMdiSubWindow* window : mdi_->subWindowList()) {
    auto* child = qobject_cast<CChildFrame*>(window->widget());
    if (child && child->document()->pathName() == canonical) {
      mdi_->setActiveSubWindow(window);
      return child;
    }
  }
  auto doc = std::make_shared<CQuillbankManagerDoc>();
  {
    LongOperation loading;
    if (!doc->OpenDocument(canonical)) return nullptr;
  }
  return AddChild(std::move(doc));
}

CChildFrame* CMainFrame::NewDocument() {
  auto doc = std::make_shared<CQuillbankManagerDoc>();
  doc->NewDocument(++new_count_);
  return AddChild(std::move(doc));
}

CChildFrame* CMainFrame::NewWindow() {
  CChildFrame* child = activeChild();
  return child ? AddChild(child->sharedDocument()) : nullptr;
}

QStringList CMainFrame::AskForFiles() {
  if (open_prompt_) return open_prompt_();
  return QFileDialog::getOpenFileNames(this, QString(), QString(), DialogFilter(qb::msg::kFileFilter));
}

void CMainFrame::OnCommand(int id) {
  CChildFrame* child = activeChild();
  if (NeedsDocument(id) && !child) return;
  if (LongOperation::Running() && DisturbsLongOperation(id)) return;
  switch (id) {
    case cmd::kFileNew:
      NewDocument();
      return;
    case cmd::kFileOpen:
      for (const QString& path : AskForFiles()) OpenDocumentFile(path);
      return;
    case cmd::kFileClose:
      // Every window on the active document closes with it.
      for (CChildFrame* frame : childFrames())
        if (frame->document() == child->document()) frame->parentWidget()->close();
      return;
    case cmd::kFileSave:  // documents are read-only: nothing to write
      return;
    case cmd::kExit:
      close();
      return;
    case cmd::kViewToolbar:
      toolbar_->setVisible(!toolbar_->isVisible());
      return;
    case cmd::kViewStatusBar:
      statusBar()->setVisible(!statusBar()->isVisible());
      return;
    case cmd::kWindowNew:
      NewWindow();
      return;
    case cmd::kWindowCascade:
      mdi_->cascadeSubWindows();
      return;
    case cmd::kWindowTile:
    case cmd::kWindowArrange:
      mdi_->tileSubWindows();
      return;
    case cmd::kWindowSplit:
      child->Split();
      UpdateState();
      return;
    case cmd::kNextPane:
    case cmd::kPreviousPane:
      child->ActivateNextPane(id == cmd::kNextPane ? 1 : -1);
      return;
    case cmd::kContextHelp:
      QWhatsThis::enterWhatsThisMode();
      return;
    case cmd::kHelpTopics:
    case cmd::kHelpFinder:
    case cmd::kHelp:
      OpenUserManual(this);
      return;
    case cmd::kAbout:
      CAboutDialog(this).exec();
      return;
    default:
      break;
  }
  // The active view carries out its own commands when it has a slot for
  // them; everything else goes out to whoever handles it.
  if (const char* slot = ViewSlot(id); slot && child) {
    QWidget* view = child->activeView();
    QByteArray signature = QByteArray(slot) + "()";
    if (view && view->metaObject()->indexOfSlot(signature.constData()) >= 0) {
      QMetaObject::invokeMethod(view, slot);
      return;
    }
  }
  std::optional<LongOperation> operation;
  if (IsLongOperation(id)) operation.emplace();
  emit commandRequested(id, child ? child->document() : nullptr);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) OpenDocumentFileWhenIdle(url.toLocalFile());
  event->acceptProposedAction();
}
