// The "Init Card" dialog: the last look before a card is initialised. It
// shows the selected drive and the device options the card will get, and
// takes the card's ID string (at most 40 characters), which OK stores.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

class InitCardDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxIdLength = 40;

  explicit InitCardDialog(QWidget* parent = nullptr);

  // "quilUSB (Slot 0)" from the settings.
  static QString DriveLine();
  // "4800 Baud, 7E1" and ", ring memory" for ring memory, from the settings.
  static QString OptionsLine();

  void accept() override;

 private:
  QLabel* drive_;
  QLabel* options_;
  QLineEdit* id_;
};
