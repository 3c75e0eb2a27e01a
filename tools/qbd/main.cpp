// qbd: record files from the command line.
//
//   qbd info [--json] FILE
//   qbd show [--json] FILE [--from K] [--count N]
//   qbd export FILE OUT [--force]
//   qbd find FILE TEXT
//   qbd verify FILE
//   qbd --help | --version
//
// Exit status 0 on success, 1 when the file cannot be loaded, the command
// fails or its arguments are wrong; verify exits 2 when any check failed.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/out_of_memory.h"
#include "base/text_format.h"
#include "common/command_line.h"
#include "common/program_version.h"
#include "document/printer_codes.h"
#include "document/record_document.h"
#include "document/text_export.h"
#include "file_digest.h"
#include "base/json_text.h"
#include "platform/posix_names.h"
#include "qbd_host.h"
#include "record_audit.h"

namespace qb {
namespace {

constexpr char kUsage[] =
    "usage: qbd info [--json] FILE\n"
    "       qbd show [--json] FILE [--from K] [--count N]\n"
    "       qbd export FILE OUT [--force]\n"
    "       qbd find FILE TEXT\n"
    "       qbd verify FILE\n"
    "       qbd --help | --version\n";

// What `info` and `verify` count as the records of a file, said the same
// way by both.
std::string RecordsLine(uint64_t records) {
  return "records: " + std::to_string(records) +
         " (header records included, end-of-file record not)\n";
}

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "qbd: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return 1;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// The command line after the command word: flags and their values, and the
// plain arguments in order.
struct Arguments {
  bool json = false;
  bool force = false;
  long long from = 0;
  long long count = -1;  // all
  std::vector<std::string> plain;
};

bool ParseCount(const char* text, long long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < 0) return false;
  value = parsed;
  return true;
}

bool ParseArguments(int argc, char** argv, Arguments& args, std::string& problem) {
  // Options have no "=value" form here: the words are taken as they stand.
  bool options_end = false;
  tools::CommandLine line(argc - 2, argv + 2);
  while (!line.Done()) {
    line.Step();
    const std::string& arg = line.arg();
    if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg == "--json") {
      args.json = true;
    } else if (!options_end && arg == "--force") {
      args.force = true;
    } else if (!options_end && (arg == "--from" || arg == "--count")) {
      long long& target = arg == "--from" ? args.from : args.count;
      const std::string* value = line.Peek();
      if (!ParseCount(value != nullptr ? value->c_str() : nullptr, target)) {
        problem = arg + " needs a number of 0 or more";
        return false;
      }
      line.Skip();
    } else if (!options_end && arg.size() > 1 && arg[0] == '-') {
      problem = "unknown option " + arg;
      return false;
    } else {
      args.plain.push_back(arg);
    }
  }
  return true;
}

// Loads the document; on failure prints the error box (unless it goes into
// JSON) and returns false.
bool Load(RecordDocument& document, const std::string& path, QbdHost& host, bool quiet) {
  if (document.LoadRecordFile(path)) return true;
  if (!quiet && !host.box().empty()) std::fprintf(stderr, "%s\n", host.box().c_str());
  return false;
}

int Info(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 1) return Usage("info needs one FILE");
  RecordDocument document;
  if (!Load(document, args.plain[0], host, args.json)) {
    if (args.json) Print("{\"loaded\":false,\"error\":" + JsonString(host.box()) + "}\n");
    return 1;
  }
  int lines = document.GetLastLineIndex() + 1;
  if (args.json) {
    Print("{\"loaded\":true,\"records\":" + std::to_string(document.recordCount()) +
          ",\"lines\":" + std::to_string(lines) + ",\"comment\":" + JsonString(document.comment()) +
          ",\"title\":" + JsonString(document.GetTitle()) + "}\n");
  } else {
    Print(RecordsLine(document.recordCount()) + "lines: " + std::to_string(lines) +
          "\ncomment: " + document.comment() + "\ntitle: " + document.GetTitle() + "\n");
  }
  return 0;
}

int LineClass(RecordDocument& document, int line) {
  for (int line_class : {kClassTextOnly, kClassCodesOnly, kClassMixed}) {
    if (document.LineHasClass(line, line_class)) return line_class;
  }
  return 0;
}

