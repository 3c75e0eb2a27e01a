// The read report of a record file: when and from which card it was read,
// with which settings and by which program, the record file's size and
// SHA-256, and what the recording tells (records, lines, sessions, whether
// older printouts had been overwritten, records missing from the numbering,
// skipped sectors, records that fail their check). Written beside the
// record file as NAME.qbd.report.json when the card is read; any later
// change to the record file shows as a SHA-256 that no longer matches.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "document/record_file_scan.h"
#include "document/recording_facts.h"

namespace qb {

// The name of a record file's read report: the record file's name followed
// by ".report.json".
std::string ReadReportPath(const std::string& record_path);

struct ReadReport {
  // The most entries each list of the report holds; the counts are whole.
  static constexpr size_t kMaxListed = 10000;

  // The record file.
  std::string fileName;  // without folders
  uint64_t fileSize = 0;
  std::string sha256;
  // The card, as the record file's settings name it.
  bool cardIdKnown = false;  // false when the comment fails its check
  std::string cardId;        // the card's comment (identification string)
  std::string masterNumber;  // eight hex digits
  std::string readDate;
  std::vector<std::pair<std::string, std::string>> settings;  // key, value
  // The program that wrote the report.
  std::string program;
  std::string version;
  std::string softwareSignature;
  // What the recording tells.
  uint64_t records = 0;
  uint64_t lines = 0;
  uint64_t sessionCount = 0;
  std::vector<RecordingSession> sessions;
  uint64_t linesBeforeFirstSession = 0;
  Answer overwritten = Answer::kUnknown;
  Answer cardFull = Answer::kUnknown;
  bool rescue = false;
  uint64_t gapCount = 0;
  uint64_t missingRecords = 0;
  std::vector<RecordGap> gaps;
  uint64_t skippedCount = 0;
  uint64_t skippedSectors = 0;
  std::vector<SkippedSectors> skipped;
  uint64_t manipulated = 0;  // records of every kind that fail their check
  uint64_t manipulatedLineCount = 0;
  std::vector<uint32_t> manipulatedLines;
  std::string firstPrinted;
  std::string lastPrinted;
};

// The report of a scanned record file named `file_name`.
ReadReport MakeReadReport(const std::string& file_name, const RecordFileScan& scan);

// The report as JSON text (indented, ended by a line feed).
std::string ReadReportJson(const ReadReport& report);

// The largest report text read.
constexpr size_t kMaxReadReportSize = size_t{16} << 20;

// Reads a report's text. False with `problem` (one line) when it is no
// JSON or not a read report.
bool ParseReadReport(const std::string& text, ReadReport& report, std::string& problem);

// Reads the report file at `path` (at most kMaxReadReportSize bytes). 0, or
// the error number; EFBIG for a larger file.
int ReadReportFile(const std::string& path, std::string& text);

// Scans the record file and writes its report to `report_path` (write
// beside, then rename). 0, or the error number of the first step that
// failed; nothing is left at `report_path` then.
int WriteReadReport(const std::string& record_path, const std::string& report_path);

// Scans the record file and gives its report's text. 0, or the error number.
int MakeReadReportText(const std::string& record_path, std::string& text);

}  // namespace qb
