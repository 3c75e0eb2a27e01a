#include "jobs/job_options.h"

#include <cerrno>
#include <iterator>
#include <type_traits>
#include <variant>

#include "base/error_report.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "jobs/option_file.h"
#include "jobs/option_number.h"
#include "platform/file_status.h"

namespace qb {
namespace {

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares without regard to case (ASCII letters only, whatever the locale).
bool SameWord(const std::string& text, const char* word) {
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if (word[i] == '\0' || AsciiLower(text[i]) != AsciiLower(word[i])) return false;
  }
  return word[i] == '\0';
}

bool IsSeparator(char c) {
  return c == '=' || c == '~';
}

// The arguments end at the first null entry; a program's argument vector has
// no null entries before its end, so there an empty argument ends them.
bool EndsArguments(const char* arg) {
  return arg == nullptr || *arg == '\0';
}

// The kinds of option and where each stores its value.
struct TextField {
  std::string JobOptions::*field;
  size_t length;
};
struct Number16 {
  uint16_t JobOptions::*field;
};
struct Number32 {
  uint32_t JobOptions::*field;
};
struct Keyword {
  const char* word;
  uint16_t code;
};
struct KeywordField {
  uint16_t JobOptions::*field;
  const Keyword* words;
  size_t count;
};
struct NestedFile {};

using OptionTarget = std::variant<TextField, Number16, Number32, KeywordField, NestedFile>;

struct OptionRow {
  const char* key;
  OptionTarget target;
};

constexpr Keyword kMemoryFullWords[] = {{"stop_logger", kMemoryFullStopLogger},
                                        {"overwrite_old", kMemoryFullOverwriteOld}};
constexpr Keyword kRtsControlWords[] = {{"recording", kRtsControlRecording},
                                        {"outofmemory", kRtsControlOutOfMemory}};
constexpr Keyword kFormatWords[] = {{"binary", kFormatBinary}, {"ascii", kFormatAscii}};
constexpr Keyword kFilterWords[] = {
    {"all", kFilterAll}, {"init_and_data", kFilterInitAndData}, {"init_only", kFilterInitOnly}};

template <size_t N>
KeywordField Keywords(uint16_t JobOptions::*field, const Keyword (&words)[N]) {
  return KeywordField{field, words, N};
}

const OptionRow kOptionTable[] = {
    {"driver", TextField{&JobOptions::driver, JobOptions::kDriverLength}},
    {"slot", Number16{&JobOptions::slot}},
    {"cardsize", Number32{&JobOptions::cardsize}},
    {"prompt", Number16{&JobOptions::prompt}},
    {"logfile", TextField{&JobOptions::logfile, JobOptions::kFileNameLength}},
    {"optionfile", NestedFile{}},
    {"comment", TextField{&JobOptions::comment, JobOptions::kFileNameLength}},
    {"baudrate", Number32{&JobOptions::baudrate}},
    {"parameter", TextField{&JobOptions::parameter, JobOptions::kParameterLength}},
    {"protocol", Number32{&JobOptions::protocol}},
    {"timeout", Number16{&JobOptions::timeout}},
    {"memoryfull", Keywords(&JobOptions::memoryfull, kMemoryFullWords)},
    {"rtscontrol", Keywords(&JobOptions::rtscontrol, kRtsControlWords)},
    {"optionoutput", TextField{&JobOptions::optionoutput, JobOptions::kOutputNameLength}},
    {"commentoutput", TextField{&JobOptions::commentoutput, JobOptions::kOutputNameLength}},
    {"recordoutput", TextField{&JobOptions::recordoutput, JobOptions::kOutputNameLength}},
    {"format", Keywords(&JobOptions::format, kFormatWords)},
    {"filter", Keywords(&JobOptions::filter, kFilterWords)},
    {"reportoutput", TextField{&JobOptions::reportoutput, JobOptions::kOutputNameLength}},
    {"rescue", Number16{&JobOptions::rescue}},
};

constexpr const char* kHelpText =
    "Options may be given in an option file and/or as command line arguments.\n"
    "The program reads the options as follows:\n"
    "  (1) option file <exename>.ini in the directory where the EXE resides\n"
    "  (2) option file <exename>.ini in the current directory\n"
    "  (3) command line arguments (from left to right)\n"
    "\n"
    "OPTIONS:\n"
    "  driver=<driver name>     name of PC Card driver\n"
    "  slot=<slot number>       number of PC Card slot (normally 0)\n"
    "  cardsize=<cardsize>      number of sectors used (if zero, use all sectors)\n"
    "  prompt=<0|1>             show warning prompts\n"
    "  logfile=<filename>       name of logfile (NUL to suppress logfile)\n"
    "  optionfile=<filename>    name of file with additional options\n"
    "  reportoutput=<filename>  READCARD: name of read report of the record file\n"
    "  rescue=<0|1>             READCARD: skip damaged data sectors (1) or stop (0)\n";

// The job's own help switches, and "--help" as the system's programs take it.
constexpr const char* kHelpSwitches[] = {"help", "/?", "-?", "/h", "-h", "--help"};

// Reads an .ini file named after the program when it is there. A file that
// is there but does not open fails with the option file's own report.
bool ReadProgramIni(const std::string& path) {
  int status = PathStatus(path, true);
  if (status == ENOENT || status == ENOTDIR || status == ENAMETOOLONG) return true;
  return ReadOptionFile(path);
}

}  // namespace

