#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>
#include <array>
#include <optional>

#include "app/about_dialog.h"
#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/commands.h"
#include "app/lock_key_indicators.h"
#include "app/long_operation.h"
#include "app/mdi_arrange.h"
#include "app/paper_settings_dialog.h"
#include "app/paper_view.h"
#include "app/quillbank_doc.h"
#include "app/recent_file_list.h"
#include "app/text_view.h"
#include "app/ui_text.h"
#include "app/user_manual.h"
#include "base/messages.h"

namespace {

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
  BuildCommands();
  SetFrameHandlers();
  BuildMenus();
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

// One command: its table entry, its action, the key that triggers it and
// who carries it out.
struct CMainFrame::Command {
  const command::Spec* spec = nullptr;
  QAction* action = nullptr;
  QShortcut* key = nullptr;
  QPointer<QObject> owner;
  Handler handler;
};

void CMainFrame::BuildCommands() {
  for (const command::Spec& spec : command::All()) {
    auto entry = std::make_unique<Command>();
    entry->spec = &spec;
    auto* action = new QAction(spec.text ? UiText(*spec.text) : QString(), this);
    action->setObjectName(QString::fromLatin1(spec.name));
    if (spec.prompt) {
      QString help = UiText(*spec.prompt);
      qsizetype newline = help.indexOf('\n');
      action->setStatusTip(help.left(newline));
      if (newline >= 0) action->setToolTip(help.mid(newline + 1));
    }
    if (spec.checkable) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    action->setIcon(command::Picture(spec));
    Command* raw = entry.get();
    connect(action, &QAction::triggered, this, [this, raw] { Run(*raw); });
    // The key lives beside the action rather than on it, so that the menus
    // show only their own texts; it follows the action's enabling.
    if (spec.key != QKeyCombination()) {
      entry->key = new QShortcut(QKeySequence(spec.key), this);
      entry->key->setContext(Qt::WindowShortcut);
      connect(entry->key, &QShortcut::activated, action, &QAction::trigger);
      connect(action, &QAction::enabledChanged, entry->key, &QShortcut::setEnabled);
    }
    entry->action = action;
    commands_.emplace(spec.name, std::move(entry));
  }
}

QAction* CMainFrame::command(const QString& name) const {
  auto found = commands_.find(name.toStdString());
  return found == commands_.end() ? nullptr : found->second->action;
}

void CMainFrame::SetHandler(const char* name, QObject* owner, Handler handler) {
  auto found = commands_.find(name);
  Q_ASSERT_X(found != commands_.end(), "CMainFrame::SetHandler", name);
  if (found == commands_.end()) return;
  found->second->owner = owner;
  found->second->handler = std::move(handler);
}

bool CMainFrame::HasHandler(const QString& name) const {
  auto found = commands_.find(name.toStdString());
  return found != commands_.end() && found->second->owner && found->second->handler;
}

void CMainFrame::SetFrameHandlers() {
  auto set = [this](const char* name, std::function<void()> handler) {
    SetHandler(name, this, [handler = std::move(handler)](CQuillbankManagerDoc*) { handler(); });
  };
  set("fileNew", [this] { NewDocument(); });
  set("fileOpen", [this] {
    for (const QString& path : AskForFiles()) OpenDocumentFile(path);
  });
  set("fileClose", [this] {
    // Every window on the active document closes with it.
    CQuillbankManagerDoc* doc = activeDocument();
    for (CChildFrame* frame : childFrames())
      if (frame->document() == doc) frame->parentWidget()->close();
  });
  set("fileSave", [] {});  // documents are read-only: nothing to write
  set("fileExit", [this] { close(); });
  // The ticks follow what is shown, however it came to be shown or hidden.
  set("viewToolbar", [this] { toolbar_->setVisible(command("viewToolbar")->isChecked()); });
  set("viewStatusBar", [this] { statusBar()->setVisible(command("viewStatusBar")->isChecked()); });
  set("windowNew", [this] { NewWindow(); });
  set("windowCascade", [this] { mdi_->cascadeSubWindows(); });
  set("windowTile", [this] { TileHorizontally(mdi_); });
  set("windowArrange", [this] { ArrangeIcons(mdi_); });
  set("windowSplit", [this] {
    activeChild()->Split();
    UpdateState();
  });
  set("windowNextPane", [this] { activeChild()->ActivateNextPane(1); });
  set("windowPreviousPane", [this] { activeChild()->ActivateNextPane(-1); });
  set("viewPaper", [this] {
    CChildFrame* child = activeChild();
    const bool paper = !child->paperMode();
    // New windows open as the last one was switched.
    if (child->SetPaperMode(paper)) qb::AppSettings().SetPaperView(paper ? 1 : 0);
    UpdateState();
  });
  set("viewZoomIn", [this] { activeChild()->paperView()->ZoomIn(); });
  set("viewZoomOut", [this] { activeChild()->paperView()->ZoomOut(); });
  set("viewFitWidth", [this] { activeChild()->paperView()->FitWidth(); });
  set("optionsPaper", [this] {
    CPaperSettingsDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    for (CChildFrame* child : childFrames()) child->OnPrinterChanged();
    UpdateState();
  });
  set("helpContext", [] { QWhatsThis::enterWhatsThisMode(); });
  set("helpTopics", [this] { OpenUserManual(this); });
  set("help", [this] { OpenUserManual(this); });
  set("helpAbout", [this] { CAboutDialog(this).exec(); });
  // The window's view carries out its own commands.
  for (const command::Spec& spec : command::All()) {
    if (spec.view_member == nullptr) continue;
    set(spec.name, [this, member = spec.view_member] {
      CChildFrame* child = activeChild();
      if (DocumentView* view = child ? child->activeDocumentView() : nullptr) (view->*member)();
    });
  }
}

void CMainFrame::Run(Command& entry) {
  const unsigned rule = entry.spec->rule;
  if ((rule & command::kNeedsDocument) && activeChild() == nullptr) return;
  if ((rule & command::kHeldOff) && LongOperation::Running()) return;
  if ((rule & command::kNeedsLineView) && activeChild()->paperMode()) return;
  if ((rule & command::kNeedsPaperView) && !activeChild()->paperMode()) return;
  if (!entry.owner || !entry.handler) return;
  std::optional<LongOperation> operation;
  if (rule & command::kLongOperation) operation.emplace();
  // The handler may replace itself; the call works on its own copy.
  Handler handler = entry.handler;
  handler(activeDocument());
}

void CMainFrame::BuildMenus() {
  for (command::MenuSet menu_id : {command::MenuSet::kNoDocument, command::MenuSet::kDocument}) {
    for (const command::Popup& popup : command::Menu(menu_id)) {
      auto* menu = new QMenu(UiText(popup.title), this);
      menu->setObjectName(
          QStringLiteral("menu%1_%2").arg(static_cast<int>(menu_id)).arg(popup.title.id));
      for (std::string_view entry : popup.entries) {
        if (entry == command::kSeparator) {
          menu->addSeparator();
        } else if (entry == command::kRecentFiles) {
          QAction* placeholder = menu->addAction(UiText(command::kRecentFilesText));
          placeholder->setObjectName(QStringLiteral("recentPlaceholder"));
          placeholder->setEnabled(false);
          connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillRecentFiles(menu); });
        } else if (entry == command::kWindowList) {
          QAction* start = menu->addSeparator();
          start->setObjectName(QLatin1String(command::kWindowList));
          connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillWindowList(menu); });
        } else {
          menu->addAction(command(QString::fromLatin1(entry.data(), qsizetype(entry.size()))));
        }
      }
      menus_[menu_id].push_back(menu);
    }
  }
}

