// Ends the program's event loop once the first widget that `matches`
// has painted: start-up probes measure the time to that paint from outside.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <functional>
#include <utility>

class QuitAfterFirstPaint : public QObject {
 public:
  explicit QuitAfterFirstPaint(std::function<bool(QObject*)> matches)
      : matches_(std::move(matches)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_ && matches_(watched)) {
      done_ = true;
      // After this paint has been carried out.
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  std::function<bool(QObject*)> matches_;
  bool done_ = false;
};
