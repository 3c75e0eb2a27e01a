// What the view shows between a recording's lines about the recording
// itself: a thin rule with "Recording session n" where the device was
// switched on, and in the warning colour, at the top of a recording whose
// older printouts were overwritten on the card, where records are missing
// from the numbering, where a rescue read skipped sectors, and after the
// last line of a card that was full. The marks are not lines: they are
// neither exported nor printed, and find does not see them.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace qb {
struct RecordingFacts;
}

struct RecordingMark {
  QString text;
  bool warning = false;
};

class RecordingMarks {
 public:
  // The marks of the recording, those of sessions and the warnings each
  // only when asked for.
  RecordingMarks(const qb::RecordingFacts& facts, bool sessions, bool warnings);

  // The marks above `line`, in the order they are shown; with `line` one
  // past the last line, those after it.
  std::vector<RecordingMark> Before(int line) const;

 private:
  const qb::RecordingFacts& facts_;
  bool sessions_;
  bool warnings_;
};

// The font of the marks.
QFont RecordingMarkFont();

// Draws the mark at the top of `rect` (or only measures it when `painter`
// is null); returns the height it takes.
double RenderRecordingMark(QPainter* painter, const QRectF& rect, const RecordingMark& mark);
