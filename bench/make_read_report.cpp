// Writes the read report beside each record file named, as Card Read does,
// for the verification benchmark's folder of recordings.
//
//   make_read_report FILE.qbd...
#include <cstdio>
#include <cstring>

#include "document/read_report.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_read_report FILE.qbd...\n");
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    int error = qb::WriteReadReport(argv[i], qb::ReadReportPath(argv[i]));
    if (error != 0) {
      std::fprintf(stderr, "make_read_report: %s: %s\n", argv[i], std::strerror(error));
      return 1;
    }
  }
  return 0;
}