void CMainFrame::BuildToolBar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QStringLiteral("toolBar128"));
  toolbar_->setIconSize(QSize(16, 16));
  for (const char* entry : command::ToolBar()) {
    if (std::string_view(entry) == command::kSeparator) {
      toolbar_->addSeparator();
      continue;
    }
    toolbar_->addAction(command(QString::fromLatin1(entry)));
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
  toolbar_->installEventFilter(this);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusBar"));
  bar->installEventFilter(this);
  bar->showMessage(UiText(qb::msg::kIdleMessage));
  connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
    if (message.isEmpty()) bar->showMessage(UiText(qb::msg::kIdleMessage));
  });
  // How many records of the active recording fail their check.
  manipulated_ = new QLabel(bar);
  manipulated_->setObjectName(QStringLiteral("manipulatedRecords"));
  QPalette palette = manipulated_->palette();
  palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
  manipulated_->setPalette(palette);
  manipulated_->hide();
  bar->addPermanentWidget(manipulated_);
  std::array<QLabel*, 3> indicators{};
  size_t i = 0;
  for (const qb::Message<>* text :
       {&qb::msg::kIndicatorCaps, &qb::msg::kIndicatorNum, &qb::msg::kIndicatorScroll}) {
    auto* indicator = new QLabel(UiText(*text), bar);
    indicator->setObjectName(QStringLiteral("indicator%1").arg(text->id));
    bar->addPermanentWidget(indicator);
    indicators[i++] = indicator;
  }
  // The panes show the lock keys; the bar owns what keeps them so.
  new LockKeyIndicators(indicators, bar);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  // Sent when the bar itself is shown or hidden, not when the frame is.
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
    // The View menu's ticks say whether the bars are shown.
    bool shown = event->type() == QEvent::ShowToParent;
    if (watched == toolbar_) command("viewToolbar")->setChecked(shown);
    if (watched == statusBar()) command("viewStatusBar")->setChecked(shown);
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ShowMenu(command::MenuSet menu) {
  if (menu_id_ == menu) return;
  menu_id_ = menu;
  QMenuBar* bar = menuBar();
  bar->clear();
  for (QMenu* popup : menus_[menu]) bar->addMenu(popup);
  // An entry that reads differently in the document menu.
  for (const auto& [name, entry] : commands_)
    if (entry->spec->document_text)
      entry->action->setText(UiText(
          menu == command::MenuSet::kDocument ? *entry->spec->document_text : *entry->spec->text));
}

