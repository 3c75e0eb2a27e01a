#include "recording_text.h"

#include "base/messages.h"
#include "base/text_format.h"

namespace qb {
namespace {

// The gaps named one by one; more are counted in one line.
constexpr size_t kGapWarnings = 10;

}  // namespace

const char* AnswerWord(Answer answer) {
  switch (answer) {
    case Answer::kYes:
      return LoadMessage(msg::kWordYes);
    case Answer::kNo:
      return LoadMessage(msg::kWordNo);
    default:
      return LoadMessage(msg::kWordUnknown);
  }
}

std::string NumberList(const std::vector<uint32_t>& numbers, uint64_t total, size_t most) {
  std::string list;
  for (size_t i = 0; i < numbers.size() && i < most; ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(numbers[i]);
  }
  if (total > most || total > numbers.size()) list += ", ...";
  return list;
}

std::string FactLines(const RecordingFacts& facts) {
  std::string lines;
  auto add = [&lines](const std::string& line) { lines += line + "\n"; };
  add(FillMessage(msg::kFactSessions, static_cast<unsigned long>(facts.sessionCount)));
  add(FillMessage(msg::kFactOverwritten, AnswerWord(facts.overwritten)));
  add(FillMessage(msg::kFactCardFull, AnswerWord(facts.cardFull)));
  add(FillMessage(msg::kFactMissing, static_cast<unsigned long>(facts.missingRecords)));
  add(FillMessage(msg::kFactManipulated, static_cast<unsigned long>(facts.manipulated)));
  if (facts.manipulatedLineCount > 0) {
    std::string list = NumberList(facts.manipulatedLines, facts.manipulatedLineCount, 100);
    add(FillMessage(msg::kFactManipulatedLines, list.c_str()));
  }
  if (facts.skippedSectors > 0)
    add(FillMessage(msg::kFactSkipped, static_cast<unsigned long>(facts.skippedSectors)));
  if (!facts.firstPrinted.empty()) {
    add(FillMessage(msg::kFactFirstPrinted, facts.firstPrinted.c_str()));
    add(FillMessage(msg::kFactLastPrinted, facts.lastPrinted.c_str()));
  }
  return lines;
}

std::string GapWarnings(const RecordingFacts& facts) {
  std::string lines;
  size_t named = 0;
  for (const RecordGap& gap : facts.gaps) {
    if (named == kGapWarnings) break;
    lines += FillMessage(msg::kWarnGap, static_cast<unsigned long>(gap.missing),
                         static_cast<unsigned long>(gap.beforeLine)) +
             "\n";
    ++named;
  }
  if (facts.gapCount > named)
    lines +=
        FillMessage(msg::kWarnMoreGaps, static_cast<unsigned long>(facts.gapCount - named)) + "\n";
  return lines;
}

std::string EndRecordProblem(const RecordingFacts& facts) {
  using EndProblem = RecordingFacts::EndProblem;
  switch (facts.endProblem) {
    case EndProblem::kNone:
      return std::string();
    case EndProblem::kMissing:
      return LoadMessage(msg::kEndMissing);
    case EndProblem::kFailsCheck:
      return LoadMessage(msg::kEndFailsCheck);
    case EndProblem::kHoldsData:
      return LoadMessage(msg::kEndHoldsData);
    case EndProblem::kNotAtEnd:
      return LoadMessage(msg::kEndNotAtEnd);
    case EndProblem::kNumber:
      return FillMessage(msg::kEndNumber, static_cast<unsigned long>(facts.endNumber),
                         static_cast<unsigned long>(facts.records - 1));
  }
  return std::string();
}

}  // namespace qb
