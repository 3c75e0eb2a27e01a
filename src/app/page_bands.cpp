#include "app/page_bands.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <ctime>

#include "app/ansi_text.h"
#include "app/line_renderer.h"
#include "app/ui_text.h"
#include "base/messages.h"
#include "platform/posix_names.h"

namespace {

constexpr double kBandFontHeight = 40;
constexpr double kBandFontWidth = 13;
constexpr double kPenWidth = 3;
constexpr double kRuleGap = 2;
constexpr size_t kCommentLength = 80;

QPen PrintingPen() {
  return QPen(QBrush(Qt::black), kPenWidth, Qt::SolidLine);
}

}  // namespace

QString PrintDateNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  size_t n = std::strftime(text, sizeof text, "%d %b %Y %X", &local);
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(n));
}

QString HeaderComment(const std::string& comment) {
  size_t begin = comment.find_first_not_of(' ');
  size_t end = comment.find_last_not_of(' ');
  std::string trimmed =
      begin == std::string::npos ? std::string() : comment.substr(begin, end - begin + 1);
  std::erase_if(trimmed, [](char c) { return c == '\r' || c == '\n'; });
  if (trimmed.size() > kCommentLength) trimmed.resize(kCommentLength);
  return AnsiText(trimmed);
}

QFont BandFont() {
  return MakeLineFont(kBandFontHeight, kBandFontWidth, QFont::Bold);
}

void DrawPageHeader(QPainter& painter, const QRectF& band, const QFont& font,
                    const std::string& comment_text) {
  painter.setFont(font);
  painter.setPen(PrintingPen());
  QRectF used;
  QString title = UiText(qb::msg::kAppName) + QStringLiteral(" V") + UiText(qb::msg::kVersion);
  painter.drawText(band, Qt::AlignLeft | Qt::AlignTop, title, &used);
  double h1 = used.height();
  QRectF below(QPointF(band.left(), band.top() + h1), band.bottomRight());
  painter.drawText(below, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   UiText(qb::msg::kBanner), &used);
  double offset = h1 + used.height();

  // The comment on the right, below title and banner; the rule goes under
  // the lowest text of the header.
  QString comment = HeaderComment(comment_text);
  if (!comment.isEmpty()) {
    QRectF rest(QPointF(band.left(), band.top() + offset), band.bottomRight());
    painter.drawText(rest, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, comment, &used);
    offset = std::max(offset, used.bottom() - band.top());
  }
  double y = band.top() + offset + kRuleGap;
  painter.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
}

void DrawPageFooter(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& print_date, const std::string& file_name, int n, int count) {
  painter.setFont(font);
  painter.setPen(PrintingPen());
  QString left = UiText(qb::msg::kPrinted) + QLatin1Char(' ') + print_date + QLatin1Char('\n') +
                 UiText(qb::msg::kFile) + QStringLiteral(": ") + QString::fromStdString(file_name);
  painter.drawText(band, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, left);
  QString page = QStringLiteral("%1 %2/%3").arg(UiText(qb::msg::kPage)).arg(n).arg(count);
  painter.drawText(band, Qt::AlignRight | Qt::AlignTop, page);
  double y = band.top() - kRuleGap;
  painter.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
}
