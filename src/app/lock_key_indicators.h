// Keeps the CAP, NUM and SCRL panes of the status bar showing the lock
// keys: the pane's text while its key is on, an empty pane of the same width
// while it is off, and the text greyed while the platform does not let the
// application read the key (lock_keys.h). Reads the keys a few times a
// second.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

#include "app/lock_keys.h"

class QLabel;
class QTimer;

class LockKeyIndicators : public QObject {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 200;

  // The panes of Caps Lock, Num Lock and Scroll Lock, holding their texts.
  LockKeyIndicators(const std::array<QLabel*, 3>& panes, QObject* parent);

  // Reads the keys and shows them now.
  void Refresh();

  // Every indicator reads the keys through `reader` from now on; an empty
  // one gives back the platform's reading. For tests.
  static void SetReader(std::function<LockKeys()> reader);

 private:
  struct Pane {
    QPointer<QLabel> label;
    QString text;
  };
  std::array<Pane, 3> panes_;
  QTimer* timer_;
};
