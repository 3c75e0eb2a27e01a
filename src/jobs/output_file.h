// READCARD's output files: creating them (with the overwrite question), and
// the record file with its records from the card.
#pragma once

#include <memory>
#include <string>

#include "platform/safe_output_file.h"

namespace qb {

// False, with "Output file %s is the card being read", when recordoutput,
// optionoutput, commentoutput, reportoutput or logfile names the card the
// driver option opens as a plain file (the same file through any path or
// link). Also false when reportoutput is asked for without a binary record
// file, or names the record file.
bool CheckOutputsSpareCard();

// Starts an output file: its bytes go to a new file beside the name, which
// takes the name only when CloseOutputFile succeeds; until then anything of
// that name stays as it was. When the prompt option is exactly 1 and the
// file exists, asks on the console whether to overwrite it first; "n" fails
// with "User abort", as does a console that can give no answer. A file that
// cannot be created (nor a read-only one replaced) fails with "Creating
// output file". The job's clean-up removes the unfinished file.
std::shared_ptr<SafeOutputFile> OpenOutputFile(const std::string& path, bool binary);

// Writes the bytes; false with the system error set when the file did not
// take them all.
bool WriteOutput(SafeOutputFile& file, const void* bytes, size_t count);

// Flushes the file to its disk and gives it its name; false with the system
// error set when any of that failed (the unfinished file is removed).
bool CloseOutputFile(SafeOutputFile& file);

// Writes the record file named by the recordoutput option in the form the
// format and filter options ask for (nothing when the name is empty): runs the
// focus search and walks the records from the oldest to the newest. Needs
// ReadMasterSector and ReadComment first. When anything fails, an earlier
// file of that name stays as it was and no unfinished one is left. The
// binary form's option record ends with what the read found out (the lines
// of ReadFactsText). With the rescue option, data sectors that fail their
// check are skipped, each run of them marked by a control record.
bool WriteRecordFile();

}  // namespace qb
