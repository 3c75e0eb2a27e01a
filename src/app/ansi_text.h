// Document text between its bytes (the Windows character set, see
// document/ansi_charset.h) and Qt's strings: what the view shows, prints and
// searches is read and typed with one table.
#pragma once

#include <QString>
#include <QValidator>
#include <string>
#include <string_view>

// The text of the bytes, one character per byte.
QString AnsiText(std::string_view bytes);

// The bytes of the text; false (and `bytes` unchanged) when a character of
// it has no byte in the set.
bool AnsiBytes(const QString& text, std::string& bytes);

// Accepts only text whose every character has a byte in the set, so an edit
// holding it never takes a character that no document line can hold.
class AnsiTextValidator : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};