void CMainFrame::UpdateState() {
  if (closing_) return;
  CChildFrame* child = activeChild();
  bool running = LongOperation::Running();
  ShowMenu(child ? command::MenuSet::kDocument : command::MenuSet::kNoDocument);
  const bool paper = child != nullptr && child->paperMode();
  for (const auto& [name, entry] : commands_) {
    const unsigned rule = entry->spec->rule;
    bool enabled = !(rule & command::kNeedsDocument) || child != nullptr;
    if (running && (rule & command::kHeldOff)) enabled = false;
    if ((rule & command::kNeedsLineView) && paper) enabled = false;
    if ((rule & command::kNeedsPaperView) && !paper) enabled = false;
    entry->action->setEnabled(enabled);
  }
  // Counted once the facts are complete; the count appears then.
  const qb::RecordDocument* core =
      child != nullptr && child->document() != nullptr ? &child->document()->core() : nullptr;
  const uint64_t manipulated =
      core != nullptr && core->FactsReady() ? core->facts().manipulated : 0;
  manipulated_->setText(manipulated == 1
                            ? UiText(qb::msg::kStatusOneManipulated)
                            : UiText(qb::msg::kStatusManipulated, QString::number(manipulated)));
  manipulated_->setVisible(manipulated > 0);
  // The tick says what the active window shows.
  command("viewPaper")->setChecked(paper);
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
    if (item->objectName().startsWith(QLatin1String(command::kRecentFilePrefix))) delete item;
  QStringList entries = RecentFileList::Entries();
  placeholder->setVisible(entries.isEmpty());
  for (int i = 0; i < entries.size(); ++i) {
    QString path = entries[i];
    QString name = RecentFileList::DisplayName(path);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));  // a name's "&" is no mnemonic
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name), menu);
    action->setObjectName(QLatin1String(command::kRecentFilePrefix) + QString::number(i + 1));
    action->setStatusTip(UiText(qb::msg::kPromptRecentFile));
    connect(action, &QAction::triggered, this, [this, path] { OpenDocumentFileWhenIdle(path); });
    menu->insertAction(placeholder, action);
  }
}

