#include <QApplication>
#include <cstdio>

#include "app/application.h"

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  CommandLine command_line = ParseCommandLine(arguments);
  if (command_line.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }

  QApplication application(argc, argv);
  if (!command_line.files.isEmpty() && HandToRunningInstance(command_line.files)) return 0;

  CQuillbankManagerApp app;
  if (!app.InitInstance(command_line)) return 1;
  return application.exec();
}
