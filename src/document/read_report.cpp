#include "document/read_report.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/json_text.h"
#include "base/json_value.h"
#include "base/messages.h"
#include "base/software_signature.h"
#include "base/text_format.h"
#include "format/option_text.h"
#include "platform/safe_output_file.h"

namespace qb {
namespace {

constexpr char kFormatName[] = "quillbank-read-report/1";

// The settings of the option text, in its order.
constexpr const char* kSettingKeys[] = {"cardsize", "baudrate",   "parameter", "protocol",
                                        "timeout",  "memoryfull", "rtscontrol"};

const char* AnswerText(Answer answer) {
  switch (answer) {
    case Answer::kNo:
      return "no";
    case Answer::kYes:
      return "yes";
    default:
      return "unknown";
  }
}

bool ParseAnswer(const std::string& text, Answer& answer) {
  if (text == "no") {
    answer = Answer::kNo;
  } else if (text == "yes") {
    answer = Answer::kYes;
  } else if (text == "unknown") {
    answer = Answer::kUnknown;
  } else {
    return false;
  }
  return true;
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <typename T>
std::vector<T> Listed(const std::vector<T>& list) {
  return list.size() <= ReadReport::kMaxListed
             ? list
             : std::vector<T>(list.begin(), list.begin() + ReadReport::kMaxListed);
}

// Writes the report's JSON with two blanks of indent per level.
class JsonWriter {
 public:
  // The text so far: an object is open at the outset.
  std::string text = "{";

  void Open(const char* name, char bracket) {
    Key(name);
    text += bracket;
    first_ = true;
    ++depth_;
  }
  void Close(char bracket) {
    --depth_;
    if (!first_) NewLine();
    text += bracket;
    first_ = false;
  }
  void String(const char* name, const std::string& value) { Raw(name, JsonString(value)); }
  void Number(const char* name, uint64_t value) { Raw(name, std::to_string(value)); }
  void Bool(const char* name, bool value) { Raw(name, value ? "true" : "false"); }
  void Null(const char* name) { Raw(name, "null"); }
  // An array of numbers on one line.
  void Numbers(const char* name, const std::vector<uint32_t>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) {
      if (i > 0) list += ", ";
      list += std::to_string(values[i]);
    }
    Raw(name, list + "]");
  }
  // An object on one line: the members given as name and number.
  void Row(std::initializer_list<std::pair<const char*, uint64_t>> members) {
    std::string row = "{";
    bool first = true;
    for (const auto& member : members) {
      if (!first) row += ", ";
      first = false;
      row += JsonString(member.first) + ": " + std::to_string(member.second);
    }
    Raw(nullptr, row + "}");
  }

 private:
  int depth_ = 1;
  bool first_ = true;

  void NewLine() {
    text += '\n';
    text.append(static_cast<size_t>(depth_) * 2, ' ');
  }
  void Key(const char* name) {
    if (depth_ > 0) {
      if (!first_) text += ',';
      NewLine();
    }
    first_ = false;
    if (name != nullptr) text += JsonString(name) + ": ";
  }
  void Raw(const char* name, const std::string& value) {
    Key(name);
    text += value;
  }
};

// Reads the members of a report object by name, noting the first that is
// there but of the wrong form.
class ReportReader {
 public:
  explicit ReportReader(std::string& problem) : problem_(problem) {}

  bool Fail(const std::string& name, const char* what) {
    if (problem_.empty()) problem_ = "\"" + name + "\" " + what;
    return false;
  }
  bool ok() const { return problem_.empty(); }

