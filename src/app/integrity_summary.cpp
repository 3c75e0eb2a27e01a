#include "app/integrity_summary.h"

#include <cstring>

#include "app/ui_text.h"
#include "base/messages.h"
#include "document/record_document.h"
#include "document/record_file_scan.h"

namespace {

// Lines of manipulated records named on paper; more are left to qbd verify
// and the read report.
constexpr size_t kListedLines = 20;

}  // namespace

QString AnswerText(qb::Answer answer) {
  switch (answer) {
    case qb::Answer::kYes:
      return UiText(qb::msg::kWordYes);
    case qb::Answer::kNo:
      return UiText(qb::msg::kWordNo);
    default:
      return UiText(qb::msg::kWordUnknown);
  }
}

QString IntegritySummary(const qb::RecordDocument& doc) {
  const qb::RecordingFacts& facts = doc.facts();
  QString lines;
  if (facts.manipulatedLineCount > 0) {
    QStringList listed;
    for (size_t i = 0; i < facts.manipulatedLines.size() && i < kListedLines; ++i)
      listed.append(QString::number(facts.manipulatedLines[i]));
    if (facts.manipulatedLineCount > static_cast<uint64_t>(listed.size()))
      listed.append(QStringLiteral("..."));
    lines = UiText(qb::msg::kSummaryLines, listed.join(QStringLiteral(", ")));
  }
  QString summary = UiText(qb::msg::kSummaryChecks, QString::number(facts.RecordsBeforeEnd()),
                           QString::number(facts.manipulated), lines,
                           QString::number(facts.sessionCount), AnswerText(facts.overwritten));
  const QString name = BytesText(doc.GetFileName());
  qb::RecordFileScan scan;
  const int error = qb::ScanRecordFile(doc.GetPathName(), scan);
  summary += QLatin1Char('\n');
  summary += error == 0 ? UiText(qb::msg::kSummarySha, name, QString::fromLatin1(scan.sha256))
                        : UiText(qb::msg::kSummaryShaUnreadable, name,
                                 QString::fromLocal8Bit(std::strerror(error)));
  return summary;
}
