#include <QApplication>
#include <cstdio>

#include "app/application.h"
#include "app/print_commands.h"
#include "base/messages.h"
#include "base/out_of_memory.h"
#include "platform/parent_console.h"

namespace {

QtMessageHandler g_default_handler = nullptr;

// Printing without a display needs no runtime folder; Qt's note that there
// is none would only puzzle the user.
void HeadlessMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
    return;
  g_default_handler(type, context, text);
}

}  // namespace

static int ApplicationMain(int argc, char* argv[]) {
#ifdef _WIN32
  // Pages are laid out with FreeType's measures of the stretched printout
  // fonts, on screen, on paper and in PDFs; Windows' own font engine rounds
  // stretched widths to whole units and gives other font boxes. The user's
  // own choice of platform stands.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#endif
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  CommandLine command_line = ParseCommandLine(arguments);
  if (command_line.help) {
    std::fputs(qb::LoadMessage(qb::msg::kAppUsage), stdout);
    return 0;
  }
  if (command_line.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  if (command_line.bad_print_to_pdf ||
      (command_line.paper && command_line.print_to_pdf.isEmpty())) {
    PrintToPdfUsage();
    return 2;
  }

  // Printing to a PDF needs no display: no window is ever shown.
  if (!command_line.print_to_pdf.isEmpty()) {
    if (command_line.files.size() != 1) {
      PrintToPdfUsage();
      return 2;
    }
#ifndef _WIN32
    // Windows always has its display, and its fonts come through it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    g_default_handler = qInstallMessageHandler(HeadlessMessages);
    QApplication application(argc, argv);
    SetProgramLocale();
    return PrintToPdf(command_line.files.first(), command_line.print_to_pdf,
                      command_line.paper ? PrintKind::kPaper : PrintKind::kLines);
  }

  // Without a display Qt could not start: say so instead of aborting.
  if (DisplayMissing()) {
    std::fprintf(stderr, "%s\n", qb::LoadMessage(qb::msg::kNoDisplay));
    return 1;
  }
  QApplication application(argc, argv);
  if (!command_line.print && !command_line.files.isEmpty() &&
      HandToRunningInstance(command_line.files))
    return 0;

  CQuillbankManagerApp app;
  if (!app.InitInstance(command_line, !command_line.print)) return 1;
  if (command_line.print) return app.PrintOpenDocuments() ? 0 : 1;
  return application.exec();
}

int main(int argc, char* argv[]) {
  qb::UseParentConsole();
  return qb::RunMainGuarded("quillbank-manager", ApplicationMain, argc, argv);
}
