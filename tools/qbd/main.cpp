// qbd: record files from the command line.
//
//   qbd info [--json] FILE
//   qbd show [--json] FILE [--from K] [--count N]
//   qbd export FILE OUT [--force]
//   qbd find FILE TEXT
//   qbd verify [--json] [--require-report] [--pubkey KEY] FILE... | --dir FOLDER [--recursive]
//   qbd sign --key KEY FILE...
//   qbd text FILE [--codepage NAME] [--pins 9|24]
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
#include "base/json_text.h"
#include "base/messages.h"
#include "base/out_of_memory.h"
#include "base/text_format.h"
#include "common/command_line.h"
#include "common/program_version.h"
#include "document/printer_codes.h"
#include "document/record_document.h"
#include "document/text_export.h"
#include "platform/posix_names.h"
#include "printout/document_source.h"
#include "printout/printout_settings.h"
#include "printout/printout_text.h"
#include "qbd_host.h"
#include "recording_text.h"
#include "sign_command.h"
#include "verify_command.h"

namespace qb {
namespace {

constexpr char kUsage[] =
    "usage: qbd info [--json] FILE\n"
    "       qbd show [--json] FILE [--from K] [--count N]\n"
    "       qbd export FILE OUT [--force]\n"
    "       qbd find FILE TEXT\n"
    "       qbd verify [--json] [--require-report] [--pubkey KEY.pub] FILE...\n"
    "       qbd verify [--json] [--require-report] [--pubkey KEY.pub] --dir FOLDER "
    "[--recursive]\n"
    "       qbd sign --key KEY.pem FILE...\n"
    "       qbd text FILE [--codepage NAME] [--pins 9|24]\n"
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
  PrintoutSettings printer;
  std::vector<std::string> plain;
  std::vector<std::string> folders;  // --dir
  bool recursive = false;
  bool requireReport = false;
  std::string publicKey;   // --pubkey
  std::string privateKey;  // --key
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
    } else if (!options_end && arg == "--recursive") {
      args.recursive = true;
    } else if (!options_end && arg == "--require-report") {
      args.requireReport = true;
    } else if (!options_end && (arg == "--dir" || arg == "--pubkey" || arg == "--key")) {
      const std::string* value = line.Peek();
      if (value == nullptr || value->empty()) {
        problem = arg + " needs a value";
        return false;
      }
      if (arg == "--dir") {
        args.folders.push_back(*value);
      } else {
        (arg == "--pubkey" ? args.publicKey : args.privateKey) = *value;
      }
      line.Skip();
    } else if (!options_end && (arg == "--from" || arg == "--count")) {
      long long& target = arg == "--from" ? args.from : args.count;
      const std::string* value = line.Peek();
      if (!ParseCount(value != nullptr ? value->c_str() : nullptr, target)) {
        problem = arg + " needs a number of 0 or more";
        return false;
      }
      line.Skip();
    } else if (!options_end && arg == "--codepage") {
      const std::string* value = line.Peek();
      if (value == nullptr || !ParseCharacterTable(*value, args.printer.table)) {
        problem = "--codepage needs one of 437, 850, 852, 858, 1252, latin1";
        return false;
      }
      line.Skip();
    } else if (!options_end && arg == "--pins") {
      const std::string* value = line.Peek();
      if (value == nullptr || !ParsePrinterModel(*value, args.printer.model)) {
        problem = "--pins needs 9 or 24";
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

// Records missing from the middle of a file are said on standard error,
// whatever the output is.
void WarnOfGaps(const RecordDocument& document) {
  std::string warnings = GapWarnings(document.facts());
  if (warnings.empty()) return;
  std::fflush(stdout);
  std::fputs(warnings.c_str(), stderr);
}

int Info(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 1) return Usage("info needs one FILE");
  RecordDocument document;
  if (!Load(document, args.plain[0], host, args.json)) {
    if (args.json) Print("{\"loaded\":false,\"error\":" + JsonString(host.box()) + "}\n");
    return 1;
  }
  int lines = document.GetLastLineIndex() + 1;
  const RecordingFacts& facts = document.facts();
  if (args.json) {
    std::string manipulated = "[";
    for (size_t i = 0; i < facts.manipulatedLines.size(); ++i)
      manipulated += (i > 0 ? "," : "") + std::to_string(facts.manipulatedLines[i]);
    Print("{\"loaded\":true,\"records\":" + std::to_string(document.recordCount()) +
          ",\"lines\":" + std::to_string(lines) + ",\"comment\":" + JsonString(document.comment()) +
          ",\"title\":" + JsonString(document.GetTitle()) +
          ",\"sessions\":" + std::to_string(facts.sessionCount) + ",\"overwritten\":\"" +
          AnswerWord(facts.overwritten) + "\",\"cardFull\":\"" + AnswerWord(facts.cardFull) +
          "\",\"missingRecords\":" + std::to_string(facts.missingRecords) +
          ",\"manipulatedRecords\":" + std::to_string(facts.manipulated) +
          ",\"manipulatedLines\":" + manipulated + "]" +
          ",\"skippedSectors\":" + std::to_string(facts.skippedSectors) +
          ",\"firstPrinted\":" + JsonString(facts.firstPrinted) +
          ",\"lastPrinted\":" + JsonString(facts.lastPrinted) + "}\n");
  } else {
    Print(RecordsLine(document.recordCount()) + "lines: " + std::to_string(lines) + "\ncomment: " +
          document.comment() + "\ntitle: " + document.GetTitle() + "\n" + FactLines(facts));
  }
  WarnOfGaps(document);
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
  WarnOfGaps(document);
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
  document.SetFactsWanted(false);
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
  document.SetFactsWanted(false);
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
  if (args.plain.empty() && args.folders.empty())
    return Usage("verify needs FILE... or --dir FOLDER");
  VerifyOptions options;
  options.files = args.plain;
  options.folders = args.folders;
  options.recursive = args.recursive;
  options.json = args.json;
  options.requireReport = args.requireReport;
  options.publicKey = args.publicKey;
  return VerifyCommand(options, host);
}

int Sign(const Arguments& args) {
  if (args.privateKey.empty() || args.plain.empty())
    return Usage("sign needs --key KEY and FILE...");
  return SignCommand(args.privateKey, args.plain);
}

int Text(const Arguments& args, QbdHost& host) {
  if (args.plain.size() != 1) return Usage("text needs one FILE");
  RecordDocument document;
  if (!Load(document, args.plain[0], host, false)) return 1;
  QbdHost::CatchInterrupt();
  DocumentSource source(document);
  bool written = WritePrintoutText(source, args.printer, [&host](const std::string& text) {
    if (host.CheckProgressCancel()) return false;
    Print(text);
    return std::ferror(stdout) == 0;
  });
  if (document.FileChanged()) {
    std::fprintf(stderr, "%s\n", FillMessage(msg::kRecordFileChanged, args.plain[0]).c_str());
    return 1;
  }
  if (!written && !host.interrupted()) {
    std::fprintf(stderr, "qbd: cannot write the text: %s\n", std::strerror(errno));
  }
  return written ? 0 : 1;
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
  } else if (command == "text") {
    status = Text(args, host);
  } else if (command == "sign") {
    status = Sign(args);
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
