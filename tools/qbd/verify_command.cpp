#include "verify_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/json_text.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "document/read_report.h"
#include "document/record_file_scan.h"
#include "qbd_host.h"
#include "record_file_list.h"
#include "recording_text.h"
#include "signing/report_signature.h"

namespace qb {
namespace {

// Lines of manipulated records named in a result line.
constexpr size_t kListedLines = 20;

enum class Outcome { kPassed, kFailed, kNotRecordFile, kUnreadable };

struct Verdict {
  std::string path;
  Outcome outcome = Outcome::kPassed;
  std::string reason;                 // why it is not a record file or could not be read
  std::vector<std::string> findings;  // what fails it
  std::vector<std::string> notes;     // what is worth knowing
  RecordFileScan scan;
  const char* report = "none";            // matches, none, changed, another file, unusable
  const char* signature = "not checked";  // valid, wrong, none, unusable
};

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ErrorText(int error) {
  if (error == EINVAL) return LoadMessage(msg::kNotRegularFile);
  return std::strerror(error);
}

// A loader's message on one line: "ERROR!" and its line breaks dropped.
std::string OneLine(const char* message) {
  std::string text(message);
  if (text.rfind("ERROR!\n", 0) == 0) text.erase(0, 7);
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}

// A small file read whole: at most `limit` bytes plus one, so that a larger
// one shows by its size.
int ReadSmallFile(const std::string& path, size_t limit, std::string& bytes) {
  bytes.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return errno != 0 ? errno : EIO;
  char piece[4096];
  size_t got = 0;
  while (bytes.size() <= limit && (got = std::fread(piece, 1, sizeof piece, file.get())) > 0)
    bytes.append(piece, got);
  return std::ferror(file.get()) ? (errno != 0 ? errno : EIO) : 0;
}

void CheckRecords(Verdict& verdict) {
  const RecordingFacts& facts = verdict.scan.facts;
  if (facts.manipulated > 0) {
    std::string finding =
        FillMessage(msg::kFindingManipulated, static_cast<unsigned long>(facts.manipulated));
    if (facts.manipulatedLineCount > 0) {
      std::string lines =
          NumberList(facts.manipulatedLines, facts.manipulatedLineCount, kListedLines);
      finding += " (" + FillMessage(msg::kFindingLines, lines.c_str()) + ")";
    }
    verdict.findings.push_back(finding);
  }
  if (facts.missingRecords > 0)
    verdict.findings.push_back(
        FillMessage(msg::kFindingMissing, static_cast<unsigned long>(facts.missingRecords)));
  // Breaks that records missing between two numbers do not explain.
  if (facts.numberBreaks > facts.gapCount)
    verdict.findings.push_back(
        FillMessage(msg::kFindingOutOfSequence,
                    static_cast<unsigned long>(facts.numberBreaks - facts.gapCount)));
  std::string end = EndRecordProblem(facts);
  if (!end.empty()) verdict.findings.push_back(FillMessage(msg::kFindingEnd, end.c_str()));
  if (facts.overwritten == Answer::kYes)
    verdict.notes.push_back(LoadMessage(msg::kNoteOverwritten));
  if (facts.cardFull == Answer::kYes) verdict.notes.push_back(LoadMessage(msg::kNoteCardFull));
  if (facts.skippedSectors > 0)
    verdict.notes.push_back(
        FillMessage(msg::kNoteSkipped, static_cast<unsigned long>(facts.skippedSectors)));
}

// The read report beside the file; returns its text when it is there and
// can be read (for the signature).
bool CheckReport(Verdict& verdict, bool require, std::string& text) {
  int error = ReadSmallFile(ReadReportPath(verdict.path), kMaxReadReportSize, text);
  if (error == ENOENT) {
    verdict.report = "none";
    if (require) verdict.findings.push_back(LoadMessage(msg::kFindingNoReport));
    return false;
  }
  verdict.report = "unusable";
  if (error != 0) {
    verdict.findings.push_back(FillMessage(msg::kFindingReportUnusable, ErrorText(error).c_str()));
    return false;
  }
  if (text.size() > kMaxReadReportSize) {
    verdict.findings.push_back(FillMessage(msg::kFindingReportUnusable, ErrorText(EFBIG).c_str()));
    return false;
  }
  ReadReport report;
  std::string problem;
  if (!ParseReadReport(text, report, problem)) {
    verdict.findings.push_back(FillMessage(msg::kFindingReportUnusable, problem.c_str()));
    return false;
  }
  const bool same = report.sha256 == verdict.scan.sha256 && report.fileSize == verdict.scan.size;
  const bool named = report.fileName == FileNameOf(verdict.path);
  if (same) {
    verdict.report = "matches";
    verdict.notes.push_back(LoadMessage(msg::kNoteReportMatches));
    if (!named) verdict.notes.push_back(FillMessage(msg::kNoteRenamed, report.fileName.c_str()));
  } else if (named) {
    verdict.report = "changed";
    verdict.findings.push_back(LoadMessage(msg::kFindingChanged));
  } else {
    verdict.report = "another file";
    verdict.findings.push_back(FillMessage(msg::kFindingOtherFile, report.fileName.c_str()));
  }
  return true;
}

void CheckSignature(Verdict& verdict, const SignatureKey& key, const std::string& report) {
  std::string signature;
  int error = ReadSmallFile(ReportSignaturePath(verdict.path), kSignatureSize, signature);
  if (error == ENOENT) {
    verdict.signature = "none";
    verdict.findings.push_back(LoadMessage(msg::kFindingNotSigned));
    return;
  }
  std::string problem = error != 0 ? ErrorText(error) : std::string();
  if (error == 0 && key.Verify(report, signature, problem)) {
    verdict.signature = "valid";
    verdict.notes.push_back(LoadMessage(msg::kNoteSignatureValid));
  } else if (problem.empty()) {
    verdict.signature = "wrong";
    verdict.findings.push_back(LoadMessage(msg::kFindingSignatureWrong));
  } else {
    verdict.signature = "unusable";
    verdict.findings.push_back(FillMessage(msg::kFindingSignatureUnusable, problem.c_str()));
  }
}

Verdict VerifyFile(const std::string& path, const VerifyOptions& options, const SignatureKey* key) {
  Verdict verdict;
  verdict.path = path;
  int error = ScanRecordFile(path, verdict.scan);
  if (error != 0) {
    verdict.outcome = Outcome::kUnreadable;
    verdict.reason = ErrorText(error);
    return verdict;
  }
  const Message<>* not_record_file =
      verdict.scan.size == 0 ? &msg::kWrongFormat : NotARecordFile(verdict.scan.facts);
  if (not_record_file != nullptr) {
    verdict.outcome = Outcome::kNotRecordFile;
    verdict.reason = OneLine(LoadMessage(*not_record_file));
    return verdict;
  }
  CheckRecords(verdict);
  std::string report;
  bool have_report = CheckReport(verdict, options.requireReport, report);
  if (key != nullptr) {
    if (have_report) {
      CheckSignature(verdict, *key, report);
    } else if (verdict.report == std::string("none")) {
      verdict.signature = "none";
    }
  }
  verdict.outcome = verdict.findings.empty() ? Outcome::kPassed : Outcome::kFailed;
  return verdict;
}

std::string ResultLine(const Verdict& verdict) {
  std::string line = verdict.path + ": ";
  auto join = [](const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
  };
  switch (verdict.outcome) {
    case Outcome::kUnreadable:
      return line + FillMessage(msg::kResultUnreadable, verdict.reason.c_str());
    case Outcome::kNotRecordFile:
      return line + FillMessage(msg::kResultNotRecordFile, verdict.reason.c_str());
    case Outcome::kPassed:
      line += LoadMessage(msg::kResultPassed);
      break;
    case Outcome::kFailed:
      line += std::string(LoadMessage(msg::kResultFailed)) + ": " + join(verdict.findings);
      break;
  }
  if (!verdict.notes.empty()) line += " (" + join(verdict.notes) + ")";
  return line;
}

const char* OutcomeWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::kPassed:
      return "passed";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kNotRecordFile:
      return "not a record file";
    default:
      return "unreadable";
  }
}

