// The card jobs' options: one process-wide set of key=value settings, filled
// from the job's option files and its arguments, and the language they are
// written in. READCARD and INITCARD share the table, the parser and the help
// text; each job reads only the options it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/setting_codes.h"

namespace qb {

// Codes of the keyword options.
constexpr uint16_t kMemoryFullStopLogger = 0;
constexpr uint16_t kMemoryFullOverwriteOld = kFlagOverwriteOld;
constexpr uint16_t kRtsControlRecording = 0;
constexpr uint16_t kRtsControlOutOfMemory = kFlagOutOfMemory;
constexpr uint16_t kFormatBinary = 0;
constexpr uint16_t kFormatAscii = 1;
constexpr uint16_t kFilterAll = 0;
constexpr uint16_t kFilterInitAndData = 1;
constexpr uint16_t kFilterInitOnly = 2;

struct JobOptions {
  // Longest texts the fields keep; longer values are cut.
  static constexpr size_t kDriverLength = 255;
  static constexpr size_t kFileNameLength = 259;    // logfile, comment
  static constexpr size_t kOutputNameLength = 255;  // the files READCARD writes
  static constexpr size_t kParameterLength = 3;

  // Both jobs.
  std::string driver = "\\\\.\\Quil97";  // card device path
  uint16_t slot = 0;                     // PC Card slot
  uint32_t cardsize = 0;                 // sectors to use; 0: all
  uint16_t prompt = 1;                   // ask before destructive steps
  std::string logfile;                   // empty: no log
  // INITCARD.
  std::string comment;  // file whose bytes become the card's comment
  uint32_t baudrate = 9600;
  std::string parameter = "8N1";
  uint32_t protocol = 0;
  uint16_t timeout = 1000;
  uint16_t memoryfull = kMemoryFullStopLogger;
  uint16_t rtscontrol = kRtsControlRecording;
  // READCARD.
  std::string optionoutput;  // empty: not written
  std::string commentoutput;
  std::string recordoutput = "readcard.dat";
  uint16_t format = kFormatBinary;
  uint16_t filter = kFilterAll;
  std::string reportoutput;  // the read report of the record file; empty: none
  uint16_t rescue = 0;       // not 0: skip data sectors that fail their check
};

// The process-wide options. They hold the defaults at process start and are
// never reset between runs: a value set by one run stays in force until set
// again.
JobOptions& Options();
// Restores the defaults (tests only).
void ResetJobOptions();

// The arguments of a job run from entry 1 up to the first null or empty
// entry; whatever follows is not read.

// How many entries of `argv` (`argc` of them) a job reads, entry 0 included.
int JobArgumentCount(int argc, char** argv);

// True when one of the arguments is a help switch ("help", "/?", "-?", "/h", "-h", any case, the
// whole argument); the help text has then been written to the console.
bool ShowHelpIfAsked(char** argv);

// Reads the options in order: "<name>.ini" beside the program named by entry
// 0, "<name>.ini" in the current folder, then the arguments. A later source overrides an earlier
// one. False after the first error, whose texts are in the error report. A missing .ini is no
// error. A null entry 0 skips both .ini files.
bool ReadJobOptions(char** argv);

// Splits "key=value" (or "key~value"). Leading '=' and '~' are skipped; the
// key runs to the next '=' or '~' and must not be empty; the value is the
// rest up to the line end, and may hold '=' and '~'. Blanks are kept. False
// when the text holds no separator or the key is empty.
bool SplitOption(const std::string& text, std::string& key, std::string& value);

// Stores one option. Keys and keyword values are compared without regard to
// case; texts are stored unchanged, cut to their field's length. "optionfile"
// reads the named file at once and returns its result. False for an unknown
// key, a keyword value not in its list or a failing option file; the caller
// reports the first two, the option file reports its own errors.
bool ApplyOption(const std::string& key, const std::string& value);

}  // namespace qb
