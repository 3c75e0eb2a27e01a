// initcard: prepares a card for the recording device, on the console.
#include "common/console_job_host.h"
#include "jobs/init_card.h"

int main(int argc, char** argv) {
  return qb::RunConsoleJob(qb::InitCardMain, argc, argv);
}