std::string JsonList(const std::vector<std::string>& texts) {
  std::string list = "[";
  for (size_t i = 0; i < texts.size(); ++i) list += (i > 0 ? "," : "") + JsonString(texts[i]);
  return list + "]";
}

std::string JsonVerdict(const Verdict& verdict) {
  std::string json = "{\"file\":" + JsonString(verdict.path) + ",\"result\":\"" +
                     OutcomeWord(verdict.outcome) + "\"";
  if (verdict.outcome == Outcome::kUnreadable || verdict.outcome == Outcome::kNotRecordFile)
    return json + ",\"reason\":" + JsonString(verdict.reason) + "}";
  const RecordingFacts& facts = verdict.scan.facts;
  auto number = [](uint64_t value) { return std::to_string(value); };
  std::string lines = "[";
  for (size_t i = 0; i < facts.manipulatedLines.size(); ++i)
    lines += (i > 0 ? "," : "") + number(facts.manipulatedLines[i]);
  lines += "]";
  json += ",\"findings\":" + JsonList(verdict.findings) + ",\"notes\":" + JsonList(verdict.notes) +
          ",\"size\":" + number(verdict.scan.size) + ",\"sha256\":\"" + verdict.scan.sha256 +
          "\",\"records\":" + number(facts.RecordsBeforeEnd()) +
          ",\"lines\":" + number(facts.lines) + ",\"sessions\":" + number(facts.sessionCount) +
          ",\"overwritten\":\"" + AnswerWord(facts.overwritten) + "\",\"cardFull\":\"" +
          AnswerWord(facts.cardFull) + "\",\"missingRecords\":" + number(facts.missingRecords) +
          ",\"manipulatedRecords\":" + number(facts.manipulated) +
          ",\"manipulatedLines\":" + lines + ",\"skippedSectors\":" + number(facts.skippedSectors) +
          ",\"report\":\"" + verdict.report + "\",\"signature\":\"" + verdict.signature + "\"}";
  return json;
}

