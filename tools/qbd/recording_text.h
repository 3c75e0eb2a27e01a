// What qbd says about a recording: the lines `info` adds, the warnings
// `info` and `show` give on standard error, and the short texts `verify`
// builds its verdicts from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/recording_facts.h"

namespace qb {

// "yes", "no" or "unknown".
const char* AnswerWord(Answer answer);

// The numbers separated by ", ", at most `most` of them, then ", ..." when
// there are more than that (`total` of them in all).
std::string NumberList(const std::vector<uint32_t>& numbers, uint64_t total, size_t most);

// The lines `info` prints after its counts, each ended by a line feed.
std::string FactLines(const RecordingFacts& facts);

// The warnings about records missing from the numbering, one a line; empty
// when none are missing.
std::string GapWarnings(const RecordingFacts& facts);

// What is wrong with the end-of-file record ("missing", ...); empty when it
// is sound.
std::string EndRecordProblem(const RecordingFacts& facts);

}  // namespace qb