JobOptions& Options() {
  static JobOptions options;
  return options;
}

void ResetJobOptions() {
  Options() = JobOptions{};
}

int JobArgumentCount(int argc, char** argv) {
  int count = 1;
  while (count < argc && !EndsArguments(argv[count])) ++count;
  return count;
}

bool ShowHelpIfAsked(char** argv) {
  if (argv == nullptr) return false;
  for (char** arg = argv + 1; !EndsArguments(*arg); ++arg) {
    std::string text(*arg);
    for (const char* help : kHelpSwitches) {
      if (SameWord(text, help)) {
        ConsoleOutText(kHelpText);
        return true;
      }
    }
  }
  return false;
}

bool SplitOption(const std::string& text, std::string& key, std::string& value) {
  size_t begin = 0;
  while (begin < text.size() && IsSeparator(text[begin])) ++begin;
  size_t separator = text.find_first_of("=~", begin);
  if (separator == std::string::npos || separator == begin) return false;
  key.assign(text, begin, separator - begin);
  // The value ends at the line end; a CR right before it belongs to the line end.
  size_t end = text.find('\n', separator + 1);
  if (end == std::string::npos) {
    end = text.size();
  } else if (end > separator + 1 && text[end - 1] == '\r') {
    --end;
  }
  value.assign(text, separator + 1, end - separator - 1);
  return true;
}

bool ApplyOption(const std::string& key, const std::string& value) {
  for (const OptionRow& row : kOptionTable) {
    if (!SameWord(key, row.key)) continue;
    JobOptions& options = Options();
    return std::visit(
        [&](const auto& target) -> bool {
          using T = std::decay_t<decltype(target)>;
          if constexpr (std::is_same_v<T, TextField>) {
            options.*target.field = value.substr(0, target.length);
            return true;
          } else if constexpr (std::is_same_v<T, Number16>) {
            options.*target.field = static_cast<uint16_t>(ParseOptionNumber(value));
            return true;
          } else if constexpr (std::is_same_v<T, Number32>) {
            options.*target.field = ParseOptionNumber(value);
            return true;
          } else if constexpr (std::is_same_v<T, KeywordField>) {
            for (size_t i = 0; i < target.count; ++i) {
              if (SameWord(value, target.words[i].word)) {
                options.*target.field = target.words[i].code;
                return true;
              }
            }
            return false;
          } else {
            return ReadOptionFile(value);
          }
        },
        row.target);
  }
  return false;
}

bool ReadJobOptions(char** argv) {
  if (argv == nullptr) return true;
  if (argv[0] != nullptr) {
    // The program's path splits into folder, name and extension; only '/'
    // separates folders.
    std::string program(argv[0]);
    size_t slash = program.rfind('/');
    size_t name_begin = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = program.rfind('.');
    size_t name_end = (dot == std::string::npos || dot < name_begin) ? program.size() : dot;
    std::string folder = program.substr(0, name_begin);
    std::string name = program.substr(name_begin, name_end - name_begin);
    if (!ReadProgramIni(folder + name + ".ini")) return false;
    if (!ReadProgramIni(name + ".ini")) return false;
  }
  for (char** arg = argv + 1; !EndsArguments(*arg); ++arg) {
    std::string text(*arg);
    std::string key;
    std::string value;
    if (!SplitOption(text, key, value)) {
      ReportMessage(msg::kInvalidOption, text.c_str());
      return false;
    }
    if (!ApplyOption(key, value)) {
      ReportText(key + "=" + value);
      return false;
    }
  }
  return true;
}

}  // namespace qb
