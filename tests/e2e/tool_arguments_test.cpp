// How the programs take their arguments: "--name value", "--name=value",
// flags and plain words, and the one line each gives for a wrong one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

TEST(ToolArguments, WrongArgumentsGiveTheProgramsOwnLine) {
  struct Case {
    const char* program;
    std::vector<std::string> args;
    const char* first_line;  // of standard error; the exit status is 1
  } cases[] = {
      {"cardsim", {"blank", "--sectors"}, "cardsim: option --sectors needs a value"},
      {"cardsim",
       {"blank", "--sectors=x", "out.img"},
       "cardsim: option --sectors needs a number up to 4294967295, not \"x\""},
      {"cardsim",
       {"record", "--card=c.img", "--demo", "1", "--can=1"},
       "cardsim: unknown argument \"--can\" (see cardsim --help)"},
      {"cardsim", {"dump", "c.img"}, "cardsim: unknown argument \"c.img\" (see cardsim --help)"},
      {"cardsim", {"serial", "--card"}, "cardsim: option --card needs a value"},
      {"cardsim",
       {"serial", "--card", "c.img", "--pace=5"},
       "cardsim: option --pace needs a line rate from 10 to 100000000, not \"5\""},
      {"cardsim",
       {"serial", "--quiet"},
       "cardsim: unknown argument \"--quiet\" (see cardsim --help)"},
      {"carddriver", {"--name"}, "carddriver: option --name needs a value"},
      {"carddriver", {"--name=Q", "--slot=0"}, "carddriver: --slot wants K=PATH, not 0"},
      {"carddriver",
       {"--name", "Q", "--slot", "0=a", "--slot=0=b"},
       "carddriver: slot 0 given twice"},
      {"carddriver", {"--name=Q", "--slots=x", "--slot=0=a"}, "carddriver: bad number of slots: x"},
      {"carddriver", {"--name=Q", "--bogus=1"}, "carddriver: unknown option --bogus (see --help)"},
      {"carddriver", {"--slot", "0=a"}, "carddriver: --name is missing (see --help)"},
      {"qbd", {"info", "--from"}, "qbd: --from needs a number of 0 or more"},
      {"qbd", {"info", "--count", "-1", "f.qbd"}, "qbd: --count needs a number of 0 or more"},
      {"qbd", {"info", "--from=3", "f.qbd"}, "qbd: unknown option --from=3"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    std::string words = c.program;
    for (const std::string& arg : c.args) words += " " + arg;
    SCOPED_TRACE(words);
    test::ProgramResult result = test::RunProgram(c.program, c.args, dir.path(), dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.first_line);
  }
}

}  // namespace
}  // namespace qb
