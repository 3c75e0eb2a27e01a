// The "Search" dialog: asks for the text to find. Its Search button is
// enabled only while the edit holds at least one character; the edit takes
// only characters of the document's character set (app/ansi_text.h).
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class CSearchDialog : public QDialog {
  Q_OBJECT

 public:
  CSearchDialog(const QString& text, QWidget* parent);

  QString text() const;

 private:
  QLineEdit* edit_;
  QPushButton* search_;
};