void CMainFrame::FillWindowList(QMenu* menu) {
  for (QAction* item : menu->actions())
    if (item->objectName().startsWith(QLatin1String(command::kWindowEntryPrefix))) delete item;
  QAction* start = menu->findChild<QAction*>(QLatin1String(command::kWindowList));
  QList<QMdiSubWindow*> windows = mdi_->subWindowList();
  start->setVisible(!windows.isEmpty());
  for (int i = 0; i < windows.size() && i < kWindowListSize; ++i) {
    QPointer<QMdiSubWindow> window = windows[i];
    QString title = window->widget()->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(title), menu);
    action->setObjectName(QLatin1String(command::kWindowEntryPrefix) + QString::number(i + 1));
    action->setStatusTip(UiText(qb::msg::kPromptActivateWindow));
    action->setCheckable(true);
    action->setChecked(window == mdi_->activeSubWindow());
    connect(action, &QAction::triggered, this, [this, window] {
      if (!window) return;
      if (window->isMinimized()) window->showNormal();
      mdi_->setActiveSubWindow(window);
    });
    menu->addAction(action);
  }
}

void CMainFrame::NumberWindows() {
  if (closing_) return;
  // The windows of one document are numbered in the order they were opened.
  std::map<CQuillbankManagerDoc*, QList<CChildFrame*>> by_document;
  for (CChildFrame* child : childFrames()) by_document[child->document()].append(child);
  for (const auto& [doc, children] : by_document)
    for (int i = 0; i < children.size(); ++i)
      children[i]->SetWindowNumber(children.size() > 1 ? i + 1 : 0);
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

CChildFrame* CMainFrame::ShowDocument(std::shared_ptr<CQuillbankManagerDoc> doc) {
  auto* child = new CChildFrame(std::move(doc));
  QMdiSubWindow* window = mdi_->addSubWindow(child);
  window->setAttribute(Qt::WA_DeleteOnClose);
  connect(child, &QWidget::windowTitleChanged, this, [this] { UpdateState(); });
  connect(child, &CChildFrame::paperModeChanged, this, [this] { UpdateState(); });
  connect(child, &CChildFrame::factsReady, this, [this] { UpdateState(); });
  connect(window, &QObject::destroyed, this, [this] {
    UpdateState();
    // Once the closed window has left the area.
    QMetaObject::invokeMethod(this, &CMainFrame::NumberWindows, Qt::QueuedConnection);
  });
  connect(window, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateState(); });
  window->showMaximized();
  mdi_->setActiveSubWindow(window);
  NumberWindows();
  // A window opens on the view the last one was switched to.
  if (qb::AppSettings().PaperView() != 0) child->SetPaperMode(true);
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
  std::shared_ptr<CQuillbankManagerDoc> doc = LoadDocument(canonical);
  if (!doc->loaded()) return nullptr;
  return ShowDocument(std::move(doc));
}

std::shared_ptr<CQuillbankManagerDoc> CMainFrame::LoadDocument(const QString& path) {
  auto doc = std::make_shared<CQuillbankManagerDoc>();
  LongOperation loading;
  doc->OpenDocument(path);
  return doc;
}

CChildFrame* CMainFrame::NewDocument() {
  auto doc = std::make_shared<CQuillbankManagerDoc>();
  doc->NewDocument(++new_count_);
  return ShowDocument(std::move(doc));
}

CChildFrame* CMainFrame::NewWindow() {
  CChildFrame* child = activeChild();
  return child ? ShowDocument(child->sharedDocument()) : nullptr;
}

QStringList CMainFrame::AskForFiles() {
  if (open_prompt_) return open_prompt_();
  return QFileDialog::getOpenFileNames(this, QString(), QString(),
                                       DialogFilter(qb::msg::kFileFilter));
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
