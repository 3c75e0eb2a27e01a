#include "document/recording_facts.h"

#include <cstring>

#include "document/doc_record.h"
#include "format/byte_order.h"
#include "format/record_kind.h"

namespace qb {
namespace {

template <typename T>
void AddListed(std::vector<T>& list, const T& entry) {
  if (list.size() < RecordingFacts::kMaxListed) list.push_back(entry);
}

std::string DataText(const uint8_t* data, uint16_t length) {
  return data != nullptr ? std::string(reinterpret_cast<const char*>(data), length) : std::string();
}

}  // namespace

RecordingFactsCollector::RecordingFactsCollector(RecordingFacts& facts) : facts_(facts) {
  facts_ = RecordingFacts();
}

void RecordingFactsCollector::CheckNumber(const RecordHeader& header) {
  const uint64_t expected = have_last_ ? uint64_t{last_.number} + 1 : 0;
  if (gap_pending_) {
    // The numbering goes on from the jump: the records between are missing.
    if (uint64_t{header.number} == uint64_t{pending_gap_.firstMissing} + pending_gap_.missing + 1) {
      ++facts_.gapCount;
      facts_.missingRecords += pending_gap_.missing;
      AddListed(facts_.gaps, pending_gap_);
    }
    gap_pending_ = false;
  }
  if (header.number == expected) return;
  ++facts_.numberBreaks;
  if (header.number > expected) {
    gap_pending_ = true;
    pending_gap_.beforeLine = facts_.lines;
    pending_gap_.firstMissing = static_cast<uint32_t>(expected);
    pending_gap_.missing = static_cast<uint32_t>(header.number - expected);
  }
}

void RecordingFactsCollector::AddData(const RecordHeader& header, const uint8_t* data, int fault,
                                      const TextBounds& bounds) {
  if (facts_.lines == UINT32_MAX) return;  // lines are counted in 32 bits
  const uint32_t line = facts_.lines++;
  if (facts_.sessionCount == 0) {
    ++facts_.linesBeforeFirstSession;
  } else if (session_listed_) {
    ++facts_.sessions.back().lines;
  }
  if (fault != 0) {
    ++facts_.manipulated;
    ++facts_.manipulatedLineCount;
    AddListed(facts_.manipulatedLines, line);
    switch (fault) {
      case kStatusCutShort:
        ++facts_.cutShort;
        break;
      case kStatusChecksum:
        ++facts_.checksumFailures;
        break;
      case kStatusBlockCheck:
        ++facts_.blockCheckFailures;
        break;
      case kStatusNoStx:
        ++facts_.noStx;
        break;
      case kStatusInverted:
        ++facts_.invertedBounds;
        break;
      default:
        break;
    }
    return;
  }
  // Only what passed its check may say when it was printed.
  const size_t size = TextSizeWithin(header.length, bounds.start, bounds.end);
  if (size == 0) return;
  const uint8_t* text = data + bounds.start;
  if (std::memchr(text, ':', size) == nullptr) return;
  PrintedTime printed;
  if (!FindPrintedTime(text, size, printed)) return;
  if (!printed_) first_printed_ = printed;
  printed_ = true;
  last_printed_ = printed;
}

void RecordingFactsCollector::AddControl(const RecordHeader& header, const uint8_t* data,
                                         int fault) {
  seen_control_ = true;
  if (fault != 0) {
    ++facts_.manipulated;
    ++facts_.otherFailures;
    return;
  }
  if (header.length == 0) return;
  if (data[0] == kControlStart) {
    ++facts_.sessionCount;
    RecordingSession session;
    session.startRecord = header.number;
    session.firstLine = facts_.lines;
    session_listed_ = facts_.sessions.size() < RecordingFacts::kMaxListed;
    AddListed(facts_.sessions, session);
  } else if (data[0] == kControlUnreadable && header.length == kUnreadableRecordLength) {
    SkippedSectors skipped;
    skipped.beforeLine = facts_.lines;
    skipped.firstSector = Get32(data + 1);
    skipped.sectors = Get32(data + 5);
    ++facts_.skippedCount;
    facts_.skippedSectors += skipped.sectors;
    AddListed(facts_.skipped, skipped);
  }
}

void RecordingFactsCollector::Add(const RecordHeader& header, const uint8_t* data) {
  ++facts_.records;
  offset_ += kRecordFileHeaderSize + header.length;
  CheckNumber(header);
  TextBounds bounds;
  const int fault = RecordFault(header, data, &bounds);
  if ((header.kind == kKindData || header.kind == kKindControl) && !seen_card_record_) {
    seen_card_record_ = true;
    first_card_record_valid_ = fault == 0;
    first_card_record_is_init_ =
        fault == 0 && header.kind == kKindControl && header.length > 0 && data[0] == kControlInit;
  }
  switch (header.kind) {
    case kKindData:
      AddData(header, data, fault, bounds);
      break;
    case kKindControl:
      AddControl(header, data, fault);
      break;
    default:
      if (fault != 0) {
        ++facts_.manipulated;
        ++facts_.otherFailures;
      }
      if (header.kind == kKindOption && !facts_.haveOption) {
        facts_.haveOption = true;
        facts_.optionValid = fault == 0;
        facts_.optionText = DataText(data, header.length);
      } else if (header.kind == kKindComment && !facts_.haveComment) {
        facts_.haveComment = true;
        facts_.commentValid = fault == 0;
        facts_.comment = DataText(data, header.length);
      }
      break;
  }
  have_last_ = true;
  last_ = header;
  last_fault_ = fault;
}

void RecordingFactsCollector::DecideOverwritten() {
  const auto* text = reinterpret_cast<const uint8_t*>(facts_.optionText.data());
  const size_t size = facts_.optionText.size();
  facts_.overwritten = Answer::kUnknown;
  facts_.cardFull = Answer::kUnknown;
  // Settings that fail their check say nothing.
  if (!facts_.optionValid) return;
  if (ParseReadFacts(text, size, facts_.readFacts)) {
    facts_.haveReadFacts = true;
    facts_.overwritten = facts_.readFacts.overwritten ? Answer::kYes : Answer::kNo;
    facts_.cardFull = facts_.readFacts.cardFull ? Answer::kYes : Answer::kNo;
    facts_.rescue = facts_.readFacts.rescue;
    return;
  }
  // A file read before the reader noted this: the records tell what they
  // can. Only a ring memory overwrites, and only a linear card runs full.
  std::string memory;
  bool linear = OptionTextLine(text, size, "memoryfull=", memory) && memory == "stop_logger";
  if (linear) {
    facts_.overwritten = Answer::kNo;
    return;
  }
  if (memory == "overwrite_old") facts_.cardFull = Answer::kNo;
  // The card's preparation put "(init)" into its first data sector: a read
  // that began there begins with it. Without it, the first sector was
  // overwritten - unless the read left out every control record.
  if (first_card_record_is_init_) {
    facts_.overwritten = Answer::kNo;
  } else if (seen_control_ && first_card_record_valid_) {
    facts_.overwritten = Answer::kYes;
  }
}

void RecordingFactsCollector::Finish(uint64_t size) {
  if (printed_) {
    facts_.firstPrinted = PrintedTimeText(first_printed_);
    facts_.lastPrinted = PrintedTimeText(last_printed_);
  }
  if (gap_pending_ && last_.kind == kKindEndOfFile && last_fault_ == 0) {
    // The end-of-file record confirms records missing before it.
    ++facts_.gapCount;
    facts_.missingRecords += pending_gap_.missing;
    AddListed(facts_.gaps, pending_gap_);
  }
  gap_pending_ = false;
  DecideOverwritten();

  using EndProblem = RecordingFacts::EndProblem;
  facts_.endRecordFound = have_last_ && last_.kind == kKindEndOfFile;
  facts_.endRecordSound = false;
  if (!facts_.endRecordFound) {
    facts_.endProblem = EndProblem::kMissing;
    return;
  }
  facts_.endNumber = last_.number;
  if (last_fault_ != 0) {
    facts_.endProblem = EndProblem::kFailsCheck;
  } else if (last_.length != 0) {
    facts_.endProblem = EndProblem::kHoldsData;
  } else if (offset_ != size || facts_.trailingBytes != 0) {
    facts_.endProblem = EndProblem::kNotAtEnd;
  } else if (last_.number != facts_.records - 1) {
    facts_.endProblem = EndProblem::kNumber;
  } else {
    facts_.endProblem = EndProblem::kNone;
    facts_.endRecordSound = true;
  }
}

}  // namespace qb
