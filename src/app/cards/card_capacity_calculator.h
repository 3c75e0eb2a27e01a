// The "Calculate PC-Card capacity" dialog: from the recording plan (days,
// characters per event, events per hour, hours per workday) the smallest
// card that holds it, recomputed as the inputs change, with a warning above
// the largest card the device supports. The inputs are kept in the settings
// store; OK stores them, Escape closes without storing.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

// Megabytes (of 1,000,000 bytes, rounded up) a card needs for the plan:
// records of the characters of an event, rounded up to an even count, with
// their 6-byte frames, a daily overhead, sectors of 499 data bytes, three
// fixed sectors and a reserve of 10 %.
double CardCapacityMegabytes(int chars_event, int events_hour, int hours_day, int rec_days);

class CardCapacityCalculator : public QDialog {
  Q_OBJECT

 public:
  // The largest card the device supports, in megabytes.
  static constexpr double kMaxMegabytes = 4096;

  explicit CardCapacityCalculator(QWidget* parent = nullptr);

  void accept() override;

 private:
  enum Input { kRecDays, kCharsEvent, kEventHours, kHoursDay, kInputs };
  struct Field {
    QLineEdit* edit;
    int min;
    int max;
    int value;  // the last integer the field held
  };

  // Reads all four inputs back (a field that holds no integer shows the
  // message and gets its last value again), then recomputes.
  void InputChanged();
  // The field's integer, remembered as its last value; false (after the
  // message, with the last value put back) when it holds none.
  bool ParseIntegerField(Field& field, int& value);
  void Recompute();

  std::array<Field, kInputs> fields_;
  QLineEdit* result_;
  QLabel* icon_;
  QLabel* message_;
  bool restoring_ = false;
};
