// Takes the user manual's screenshots from the real application:
//   manual_shots OUT_DIR RECORDING.qbd MARKED.qbd
// Opens the recording in the main window, then gives the menu commands one
// after the other and saves a picture of the window each one opens before
// closing it again. Last it opens MARKED.qbd, a recording with a manipulated
// record and a line that mixes a printer code with text, and pictures a strip
// of the view at each. The card commands use the drive the settings name (the
// screenshot script serves demo cards there: slot 0 holds recordings, slot 1
// an empty prepared card). Exit status 1 when a picture is missing.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/application.h"
#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "app/quillbank_doc.h"
#include "app/splash_window.h"
#include "app/text_view.h"

namespace {

constexpr int kSettleMs = 300;
constexpr int kWaitMs = 20000;

QString g_out;
int g_missing = 0;

void Pump(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget* widget, const char* name) {
  QString file = g_out + '/' + QString::fromLatin1(name) + QStringLiteral(".png");
  if (widget->grab().save(file, "PNG")) {
    std::printf("manual_shots: %s\n", qPrintable(file));
    return true;
  }
  std::fprintf(stderr, "manual_shots: cannot write %s\n", qPrintable(file));
  ++g_missing;
  return false;
}

// Gives the command and pictures the first modal window that `wanted`
// accepts, then closes every modal window the command opens.
void ShootModal(CMainFrame* frame, const char* command, const char* name,
                std::function<bool(QWidget*)> wanted) {
  auto shot = std::make_shared<bool>(false);
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer poll;
  poll.setInterval(50);
  QObject::connect(&poll, &QTimer::timeout, [&, shot] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
      if (elapsed.elapsed() > kWaitMs) poll.stop();
      return;
    }
    if (!*shot && wanted(modal)) {
      poll.stop();
      Pump(kSettleMs);
      *shot = Save(modal, name);
      poll.start();
    }
    if (*shot || elapsed.elapsed() > kWaitMs) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
  });
  poll.start();
  frame->command(QString::fromLatin1(command))->trigger();
  Pump(kSettleMs);
  poll.stop();
  if (!*shot) {
    std::fprintf(stderr, "manual_shots: no window for %s\n", name);
    ++g_missing;
  }
}

bool MessageBox(QWidget* widget) {
  return qobject_cast<QMessageBox*>(widget) != nullptr;
}

// A dialog of the command itself: no message box, no progress window.
bool OtherDialog(QWidget* widget) {
  return qobject_cast<QDialog*>(widget) != nullptr && !MessageBox(widget) &&
         qobject_cast<CProgressDialog*>(widget) == nullptr;
}

// Pictures a strip of the active view from the first line that holds
// `text`, with one line above it.
void SaveLinesAt(CMainFrame* frame, const char* text, const char* name) {
  CChildFrame* child = frame->activeChild();
  auto* view = child ? qobject_cast<CQuillbankManagerView*>(child->activeView()) : nullptr;
  if (view == nullptr) {
    std::fprintf(stderr, "manual_shots: no view for %s\n", name);
    ++g_missing;
    return;
  }
  for (int line = 0; line <= view->lastLine(); ++line) {
    if (child->document()->core().GetLineText(line).find(text) == std::string::npos) continue;
    view->VScroll(CQuillbankManagerView::kThumbPosition, line > 0 ? line - 1 : 0);
    Pump(kSettleMs);
    QString file = g_out + '/' + QString::fromLatin1(name) + QStringLiteral(".png");
    if (view->grab(QRect(0, 0, 720, 64)).save(file, "PNG")) {
      std::printf("manual_shots: %s\n", qPrintable(file));
      return;
    }
    break;
  }
  std::fprintf(stderr, "manual_shots: no picture %s of \"%s\"\n", name, text);
  ++g_missing;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 4) {
    std::fputs("usage: manual_shots OUT_DIR RECORDING.qbd MARKED.qbd\n", stderr);
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);

  qb::AppSettings settings;
  settings.SetDrive("quilUSB");
  settings.SetSlot(0);

  CQuillbankManagerApp app;
  if (!app.InitInstance(ParseCommandLine({QString::fromLocal8Bit(argv[2])}), true)) return 1;
  CSplashWindow::CloseCurrent();
  CMainFrame* frame = app.mainFrame();
  frame->showNormal();
  frame->setGeometry(40, 40, 1000, 680);
  Pump(1000);
  Save(frame, "main_window");

  ShootModal(frame, "optionsDrive", "select_drive", OtherDialog);
  ShootModal(frame, "optionsDevice", "quillbank_options", OtherDialog);
  ShootModal(frame, "optionsPrinterEmulation", "printer_emulation", OtherDialog);
  ShootModal(frame, "optionsCalculator", "capacity_calculator", OtherDialog);
  ShootModal(frame, "searchFind", "find", OtherDialog);
  ShootModal(frame, "cardInfo", "card_info", MessageBox);
  ShootModal(frame, "filePrintPreview", "print_preview", OtherDialog);
  settings.SetSlot(1);
  ShootModal(frame, "cardInit", "init_card", OtherDialog);
  settings.SetSlot(0);

  if (frame->OpenDocumentFile(QString::fromLocal8Bit(argv[3])) == nullptr) return 1;
  Pump(kSettleMs);
  SaveLinesAt(frame, "!!!WARNING!!!", "red_manipulated");
  SaveLinesAt(frame, "OVERTITRATION", "red_alarm");
  return g_missing == 0 ? 0 : 1;
}
