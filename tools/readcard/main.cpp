// readcard: reads a card into a record file, on the console.
#include "common/console_job_host.h"
#include "jobs/read_card.h"

int main(int argc, char** argv) {
  return qb::RunConsoleJob(qb::ReadCardMain, "READCARD", argc, argv);
}