  const JsonValue* Object(const JsonValue& in, const char* name, bool required) {
    const JsonValue* value = in.Member(name);
    if (value == nullptr) {
      if (required) Fail(name, "is missing");
      return nullptr;
    }
    if (value->type() != JsonValue::Type::kObject) {
      Fail(name, "is not an object");
      return nullptr;
    }
    return value;
  }
  void Text(const JsonValue& in, const char* name, std::string& out, bool required = false) {
    const JsonValue* value = in.Member(name);
    if (value == nullptr) {
      if (required) Fail(name, "is missing");
      return;
    }
    if (!value->GetBytes(out)) Fail(name, "is not a text");
  }
  void Number(const JsonValue& in, const char* name, uint64_t& out, bool required = false) {
    const JsonValue* value = in.Member(name);
    if (value == nullptr) {
      if (required) Fail(name, "is missing");
      return;
    }
    if (!value->GetUnsigned(out)) Fail(name, "is not a whole number");
  }
  void Flag(const JsonValue& in, const char* name, bool& out) {
    const JsonValue* value = in.Member(name);
    if (value != nullptr && !value->GetBool(out)) Fail(name, "is not true or false");
  }
  void YesNo(const JsonValue& in, const char* name, Answer& out) {
    const JsonValue* value = in.Member(name);
    std::string text;
    if (value != nullptr && (!value->GetString(text) || !ParseAnswer(text, out)))
      Fail(name, "is not yes, no or unknown");
  }
  // A number that must fit 32 bits.
  bool Small(const JsonValue& in, const char* name, uint32_t& out) {
    uint64_t value = 0;
    Number(in, name, value, true);
    if (value > UINT32_MAX) return Fail(name, "is too large");
    out = static_cast<uint32_t>(value);
    return ok();
  }
  // An array member, each entry read by `read`, at most kMaxListed.
  template <typename Read>
  void List(const JsonValue& in, const char* name, Read read) {
    const JsonValue* value = in.Member(name);
    if (value == nullptr) return;
    if (value->type() != JsonValue::Type::kArray) {
      Fail(name, "is not a list");
      return;
    }
    if (value->items().size() > ReadReport::kMaxListed) {
      Fail(name, "lists too many entries");
      return;
    }
    for (const JsonValue& item : value->items()) {
      if (!read(item)) {
        Fail(name, "holds an entry of the wrong form");
        return;
      }
    }
  }