int Show(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 1) return Usage("show needs one FILE");
  RecordDocument document;
  if (!Load(document, args.plain[0], host, false)) return 1;
  long long last = document.GetLastLineIndex();
  long long end = last;
  if (args.count >= 0 && args.count <= end - args.from) end = args.from + args.count - 1;
  std::string out;
  for (long long k = args.from; k <= end; ++k) {
    int line = static_cast<int>(k);
    if (args.json) {
      auto flag = [](bool value) { return value ? "true" : "false"; };
      out += "{\"line\":" + std::to_string(line) +
             ",\"valid\":" + flag(document.IsLineValid(line)) +
             ",\"class\":" + std::to_string(LineClass(document, line)) +
             ",\"ff\":" + flag(document.LineHoldsCode(line, kCodeFormFeed)) +
             ",\"reset\":" + flag(document.LineHoldsCode(line, kCodeInitialise)) +
             ",\"condensed\":" + flag(document.LineHoldsCode(line, kCodeCondensed)) +
             ",\"text\":" + JsonString(document.GetLineText(line)) + "}\n";
    } else {
      out += document.GetLineText(line) + "\n";
    }
    if (out.size() >= (1u << 16)) {
      Print(out);
      out.clear();
    }
  }
  Print(out);
  return 0;
}

int Export(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 2) return Usage("export needs FILE and OUT");
  const std::string& out = args.plain[1];
  RecordDocument document;
  if (!Load(document, args.plain[0], host, false)) return 1;
  struct stat info;
  if (!args.force && ::lstat(out.c_str(), &info) == 0) {
    std::fprintf(stderr, "qbd: %s\n", FillMessage(msg::kExportTargetExists, out.c_str()).c_str());
    return 1;
  }
  // A regular file is replaced once the export is complete; a device or
  // FIFO is written through, never removed.
  QbdHost::CatchInterrupt();
  bool ran = WriteTextExport(document, out, host);
  if (!ran) {
    std::fprintf(stderr, "%s\n", host.box().c_str());
    return 1;
  }
  return host.interrupted() ? 1 : 0;
}

int Find(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 2) return Usage("find needs FILE and TEXT");
  RecordDocument document;
  if (!Load(document, args.plain[0], host, false)) return 1;
  QbdHost::CatchInterrupt();
  document.SetFindText(args.plain[1]);
  int last = document.GetLastLineIndex();
  int line = -1;
  int position = -1;
  // The search does not wrap: it ends with a miss, or with a hit in the
  // last line (after which it would start again at the first).
  while (document.FindNext(line, position) >= 0) {
    std::printf("%d\n", line);
    if (line >= last) break;
  }
  return host.interrupted() ? 1 : 0;
}

int Verify(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 1) return Usage("verify needs one FILE");
  const std::string& path = args.plain[0];
  {
    RecordDocument document;
    if (!Load(document, path, host, false)) return 1;
  }
  RecordAudit audit;
  std::string digest;
  if (!AuditRecordFile(path, audit) || !FileSha256(path, digest)) {
    std::fprintf(stderr, "qbd: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  auto line = [](const char* name, uint64_t value) {
    std::printf("%s: %llu\n", name, static_cast<unsigned long long>(value));
  };
  Print(RecordsLine(audit.RecordsBeforeEnd()));
  line("data lines", audit.dataLines);
  line("failed lines", audit.failedLines);
  line("  record checksum", audit.checksumFailures);
  line("  block check", audit.blockCheckFailures);
  line("  no STX", audit.noStx);
  line("  inverted bounds", audit.invertedBounds);
  line("  cut short", audit.cutShort);
  line("other records failing their check", audit.otherFailures);
  line("record-number breaks", audit.numberBreaks);
  std::printf("end-of-file record: %s\n",
              audit.endRecordSound ? "sound" : audit.endRecordProblem.c_str());
  std::printf("sha256: %s\n", digest.c_str());
  std::printf("result: %s\n", audit.Passed() ? "passed" : "FAILED");
  return audit.Passed() ? 0 : 2;
}

int QbdMain(int argc, char** argv) {
  if (argc < 2) return Usage("");
  std::string command = argv[1];
  if (command == "--version") {
    std::puts(tools::ProgramVersionLine("qbd").c_str());
    return 0;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Arguments args;
  std::string problem;
  if (!ParseArguments(argc, argv, args, problem)) return Usage(problem);
  if (args.from > INT_MAX) args.from = INT_MAX;
  QbdHost host(isatty(STDERR_FILENO) != 0);
  ScopedJobHost scoped(&host);
  int status = 1;
  if (command == "info") {
    status = Info(args, host);
  } else if (command == "show") {
    status = Show(args, host);
  } else if (command == "export") {
    status = Export(args, host);
  } else if (command == "find") {
    status = Find(args, host);
  } else if (command == "verify") {
    status = Verify(args, host);
  } else {
    return Usage("unknown command " + command);
  }
  std::fflush(stdout);
  return status;
}

}  // namespace
}  // namespace qb

int main(int argc, char** argv) {
  return qb::RunMainGuarded("qbd", qb::QbdMain, argc, argv);
}
