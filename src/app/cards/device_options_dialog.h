// The "Quillbank options" dialog: the device settings the next initialised
// card gets (baud rate, data bits, stop bits, parity, ring or linear memory),
// and the lab's private key Card Read signs read reports with (a path
// only; the key itself is never read here).
// A stored value the dialog does not offer leaves its group without a
// selection (a baud rate outside the table selects the first rate); OK
// stores the selected values and keeps the stored value of a group left
// without one.
#pragma once

#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

class DeviceOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // The rates offered, in this order.
  static constexpr std::array<int, 9> kRates = {600,   1200,  2400,  4800,  9600,
                                                19200, 38400, 57600, 115200};

  explicit DeviceOptionsDialog(QWidget* parent = nullptr);

  void accept() override;

 private:
  QButtonGroup* rates_;
  QButtonGroup* data_bits_;
  QButtonGroup* stop_bits_;
  QButtonGroup* parity_;
  QCheckBox* ring_;
  QLineEdit* sign_key_;
};
