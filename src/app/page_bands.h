// The header and footer bands of every printed page, as the line pages and
// the paper pages both have them: the title and version, the banner and the
// document's comment over a rule at the top; the print date, the file name
// and "Page n/N" under a rule at the bottom.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <string>

class QPainter;

// The date and time of now as the footer shows it ("%d %b %Y %X" in the
// program's time locale).
QString PrintDateNow();
// The comment as the header shows it: blanks removed at both ends, CR and
// LF removed, at most its first 80 characters.
QString HeaderComment(const std::string& comment);

// The font of both bands: height 40, width 13, bold.
QFont BandFont();

// The header in `band` (page units of 0.1 mm, y downward).
void DrawPageHeader(QPainter& painter, const QRectF& band, const QFont& font,
                    const std::string& comment);
// The footer of page n of `count` in `band`.
void DrawPageFooter(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& print_date, const std::string& file_name, int n, int count);
