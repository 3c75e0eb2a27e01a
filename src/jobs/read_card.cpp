#include "jobs/read_card.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "cardio/sector_device.h"
#include "document/read_report.h"
#include "format/setting_codes.h"
#include "jobs/card_reader.h"
#include "jobs/focus_search.h"
#include "jobs/job_banner.h"
#include "jobs/job_options.h"
#include "jobs/output_file.h"

namespace qb {
namespace {

constexpr const char* kJobName = "READCARD";

// Writes bytes to a new output file; false when it cannot be created or
// written (a file that was not written whole says which one it was).
bool WriteWholeFile(const std::string& path, bool binary, const uint8_t* bytes, size_t count) {
  std::shared_ptr<SafeOutputFile> file = OpenOutputFile(path, binary);
  if (!file) return false;
  if (WriteOutput(*file, bytes, count) && CloseOutputFile(*file)) return true;
  file->Discard();
  ReportMessage(msg::kCreatingOutput, path.c_str());
  return false;
}

bool OpenCard() {
  const JobOptions& options = Options();
  ReadState().readTime = std::time(nullptr);
  ReadState().watchBreak = false;
  return OpenSectorDevice(options.driver, options.slot, options.cardsize);
}

// Writes the read report of the record file just written.
bool WriteReport() {
  const JobOptions& options = Options();
  std::string text;
  int error = MakeReadReportText(options.recordoutput, text);
  if (error == 0) {
    if (!WriteWholeFile(options.reportoutput, true, reinterpret_cast<const uint8_t*>(text.data()),
                        text.size()))
      return false;
    LogMessage(msg::kReportWritten, options.reportoutput.c_str());
    return true;
  }
  SetSystemError(error);
  ReportMessage(msg::kWritingReport, options.reportoutput.c_str());
  return false;
}

void CopyText(char (&field)[80], const char* text) {
  (void)std::snprintf(field, sizeof field, "%s", text);
}

}  // namespace

int ReadCardMain(int, char** argv) {
  int start = StartCardJob(kJobName, argv, CheckOutputsSpareCard);
  if (start != kJobContinues) return start;
  const JobOptions& options = Options();
  if (!OpenCard()) return 1;

  const CardReadState& state = ReadState();
  if (!ReadMasterSector()) return 1;
  if (!options.optionoutput.empty()) {
    if (!WriteWholeFile(options.optionoutput, false, RecordData(), state.length)) return 1;
    LogMessage(msg::kMasterWritten, static_cast<unsigned long>(state.master),
               options.optionoutput.c_str());
  }
  if (!ReadComment()) return 1;
  if (!options.commentoutput.empty()) {
    if (!WriteWholeFile(options.commentoutput, true, RecordData(), state.length)) return 1;
    LogMessage(msg::kCommentWritten, static_cast<unsigned>(state.length),
               options.commentoutput.c_str());
  }
  if (!WriteRecordFile()) return 1;
  if (!options.reportoutput.empty() && !WriteReport()) return 1;
  return 0;
}

bool ReadCardIsEmpty(char** argv) {
  if (!ReadJobOptions(argv) || !OpenCard()) return true;
  if (!ReadMasterSector() || !ReadComment() || !FocusSearch()) return true;
  const CardReadState& state = ReadState();
  return state.start == state.first && state.f0 == state.first && state.f1 == state.first + 1 &&
         state.select == 0 && state.fill == 4;
}

bool ReadCardInfo(char** argv, CardInfo& info) {
  info = CardInfo{};
  if (!ReadJobOptions(argv) || !OpenCard() || !ReadMasterSector()) return false;
  const MasterBlock& block = ReadState().block;
  info.master = block.master;
  info.sectors = block.sectors;
  info.baudrate = block.baudrate;
  CopyText(info.parameter, ParameterText(block.parameterCode));
  info.protocol = ProtocolValue(block.protocolCode);
  info.timeout = block.timeout;
  CopyText(info.memoryfull, MemoryFullKeyword(block.flags));
  CopyText(info.rtscontrol, RtsControlKeyword(block.flags));
  if (!ReadComment()) return false;
  const uint8_t* comment = RecordData();
  size_t count =
      ReadState().length < sizeof info.comment - 1 ? ReadState().length : sizeof info.comment - 1;
  for (size_t i = 0; i < count && comment[i] != 0; ++i)
    info.comment[i] = static_cast<char>(comment[i]);
  return true;
}

}  // namespace qb
