// The "Printer emulation" dialog: whether known escape sequences are acted
// on, whether unhandled control codes are shown and marked, and whether the
// view shows where recording sessions begin and its warnings about the
// recording. OK writes the settings; Cancel changes nothing.
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
  QCheckBox* sessions_;
  QCheckBox* warnings_;
};

// Runs the dialog; on OK every line view redraws with the new rules.
void EditPrinterEmulation(QWidget* parent);
