// Texts of the message catalogue as QStrings, for the application's
// windows, menus and dialogs.
#pragma once

#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <string>

#include "base/messages.h"

inline QString UiText(int id) {
  return QString::fromUtf8(qb::LoadMessage(id));
}

// A catalogue filter "name|pattern|...||" as Qt's name filters ("a;;b").
inline QString DialogFilter(int message_id) {
  QStringList parts = UiText(message_id).split(QLatin1Char('|'));
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
