// Texts of the message catalogue as QStrings, for the application's
// windows, menus and dialogs. A text with placeholders %1 to %9 takes one
// QString for each (checked against its declaration by the compiler); the
// catalogue's printf formats are filled with qb::FillMessage instead.
#pragma once

#include <QDir>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <string>
#include <type_traits>

#include "base/messages.h"

// One QString per placeholder of a positional text.
template <class>
using UiTextArg = const QString&;

// The text, its placeholders filled in one pass (a placed text is not
// searched again).
template <class... Args>
QString UiText(const qb::Message<Args...>& message, UiTextArg<Args>... args) {
  static_assert((std::is_same_v<Args, qb::TextArg> && ...),
                "a printf format of the catalogue is filled with qb::FillMessage");
  QString text = QString::fromUtf8(message.text);
  if constexpr (sizeof...(Args) == 0) {
    return text;
  } else {
    return text.arg(args...);
  }
}

// A catalogue filter "name|pattern|...||" as Qt's name filters ("a;;b").
inline QString DialogFilter(const qb::Message<>& message) {
  QStringList parts = UiText(message).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    if (!parts[i].isEmpty()) filters.append(parts[i]);
  return filters.join(QStringLiteral(";;"));
}

// Bytes from a card, a file name or the settings as a text to show: UTF-8
// when they are valid UTF-8, else one character per byte (Latin-1), so that
// every byte shows and none is lost or read as a format.
inline QString BytesText(const std::string& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!decoder.hasError()) return text;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A path as the user's system writes it (back slashes on Windows).
inline QString PathText(const std::string& path) {
  return QDir::toNativeSeparators(BytesText(path));
}
