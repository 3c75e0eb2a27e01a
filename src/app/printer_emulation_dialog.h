// The "Printer emulation" dialog: whether known escape sequences are acted
// on and whether unhandled control codes are shown and marked. OK writes
// both settings; Cancel changes nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QWidget;

class CPrinterEmulationDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CPrinterEmulationDialog(QWidget* parent);

  void accept() override;

 private:
  QCheckBox* scan_;
  QCheckBox* show_unknown_;
  QCheckBox* convert_;  // hidden and disabled, bound to nothing
};

// Runs the dialog; on OK every line view redraws with the new rules.
void EditPrinterEmulation(QWidget* parent);
