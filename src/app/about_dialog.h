// The About box: the application icon, the product name, version and
// software signature, the banner line with the maker's address, OK and the
// About picture. Opening it repeats the start-up self-check; a program that
// fails it ends at once.
#pragma once

#include <QDialog>

class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
};
