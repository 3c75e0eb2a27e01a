// Any bytes as a card image read through the raw drive: READCARD into a
// record file, the emptiness check and the card information the application
// asks for. Now and then every sector gets its right checksum first, so that
// changed headers, master fields and records reach the code behind the
// checksum test.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_args.h"
#include "base/job_host.h"
#include "base/job_runner.h"
#include "format/sector.h"
#include "fuzz_input_file.h"
#include "jobs/job_options.h"
#include "jobs/read_card.h"
#include "quiet_host.h"

namespace {

// Shows nothing and has no keys.
using qb::fuzz::QuietHost;

qb::JobArgs Args(const std::vector<std::string>& options) {
  qb::JobArgs args;
  args.Set(0, "READCARD.EXE");
  for (size_t i = 0; i < options.size(); ++i) args.Set(static_cast<int>(i) + 1, options[i]);
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const qb::fuzz::MemoryFile card("card_image_fuzz");
  static const qb::fuzz::MemoryFile out("card_image_fuzz_out");
  uint8_t pattern = size > 0 ? data[size - 1] : 0;
  std::vector<uint8_t> image(data, data + size);
  if (pattern & 0x01) {
    for (size_t at = 0; at + qb::kSectorSize <= image.size(); at += qb::kSectorSize) {
      qb::SectorHeader header = qb::ReadSectorHeader(image.data() + at);
      qb::SealSector(image.data() + at, header.master, header.sequence);
    }
  }
  if (!card.Write(image.data(), image.size()) || !out.Write(nullptr, 0)) return 0;

  QuietHost host;
  qb::ScopedJobHost scoped(&host);
  const std::string driver = "driver=" + card.path();
  const char* format = (pattern & 0x02) ? "format=ascii" : "format=binary";
  qb::JobArgs read =
      Args({driver, "prompt=0", "logfile=NUL", format, "recordoutput=" + out.path()});
  qb::RunJob(qb::ReadCardMain, read);

  qb::JobArgs check = Args({driver});
  qb::ReadCardIsEmpty(qb::BeginCardCheck(check));
  qb::EndCardCheck(check);
  qb::CardInfo info;
  qb::JobArgs ask = Args({driver});
  if (qb::ReadCardInfo(qb::BeginCardCheck(ask), info)) {
    // Texts from the card are zero-terminated within their fields.
    for (const char* text : {info.parameter, info.memoryfull, info.rtscontrol, info.comment})
      if (std::string(text, sizeof info.comment).find('\0') == std::string::npos) __builtin_trap();
  }
  qb::EndCardCheck(ask);
  qb::ResetJobOptions();
  qb::ClearErrors();
  return 0;
}
