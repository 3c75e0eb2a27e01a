#include "app/ansi_text.h"

#include "document/ansi_charset.h"

QString AnsiText(std::string_view bytes) {
  return QString::fromStdU16String(qb::AnsiToUtf16(bytes));
}

bool AnsiBytes(const QString& text, std::string& bytes) {
  return qb::Utf16ToAnsi(text.toStdU16String(), bytes);
}

QValidator::State AnsiTextValidator::validate(QString& input, int&) const {
  for (QChar c : input) {
    if (qb::AnsiByte(c.unicode()) < 0) return Invalid;
  }
  return Acceptable;
}
