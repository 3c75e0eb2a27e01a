// A long operation (a card job, a search, a layout for printing, an export,
// loading a record file) pumps events while it runs so that its progress
// dialog can be seen and cancelled. The user can still reach menus, keys and
// window buttons meanwhile, so commands that would disturb it - closing its
// document, starting a second job on the one sector device and clean-up
// list, exiting - check LongOperation::Running() and stay disabled until the
// operation ends.
#pragma once

#include <QObject>

class LongOperationNotifier : public QObject {
  Q_OBJECT

 signals:
  void runningChanged(bool running);

 private:
  friend class LongOperation;
  LongOperationNotifier() = default;
};

class LongOperation {
 public:
  LongOperation();
  ~LongOperation();
  LongOperation(const LongOperation&) = delete;
  LongOperation& operator=(const LongOperation&) = delete;

  static bool Running();
  // Emits runningChanged when the first operation starts and the last ends.
  static LongOperationNotifier* Notifier();
};
