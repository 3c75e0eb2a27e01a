// How the programs take their arguments: "--name value", "--name=value",
// flags and plain words, and the one line each gives for a wrong one;
// --help and --version beside the card jobs' own help switches.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

// The program and its arguments as one line, for the failure messages.
std::string CommandLine(const char* program, const std::vector<std::string>& args) {
  std::string words = program;
  for (const std::string& arg : args) words += " " + arg;
  return words;
}

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
    SCOPED_TRACE(CommandLine(c.program, c.args));
    test::ProgramResult result = test::RunProgram(c.program, c.args, dir.path(), dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.first_line);
  }
}

TEST(ToolArguments, HelpAndVersionAsLinuxProgramsGiveThem) {
  const std::string package = " (Quillbank Manager) " QB_PACKAGE_VERSION "\n";
  struct Case {
    const char* program;
    std::vector<std::string> args;
    std::string out;  // the start of standard output; the exit status is 0
  } cases[] = {
      {"readcard", {"--version"}, "READCARD V0.20\nreadcard" + package},
      {"initcard", {"prompt=0", "--version"}, "INITCARD V0.20\ninitcard" + package},
      {"qbd", {"--version"}, "qbd" + package},
      {"cardsim", {"--version"}, "cardsim" + package},
      {"carddriver", {"--version"}, "carddriver" + package},
      // The card jobs' help: "--help" beside their own switches.
      {"readcard", {"--help"}, "READCARD V0.20 (c) KDV GmbH\nOptions may be given"},
      {"initcard", {"--help"}, "INITCARD V0.20 (c) KDV GmbH\nOptions may be given"},
      {"readcard", {"help"}, "READCARD V0.20 (c) KDV GmbH\nOptions may be given"},
      {"initcard", {"/?"}, "INITCARD V0.20 (c) KDV GmbH\nOptions may be given"},
      {"qbd", {"--help"}, "usage: qbd info"},
      {"cardsim", {"--help"}, "usage: cardsim COMMAND"},
      {"carddriver", {"--help"}, "usage: carddriver --name"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(CommandLine(c.program, c.args));
    test::ProgramResult result = test::RunProgram(c.program, c.args, dir.path(), dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(result.err, "");
  }
}

TEST(ToolArguments, InitcardWarnsOfACharacterFormatWithoutParity) {
  test::TempDir dir;
  const std::string card = dir.File("card.img");
  ASSERT_EQ(test::RunProgram("cardsim", {"blank", "--sectors", "64", card}, dir.path()).status, 0);
  const std::string warning =
      "WARNING: the character format 8N1 has no parity. Quillbank Manager cannot load what is "
      "recorded with it: it reads character formats with E or O parity (7E1, 7E2, 8E1, 8E2, "
      "7O1, 7O2, 8O1, 8O2).\n";
  const struct {
    std::vector<std::string> args;
    std::string err;  // the exit status is 0
  } cases[] = {
      {{}, warning},  // 8N1 unless told otherwise
      {{"parameter=8n1"}, warning},
      {{"parameter=7e1"}, ""},
      {{"parameter=8O2"}, ""},
      {{"help"}, ""},  // no card prepared, nothing to warn of
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"driver=" + card, "prompt=0", "protocol=0x3685e294"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args.back());
    test::ProgramResult result = test::RunProgram("initcard", args, dir.path(), dir.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, c.err);
  }
}

TEST(ToolArguments, ApplicationWithoutADisplay) {
  if (access(test::ProgramPath("quillbank-manager").c_str(), X_OK) != 0)
    GTEST_SKIP() << "the application is not built";
  test::TempDir dir;
  test::ScopedEnv env;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.Set(name, nullptr);
  // --help needs no display; a start that would show windows says why it
  // cannot instead of aborting.
  test::ProgramResult result = test::RunProgram("quillbank-manager", {"--help"}, dir.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, 31), "usage: quillbank-manager [FILE.");
  const std::string file = dir.Write("log.qbd", "");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"/p", file}, {file}}) {
    SCOPED_TRACE(args.front());
    result = test::RunProgram("quillbank-manager", args, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.substr(0, 49), "quillbank-manager: no display to show its windows");
  }
}

}  // namespace
}  // namespace qb
