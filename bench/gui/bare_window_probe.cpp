// The floor for start-up: a bare Qt Widgets main window, maximised, ended
// as soon as its central widget has painted.
#include <QApplication>
#include <QMainWindow>

#include "first_paint.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QMainWindow window;
  auto* central = new QWidget(&window);
  central->setAutoFillBackground(true);
  window.setCentralWidget(central);
  QuitAfterFirstPaint quit([central](QObject* watched) { return watched == central; });
  application.installEventFilter(&quit);
  window.showMaximized();
  return application.exec();
}
