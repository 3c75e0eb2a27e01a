// The "Select Drive" dialog: which card drive the card commands use. The
// drive box offers the names of its own list and takes any typed name; the
// slot field serves a card driver, the COM port, baud rate and device fields
// serve the recording device as a serial drive, and only the fields of the
// kind of the typed name are enabled. OK checks every field's range and
// stores all of them, or stores nothing and stays open.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;

class SelectDriveDialog : public QDialog {
  Q_OBJECT

 public:
  // The drive names the dialog offers.
  static const QStringList& ListedDrives();

  explicit SelectDriveDialog(QWidget* parent = nullptr);

  void accept() override;

 private:
  // Enables the fields that serve the drive named by `text`.
  void UpdateEnabling(const QString& text);
  // Puts `name` into the sorted list unless an entry begins with it.
  void AddDriveName(const QString& name);

  QComboBox* drive_;
  QLineEdit* slot_;
  QLineEdit* com_;
  QLineEdit* baud_;
  QLineEdit* device_;
};
