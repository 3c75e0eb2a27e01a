// The modeless window shown while a long operation runs on the user-interface
// thread: an icon, the message text and, on request, a progress bar, the
// percentage done, the elapsed and remaining time and a Cancel button. Every
// call that changes what it shows pumps the event queue, which keeps the
// application painted and lets Cancel work while the operation holds the
// thread.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <cstdint>
#include <functional>
#include <string>

#include "base/messages.h"
#include "base/progress_model.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CProgressDialog(QWidget* parent = nullptr);
  // With a clock in whole seconds (tests).
  CProgressDialog(std::function<int64_t()> clock_seconds, QWidget* parent);

  // Shows (raised, activated and centred) or hides the window, then shows the
  // message text and pumps.
  void Show(bool visible);
  void ShowProgressBar(bool show);
  void ShowPercent(bool show);
  void ShowTime(bool show);
  // Shows or hides the Cancel button when `which` is 1; else does nothing.
  void ShowCancelButton(int which, bool show);

  // The caption from the catalogue, or as a ready text.
  void SetCaption(const qb::Message<>& message);
  void SetCaption(const std::string& caption);
  // The message text (at most 2048 characters), then as for Show.
  void SetText(const std::string& text);
  void SetText(const qb::Message<>& message);
  void SetTextFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The picture beside the message (the wake-up blink), then pumps.
  void SetIcon(const QPixmap& picture);

  // Sets the range and restarts the clock.
  void SetRange(long low, long high);
  // Moves the bar; the percentage, time and message texts follow (with a
  // pump) only when something has been done within a non-empty range.
  // Positions beyond the range keep the bar at its end.
  void SetPos(long position);

  // Whether the cancel flag equals `expected`; the flag is cleared.
  bool CheckProgressCancel(bool expected);
  // Whether the user has cancelled (Cancel or Escape); the flag stays set
  // until CheckProgressCancel or Reset.
  bool CancelRequested() const { return model_.CancelRequested(); }
  // Empty text, position at the range's low end, bar and Cancel hidden,
  // cancel flag cleared, the default icon.
  void Reset();

  const qb::ProgressModel& Model() const { return model_; }

 public slots:
  // Escape: the user's Cancel; the window stays open.
  void reject() override;

 private:
  void Build();
  void ShowTexts();
  void SyncVisibility();
  static void Pump();

  qb::ProgressModel model_;
  QLabel* icon_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* percent_ = nullptr;
  QLabel* time_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