 private:
  std::string& problem_;
};

bool IsDigest(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::string ReadReportPath(const std::string& record_path) {
  return record_path + ".report.json";
}

ReadReport MakeReadReport(const std::string& file_name, const RecordFileScan& scan) {
  const RecordingFacts& facts = scan.facts;
  ReadReport report;
  report.fileName = FileNameOf(file_name);
  report.fileSize = scan.size;
  report.sha256 = scan.sha256;
  report.cardIdKnown = facts.haveComment && facts.commentValid;
  if (report.cardIdKnown) report.cardId = facts.comment;
  if (facts.optionValid) {
    const auto* text = reinterpret_cast<const uint8_t*>(facts.optionText.data());
    const size_t size = facts.optionText.size();
    OptionTextLine(text, size, "# master number: ", report.masterNumber);
    OptionTextLine(text, size, "# read date: ", report.readDate);
    for (const char* key : kSettingKeys) {
      std::string value;
      if (OptionTextLine(text, size, (std::string(key) + "=").c_str(), value))
        report.settings.emplace_back(key, value);
    }
  }
  report.program = LoadMessage(msg::kAppName);
  report.version = LoadMessage(msg::kVersion);
  const unsigned signature = SoftwareSignature();
  report.softwareSignature = FormatText("%u.%04X", signature, signature);
  report.records = facts.RecordsBeforeEnd();
  report.lines = facts.lines;
  report.sessionCount = facts.sessionCount;
  report.sessions = Listed(facts.sessions);
  report.linesBeforeFirstSession = facts.linesBeforeFirstSession;
  report.overwritten = facts.overwritten;
  report.cardFull = facts.cardFull;
  report.rescue = facts.rescue;
  report.gapCount = facts.gapCount;
  report.missingRecords = facts.missingRecords;
  report.gaps = Listed(facts.gaps);
  report.skippedCount = facts.skippedCount;
  report.skippedSectors = facts.skippedSectors;
  report.skipped = Listed(facts.skipped);
  report.manipulated = facts.manipulated;
  report.manipulatedLineCount = facts.manipulatedLineCount;
  report.manipulatedLines = Listed(facts.manipulatedLines);
  report.firstPrinted = facts.firstPrinted;
  report.lastPrinted = facts.lastPrinted;
  return report;
}

std::string ReadReportJson(const ReadReport& report) {
  JsonWriter out;
  out.String("format", kFormatName);
  out.Open("recordFile", '{');
  out.String("name", report.fileName);
  out.Number("size", report.fileSize);
  out.String("sha256", report.sha256);
  out.Close('}');
  out.Open("card", '{');
  if (report.cardIdKnown) {
    out.String("id", report.cardId);
  } else {
    out.Null("id");
  }
  out.String("masterNumber", report.masterNumber);
  out.String("readDate", report.readDate);
  out.Open("settings", '{');
  for (const auto& setting : report.settings) out.String(setting.first.c_str(), setting.second);
  out.Close('}');
  out.Close('}');
  out.Open("program", '{');
  out.String("name", report.program);
  out.String("version", report.version);
  out.String("softwareSignature", report.softwareSignature);
  out.Close('}');
  out.Open("recording", '{');
  out.Number("records", report.records);
  out.Number("lines", report.lines);
  out.Number("sessions", report.sessionCount);
  out.Number("linesBeforeFirstSession", report.linesBeforeFirstSession);
  out.Open("sessionList", '[');
  for (const RecordingSession& session : report.sessions)
    out.Row({{"startRecord", session.startRecord},
             {"firstLine", session.firstLine},
             {"lines", session.lines}});
  out.Close(']');
  out.String("overwritten", AnswerText(report.overwritten));
  out.String("cardFull", AnswerText(report.cardFull));
  out.Bool("rescue", report.rescue);
  out.Number("gaps", report.gapCount);
  out.Number("missingRecords", report.missingRecords);
  out.Open("gapList", '[');
  for (const RecordGap& gap : report.gaps)
    out.Row({{"beforeLine", gap.beforeLine},
             {"firstMissing", gap.firstMissing},
             {"missing", gap.missing}});
  out.Close(']');
  out.Number("skippedGaps", report.skippedCount);
  out.Number("skippedSectors", report.skippedSectors);
  out.Open("skippedList", '[');
  for (const SkippedSectors& skipped : report.skipped)
    out.Row({{"beforeLine", skipped.beforeLine},
             {"firstSector", skipped.firstSector},
             {"sectors", skipped.sectors}});
  out.Close(']');
  out.Number("manipulatedRecords", report.manipulated);
  out.Number("manipulatedLines", report.manipulatedLineCount);
  out.Numbers("manipulatedLineList", report.manipulatedLines);
  out.String("firstPrinted", report.firstPrinted);
  out.String("lastPrinted", report.lastPrinted);
  out.Close('}');
  out.Close('}');
  return out.text + "\n";
}

bool ParseReadReport(const std::string& text, ReadReport& report, std::string& problem) {
  report = ReadReport();
  problem.clear();
  JsonValue root;
  std::string why;
  if (!JsonValue::Parse(text, root, why)) {
    problem = "not JSON (" + why + ")";
    return false;
  }
  std::string format;
  const JsonValue* format_value = root.Member("format");
  if (root.type() != JsonValue::Type::kObject || format_value == nullptr ||
      !format_value->GetString(format) || format != kFormatName) {
    problem = "not a read report";
    return false;
  }
  ReportReader in(problem);
  if (const JsonValue* file = in.Object(root, "recordFile", true)) {
    in.Text(*file, "name", report.fileName, true);
    in.Number(*file, "size", report.fileSize, true);
    in.Text(*file, "sha256", report.sha256, true);
    if (in.ok() && !IsDigest(report.sha256)) in.Fail("sha256", "is not a SHA-256");
  }
  if (const JsonValue* card = in.Object(root, "card", false)) {
    const JsonValue* id = card->Member("id");
    report.cardIdKnown = id != nullptr && !id->IsNull();
    if (report.cardIdKnown) in.Text(*card, "id", report.cardId);
    in.Text(*card, "masterNumber", report.masterNumber);
    in.Text(*card, "readDate", report.readDate);
    if (const JsonValue* settings = in.Object(*card, "settings", false)) {
      for (const auto& member : settings->members()) {
        std::string key;
        std::string value;
        if (!JsonValue::TextToBytes(member.first, key) || !member.second.GetBytes(value)) {
          in.Fail("settings", "holds an entry of the wrong form");
          break;
        }
        if (report.settings.size() < ReadReport::kMaxListed)
          report.settings.emplace_back(key, value);
      }
    }
  }
  if (const JsonValue* program = in.Object(root, "program", false)) {
    in.Text(*program, "name", report.program);
    in.Text(*program, "version", report.version);
    in.Text(*program, "softwareSignature", report.softwareSignature);
  }
  if (const JsonValue* recording = in.Object(root, "recording", false)) {
    const JsonValue& r = *recording;
    in.Number(r, "records", report.records);
    in.Number(r, "lines", report.lines);
    in.Number(r, "sessions", report.sessionCount);
    in.Number(r, "linesBeforeFirstSession", report.linesBeforeFirstSession);
    in.List(r, "sessionList", [&](const JsonValue& item) {
      RecordingSession session;
      std::string ignored;
      ReportReader entry(ignored);
      bool ok = entry.Small(item, "startRecord", session.startRecord) &&
                entry.Small(item, "firstLine", session.firstLine) &&
                entry.Small(item, "lines", session.lines);
      if (ok) report.sessions.push_back(session);
      return ok;
    });
    in.YesNo(r, "overwritten", report.overwritten);
    in.YesNo(r, "cardFull", report.cardFull);
    in.Flag(r, "rescue", report.rescue);
    in.Number(r, "gaps", report.gapCount);
    in.Number(r, "missingRecords", report.missingRecords);
    in.List(r, "gapList", [&](const JsonValue& item) {
      RecordGap gap;
      std::string ignored;
      ReportReader entry(ignored);
      bool ok = entry.Small(item, "beforeLine", gap.beforeLine) &&
                entry.Small(item, "firstMissing", gap.firstMissing) &&
                entry.Small(item, "missing", gap.missing);
      if (ok) report.gaps.push_back(gap);
      return ok;
    });
    in.Number(r, "skippedGaps", report.skippedCount);
    in.Number(r, "skippedSectors", report.skippedSectors);
    in.List(r, "skippedList", [&](const JsonValue& item) {
      SkippedSectors skipped;
      std::string ignored;
      ReportReader entry(ignored);
      bool ok = entry.Small(item, "beforeLine", skipped.beforeLine) &&
                entry.Small(item, "firstSector", skipped.firstSector) &&
                entry.Small(item, "sectors", skipped.sectors);
      if (ok) report.skipped.push_back(skipped);
      return ok;
    });
    in.Number(r, "manipulatedRecords", report.manipulated);
    in.Number(r, "manipulatedLines", report.manipulatedLineCount);
    in.List(r, "manipulatedLineList", [&](const JsonValue& item) {
      uint64_t line = 0;
      if (!item.GetUnsigned(line) || line > UINT32_MAX) return false;
      report.manipulatedLines.push_back(static_cast<uint32_t>(line));
      return true;
    });
    in.Text(r, "firstPrinted", report.firstPrinted);
    in.Text(r, "lastPrinted", report.lastPrinted);
  }
  if (!in.ok()) {
    report = ReadReport();
    return false;
  }
  return true;
}

int ReadReportFile(const std::string& path, std::string& text) {
  text.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return errno != 0 ? errno : EIO;
  char piece[65536];
  size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file.get())) > 0) {
    if (text.size() + got > kMaxReadReportSize) {
      text.clear();
      return EFBIG;
    }
    text.append(piece, got);
  }
  if (std::ferror(file.get())) {
    // A folder opens on some systems and fails at the first read.
    int error = errno != 0 ? errno : EIO;
    text.clear();
    return error;
  }
  return 0;
}

int MakeReadReportText(const std::string& record_path, std::string& text) {
  RecordFileScan scan;
  int error = ScanRecordFile(record_path, scan);
  if (error != 0) return error;
  text = ReadReportJson(MakeReadReport(record_path, scan));
  return 0;
}

int WriteReadReport(const std::string& record_path, const std::string& report_path) {
  std::string text;
  int error = MakeReadReportText(record_path, text);
  if (error != 0) return error;
  SafeOutputFile file;
  error = file.Open(report_path);
  if (error != 0) return error;
  if (!file.Write(text.data(), text.size())) {
    error = errno != 0 ? errno : EIO;
    file.Discard();
    return error;
  }
  return file.Commit();
}

}  // namespace qb
