// The application's own start-up with a document on the command line, ended
// as soon as the document's view has painted for the first time.
//
//   startup_probe FILE.qbd
#include <QApplication>

#include "app/application.h"
#include "app/text_view.h"
#include "first_paint.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QuitAfterFirstPaint quit([](QObject* watched) {
    return watched->parent() && qobject_cast<CQuillbankManagerView*>(watched->parent());
  });
  application.installEventFilter(&quit);
  CommandLine command_line = ParseCommandLine(application.arguments().mid(1));
  CQuillbankManagerApp app;
  if (!app.InitInstance(command_line)) return 1;
  return application.exec();
}
