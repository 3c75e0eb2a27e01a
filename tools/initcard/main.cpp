// initcard: prepares a card for the recording device, on the console.
#include <cstdint>

#include "base/job_host.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "common/console_job_host.h"
#include "document/option_record_check.h"
#include "format/master_block.h"
#include "format/setting_codes.h"
#include "jobs/init_card.h"

namespace {

// The job, then a warning on standard error when the card it prepared
// records with a character format that has no parity: readcard reads such a
// card, but the application refuses the record file. The job's result stays.
int InitCardWithParityWarning(int argc, char** argv) {
  int result = qb::InitCardMain(argc, argv);
  qb::MasterBlock block;
  // The master image holds a master block only when the card was prepared.
  if (result == 0 && qb::DecodeMasterBlock(qb::MasterImage(), block)) {
    uint16_t known = 0;
    const char* format = qb::ParameterText(block.parameterCode);
    if (qb::ParameterCode(format, known) && !qb::ParityReadable(format[1]))
      qb::CurrentJobHost().ShowErrorBox(qb::FillMessage(qb::msg::kNoParityWarning, format));
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  return qb::RunConsoleJob(InitCardWithParityWarning, "INITCARD", argc, argv);
}
