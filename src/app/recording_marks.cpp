#include "app/recording_marks.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

#include "app/line_renderer.h"
#include "app/ui_text.h"
#include "base/messages.h"
#include "document/recording_facts.h"

namespace {

// The warning colour of the view's red lines, and a quiet grey for the rule
// of a session.
const QColor kWarning(255, 0, 0);
const QColor kQuiet(128, 128, 128);
constexpr double kMarkHeight = 30;  // 3 mm
constexpr double kMarkWidth = 18;
constexpr double kGap = 6;

// The entries of a list sorted by their line whose line is `line`.
template <typename T, typename Line>
std::pair<typename std::vector<T>::const_iterator, typename std::vector<T>::const_iterator> AtLine(
    const std::vector<T>& list, uint32_t line, Line line_of) {
  auto begin = std::lower_bound(list.begin(), list.end(), line,
                                [&](const T& entry, uint32_t l) { return line_of(entry) < l; });
  auto end = std::upper_bound(begin, list.end(), line,
                              [&](uint32_t l, const T& entry) { return l < line_of(entry); });
  return {begin, end};
}

}  // namespace

RecordingMarks::RecordingMarks(const qb::RecordingFacts& facts, bool sessions, bool warnings)
    : facts_(facts), sessions_(sessions), warnings_(warnings) {}

std::vector<RecordingMark> RecordingMarks::Before(int line) const {
  std::vector<RecordingMark> marks;
  if (line < 0) return marks;
  const auto at = static_cast<uint32_t>(line);
  if (warnings_ && at == 0 && facts_.overwritten == qb::Answer::kYes)
    marks.push_back({UiText(qb::msg::kMarkOverwritten), true});
  if (warnings_) {
    auto [begin, end] =
        AtLine(facts_.gaps, at, [](const qb::RecordGap& gap) { return gap.beforeLine; });
    for (auto gap = begin; gap != end; ++gap)
      marks.push_back({UiText(qb::msg::kMarkMissing, QString::number(gap->missing)), true});
    auto [first, last] = AtLine(
        facts_.skipped, at, [](const qb::SkippedSectors& skipped) { return skipped.beforeLine; });
    for (auto skipped = first; skipped != last; ++skipped)
      marks.push_back(
          {UiText(qb::msg::kMarkSkipped, QString::number(skipped->firstSector),
                  QString::number(uint64_t{skipped->firstSector} + skipped->sectors - 1)),
           true});
  }
  if (sessions_) {
    auto [begin, end] = AtLine(
        facts_.sessions, at, [](const qb::RecordingSession& session) { return session.firstLine; });
    for (auto session = begin; session != end; ++session) {
      auto number = static_cast<qulonglong>(session - facts_.sessions.begin()) + 1;
      marks.push_back({UiText(qb::msg::kMarkSession, QString::number(number)), false});
    }
  }
  if (warnings_ && at == facts_.lines && facts_.cardFull == qb::Answer::kYes)
    marks.push_back({UiText(qb::msg::kMarkCardFull), true});
  return marks;
}

QFont RecordingMarkFont() {
  return MakeLineFont(kMarkHeight, kMarkWidth);
}

double RenderRecordingMark(QPainter* painter, const QRectF& rect, const RecordingMark& mark) {
  static const QFont font = RecordingMarkFont();
  const double height = QFontMetricsF(font).height() + 2 * kGap;
  if (painter == nullptr) return height;
  painter->save();
  const QColor colour = mark.warning ? kWarning : kQuiet;
  painter->setFont(font);
  painter->setPen(QPen(colour, 0));  // one device pixel
  const double middle = rect.top() + height / 2;
  QRectF text_rect(rect.left() + 60, rect.top() + kGap, rect.width() - 60, height - 2 * kGap);
  QRectF used;
  painter->drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter, mark.text, &used);
  // A thin rule on both sides of the text.
  painter->drawLine(QPointF(rect.left(), middle), QPointF(used.left() - 15, middle));
  painter->drawLine(QPointF(used.right() + 15, middle), QPointF(rect.right(), middle));
  painter->restore();
  return height;
}
