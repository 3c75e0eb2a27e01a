// READCARD's output files: creating them (with the overwrite question), and
// the record file with its records from the card.
#pragma once

#include <cstdio>
#include <string>

namespace qb {

// Creates (truncates) the file. When the prompt option is exactly 1 and the
// file exists, asks on the console whether to overwrite it; "n" fails with
// "User abort", as does a console that can give no answer. A file that
// cannot be created fails with "Creating output file".
std::FILE* OpenOutputFile(const std::string& path, bool binary);

// Writes the bytes; false with the system error set when the file did not
// take them all.
bool WriteOutput(std::FILE* file, const void* bytes, size_t count);

// Flushes the file to its disk and closes it; false with the system error set
// when any of that failed. The file is closed in every case.
bool CloseOutputFile(std::FILE* file);

// Writes the record file named by the recordoutput option in the form the
// format and filter options ask for (nothing when the name is empty): runs the
// focus search and walks the records from the oldest to the newest. Needs
// ReadMasterSector and ReadComment first. A half-written file stays on disk
// when anything fails.
bool WriteRecordFile();

}  // namespace qb
