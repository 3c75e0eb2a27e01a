// Writes the test printouts into a folder, to record them and look at them:
// for each, NAME.raw (its framed transmissions, for cardsim record
// --from-raw) and NAME.txt (what qbd text gives for it).
//
//   make_test_printouts FOLDER
#include <cstdio>
#include <fstream>
#include <string>

#include "support/test_printouts.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_test_printouts FOLDER\n");
    return 1;
  }
  const std::string folder = argv[1];
  for (const qb::test::TestPrintout& printout : qb::test::TestPrintouts()) {
    std::ofstream raw(folder + "/" + printout.name + ".raw", std::ios::binary);
    raw << qb::test::FrameForRecording(printout.bytes);
    std::ofstream text(folder + "/" + printout.name + ".txt", std::ios::binary);
    text << printout.text;
    if (!raw || !text) {
      std::perror(folder.c_str());
      return 1;
    }
    std::printf("%s%s%s\n", printout.name.c_str(),
                printout.codepage.empty() ? "" : ("  --codepage " + printout.codepage).c_str(),
                printout.twentyFourPin ? "  --pins 24" : "");
  }
  return 0;
}
