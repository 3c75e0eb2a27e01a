// The "Paper printout" dialog: the printer the paper view reads a recording
// as (9-pin or 24-pin), the character table it starts with, the paper in it
// and where its first column lies on the paper. OK writes the settings;
// Cancel changes nothing.
#pragma once

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

class CPaperSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CPaperSettingsDialog(QWidget* parent);

  void accept() override;

 private:
  QComboBox* printer_;
  QComboBox* table_;
  QComboBox* paper_;
  QDoubleSpinBox* margin_;  // in mm, to a tenth
};