// The audit of one file in detail, as `qbd verify FILE` has always given it,
// with what the recording tells and the report's state.
void PrintDetails(const Verdict& verdict) {
  const RecordingFacts& facts = verdict.scan.facts;
  auto line = [](const char* name, uint64_t value) {
    std::printf("%s: %llu\n", name, static_cast<unsigned long long>(value));
  };
  std::printf("records: %llu (header records included, end-of-file record not)\n",
              static_cast<unsigned long long>(facts.RecordsBeforeEnd()));
  line("data lines", facts.lines);
  line("failed lines", facts.FailedLines());
  line("  record checksum", facts.checksumFailures);
  line("  block check", facts.blockCheckFailures);
  line("  no STX", facts.noStx);
  line("  inverted bounds", facts.invertedBounds);
  line("  cut short", facts.cutShort);
  line("other records failing their check", facts.otherFailures);
  line("record-number breaks", facts.numberBreaks);
  std::string end = EndRecordProblem(facts);
  std::printf("end-of-file record: %s\n", end.empty() ? "sound" : end.c_str());
  Print(FactLines(facts));
  std::printf("%s\n", FillMessage(msg::kFactReport, verdict.report).c_str());
  if (std::strcmp(verdict.signature, "not checked") != 0)
    std::printf("%s\n", FillMessage(msg::kFactSignature, verdict.signature).c_str());
  std::printf("sha256: %s\n", verdict.scan.sha256.c_str());
  std::printf("result: %s\n", verdict.outcome == Outcome::kPassed
                                  ? LoadMessage(msg::kResultPassed)
                                  : LoadMessage(msg::kResultFailed));
  for (const std::string& finding : verdict.findings) std::printf("  %s\n", finding.c_str());
}

}  // namespace

int VerifyCommand(const VerifyOptions& options, QbdHost& host) {
  std::unique_ptr<SignatureKey> key;
  if (!options.publicKey.empty()) {
    key = std::make_unique<SignatureKey>();
    std::string problem;
    if (!key->Load(options.publicKey, problem)) {
      std::fprintf(stderr, "qbd: %s\n", problem.c_str());
      return 1;
    }
  }
  std::vector<ListedFile> files;
  for (const std::string& file : options.files) files.push_back({file, 0});
  for (const std::string& folder : options.folders)
    ListRecordFiles(folder, options.recursive, files);

  // One file named alone: the audit in detail.
  if (options.files.size() == 1 && options.folders.empty() && !options.json) {
    Verdict verdict = VerifyFile(files[0].path, options, key.get());
    if (verdict.outcome == Outcome::kUnreadable || verdict.outcome == Outcome::kNotRecordFile) {
      std::fprintf(stderr, "qbd: %s\n", ResultLine(verdict).c_str());
      return 1;
    }
    PrintDetails(verdict);
    return verdict.outcome == Outcome::kPassed ? 0 : 2;
  }

  unsigned long counts[4] = {};
  if (options.json) Print("{\"files\":[");
  host.SetProgressRange(0, static_cast<long>(files.size()));
  for (size_t i = 0; i < files.size(); ++i) {
    host.ShowStatus(FillMessage(msg::kVerifyProgress, static_cast<unsigned long>(i + 1),
                                static_cast<unsigned long>(files.size())) +
                    "  " + FileNameOf(files[i].path));
    host.SetProgressPos(static_cast<long>(i));
    Verdict verdict;
    if (files[i].error != 0) {
      verdict.path = files[i].path;
      verdict.outcome = Outcome::kUnreadable;
      verdict.reason = ErrorText(files[i].error);
    } else {
      verdict = VerifyFile(files[i].path, options, key.get());
    }
    ++counts[static_cast<int>(verdict.outcome)];
    host.ClearProgress();
    Print(options.json ? std::string(i > 0 ? ",\n" : "\n") + JsonVerdict(verdict)
                       : ResultLine(verdict) + "\n");
    std::fflush(stdout);
  }
  host.ClearProgress();
  const unsigned long passed = counts[static_cast<int>(Outcome::kPassed)];
  const unsigned long failed = counts[static_cast<int>(Outcome::kFailed)];
  const unsigned long not_record = counts[static_cast<int>(Outcome::kNotRecordFile)];
  const unsigned long unreadable = counts[static_cast<int>(Outcome::kUnreadable)];
  if (options.json) {
    Print("\n],\"summary\":{\"files\":" + std::to_string(files.size()) +
          ",\"passed\":" + std::to_string(passed) + ",\"failed\":" + std::to_string(failed) +
          ",\"notRecordFiles\":" + std::to_string(not_record) +
          ",\"unreadable\":" + std::to_string(unreadable) + "}}\n");
  } else {
    Print(FillMessage(msg::kVerifySummary, static_cast<unsigned long>(files.size()), passed, failed,
                      not_record, unreadable) +
          "\n");
  }
  if (not_record + unreadable > 0) return 1;
  return failed > 0 ? 2 : 0;
}

}  // namespace qb
