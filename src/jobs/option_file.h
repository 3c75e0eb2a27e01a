// Option files: lines of key=value read into the job options.
#pragma once

#include <string>

namespace qb {

// How many option files may be open inside one another; a file that names
// itself, directly or through others, is stopped here at the latest.
constexpr int kMaxOptionFileDepth = 16;

// Reads one option file into the job options; an empty path succeeds at
// once. The file is held without sharing while it is read. Lines are read in
// pieces of at most 127 characters, each piece counted as a line of its own
// from 1; pieces that begin with '#', ';' or the line end are skipped. CR LF
// reads as a line end. False after the first error, whose texts are in the
// error report: "Opening file <path>" (with the system error) when the file
// does not open, "invalid option" for a line that does not split, and
// "in <path>, line <n>: key=value" for an option that does not apply.
bool ReadOptionFile(const std::string& path);

}  // namespace qb
