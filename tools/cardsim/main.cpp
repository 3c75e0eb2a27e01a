// cardsim: the recording device, simulated on a card image. It writes what
// an instrument printed onto a prepared card exactly as the device would,
// and can put the faults of a failing device or card onto it for tests.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/out_of_memory.h"
#include "cardsim/card_dump.h"
#include "cardsim/card_faults.h"
#include "cardsim/card_image.h"
#include "cardsim/demo_printouts.h"
#include "cardsim/recording.h"
#include "cardsim/serial_service.h"
#include "cardsim/transmissions.h"
#include "common/command_line.h"
#include "common/program_version.h"

namespace qb::cardsim {
namespace {

const char kUsage[] =
    "usage: cardsim COMMAND [OPTIONS]\n"
    "The recording device, simulated on a card image of 512-byte sectors.\n"
    "\n"
    "cardsim blank --sectors N OUT\n"
    "    Create (or overwrite) OUT as a blank card of N sectors, every byte 0xFF.\n"
    "\n"
    "cardsim record --card IMG (--from FILE | --from-raw FILE | --demo N) [OPTIONS]\n"
    "    Record onto a prepared card, continuing where the device left off: a\n"
    "    \"(start)\" control record, then one data record per transmission.\n"
    "    --from FILE      a text file with one transmission per line (ended by LF;\n"
    "                     a CR before the LF is dropped), each framed here as STX,\n"
    "                     [CAN,] the text, ETX and the block check. Escapes in the\n"
    "                     text: \\\\ \\e (ESC) \\f (FF) \\a (BEL) \\t \\r \\n \\xHH (any byte).\n"
    "                     A printed line ends with \\r\\n, as instruments send it.\n"
    "    --from-raw FILE  bytes as they came over the line, already framed; each\n"
    "                     transmission ends with the byte after the first ETX that\n"
    "                     follows an STX, and every byte of the file is recorded.\n"
    "    --demo N         N printouts of laboratory instruments, a transmission\n"
    "                     per printed line, ended by CR LF as instruments send it.\n"
    "    --seed S         the demo series (default 1): the same seed, the same bytes.\n"
    "    --can            frame with CAN after STX (--from, --demo).\n"
    "    --fill-last      linear card: write its last sector too, as a faulty device.\n"
    "    --quiet          no summary line on standard output.\n"
    "    Faults, put onto the card after recording (in this order):\n"
    "    --alt-copy       an alternative copy of the newest sector in the next one.\n"
    "    --foreign-master SECTOR  rewrite SECTOR with another master number.\n"
    "    --bad-length SECTOR      give the first record of SECTOR the length 501.\n"
    "    --damage SECTOR          spoil the checksum of SECTOR.\n"
    "    (The SECTOR options may be given more than once.)\n"
    "    A transmission longer than 500 bytes becomes several data records of at\n"
    "    most 500 bytes. A linear card is full when the next sector would be its\n"
    "    last: the rest is dropped, \"card full\" is reported on standard error, and\n"
    "    the exit status is still 0. An input file is checked in full before the\n"
    "    card is touched. The summary line says what was recorded:\n"
    "    transmissions, dropped, records, new sectors, newest sector, its sequence\n"
    "    number and fill level, the sector a reader starts from, wrapped and full.\n"
    "\n"
    "cardsim dump --card IMG\n"
    "    Print the master sector, the comment and the records of each data sector.\n"
    "\n"
    "cardsim --help | --version\n"
    "    Show this text, or the version.\n"
    "\n"
    "Exit status: 0 on success, 1 on any error (one line on standard error).\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "cardsim: %s\n", message.c_str());
  return 1;
}

// A whole-text unsigned number, decimal or with 0x hexadecimal, up to `max`.
bool ParseNumber(const std::string& text, uint64_t max, uint64_t& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  auto [stop, problem] = std::from_chars(begin, end, value, hex ? 16 : 10);
  return begin != end && problem == std::errc() && stop == end && value <= max;
}

// A command's arguments, with cardsim's numbers.
class Arguments : public tools::CommandLine {
 public:
  using CommandLine::CommandLine;

  bool Number(uint64_t max, uint64_t& number, std::string& error) {
    std::string text;
    if (!Value(text, error)) return false;
    if (ParseNumber(text, max, number)) return true;
    error = "option " + name() + " needs a number up to " + std::to_string(max) + ", not \"" +
            text + "\"";
    return false;
  }
};

std::string Unknown(const std::string& arg) {
  return "unknown argument \"" + arg + "\" (see cardsim --help)";
}

int Blank(Arguments& args) {
  uint64_t sectors = 0;
  std::string out, error;
  bool haveSectors = false;
  while (!args.Done()) {
    args.Step();
    if (args.name() == "--sectors") {
      if (!args.Number(0xFFFFFFFFu, sectors, error)) return Fail(error);
      haveSectors = true;
    } else if (args.name().rfind("--", 0) != 0 && out.empty()) {
      out = args.name();
    } else {
      return Fail(Unknown(args.name()));
    }
  }
  if (!haveSectors || out.empty()) return Fail("blank needs --sectors N and an output file");
  if (sectors == 0) return Fail("a card has at least one sector");
  if (!CreateBlankImage(out, sectors, error)) return Fail(error);
  return 0;
}

struct RecordCommand {
  std::string card;
  std::string from;
  std::string fromRaw;
  bool demo = false;
  uint64_t printouts = 0;
  uint64_t seed = 1;
  bool can = false;
  bool quiet = false;
  bool altCopy = false;
  RecordOptions options;
  std::vector<uint32_t> foreign, badLength, damage;
};

bool ParseRecord(Arguments& args, RecordCommand& command, std::string& error) {
  uint64_t number = 0;
  while (!args.Done()) {
    args.Step();
    const std::string& name = args.name();
    const bool flag = args.IsFlag();
    if (name == "--card") {
      if (!args.Value(command.card, error)) return false;
    } else if (name == "--from") {
      if (!args.Value(command.from, error)) return false;
    } else if (name == "--from-raw") {
      if (!args.Value(command.fromRaw, error)) return false;
    } else if (name == "--demo") {
      if (!args.Number(UINT64_MAX, command.printouts, error)) return false;
      command.demo = true;
    } else if (name == "--seed") {
      if (!args.Number(UINT64_MAX, command.seed, error)) return false;
    } else if (name == "--foreign-master" || name == "--bad-length" || name == "--damage") {
      if (!args.Number(0xFFFFFFFFu, number, error)) return false;
      (name == "--damage"       ? command.damage
       : name == "--bad-length" ? command.badLength
                                : command.foreign)
          .push_back(static_cast<uint32_t>(number));
    } else if (flag && name == "--can") {
      command.can = true;
    } else if (flag && name == "--quiet") {
      command.quiet = true;
    } else if (flag && name == "--alt-copy") {
      command.altCopy = true;
    } else if (flag && name == "--fill-last") {
      command.options.fillLast = true;
    } else {
      error = Unknown(name);
      return false;
    }
  }
  if (command.card.empty()) {
    error = "record needs --card IMG";
    return false;
  }
  if (!command.from.empty() + !command.fromRaw.empty() + command.demo != 1) {
    error = "record needs exactly one of --from FILE, --from-raw FILE and --demo N";
    return false;
  }
  if (command.can && !command.fromRaw.empty()) {
    error = "--can does not apply to --from-raw (its transmissions are framed already)";
    return false;
  }
  return true;
}

int Record(Arguments& args) {
  RecordCommand command;
  std::string error;
  if (!ParseRecord(args, command, error)) return Fail(error);

  auto openSource = [&command](std::string& error) -> std::unique_ptr<TransmissionSource> {
    if (command.demo)
      return std::make_unique<DemoSource>(command.printouts, command.seed, command.can);
    if (!command.from.empty()) {
      auto lines = std::make_unique<LineFileSource>();
      if (lines->Open(command.from, command.can)) return lines;
      error = lines->error();
      return nullptr;
    }
    auto raw = std::make_unique<RawFileSource>();
    if (raw->Open(command.fromRaw)) return raw;
    error = raw->error();
    return nullptr;
  };
  // An input file is read through once before the card is touched, so that
  // a bad line leaves the card as it was.
  if (!command.demo) {
    std::unique_ptr<TransmissionSource> check = openSource(error);
    if (!check) return Fail(error);
    std::vector<uint8_t> transmission;
    while (check->Next(transmission)) {
    }
    if (!check->error().empty()) return Fail(check->error());
  }
  std::unique_ptr<TransmissionSource> source = openSource(error);
  if (!source) return Fail(error);

  FileCardImage image;
  if (!image.Open(command.card, true)) return Fail(image.error());
  RecordReport report;
  if (!RecordSession(image, *source, command.options, report, error)) return Fail(error);

  const CardLayout& layout = report.layout;
  if (command.altCopy && !WriteAlternateCopy(image, layout, report.newest, error))
    return Fail(error);
  for (uint32_t sector : command.foreign)
    if (!ForeignMasterSector(image, layout, sector, error)) return Fail(error);
  for (uint32_t sector : command.badLength)
    if (!BadLengthSector(image, layout, sector, error)) return Fail(error);
  for (uint32_t sector : command.damage)
    if (!DamageSector(image, layout, sector, error)) return Fail(error);
  if (!image.Close()) return Fail(image.error());

  if (report.full)
    std::fprintf(stderr, "cardsim: card full: %lu transmission(s) dropped\n",
                 static_cast<unsigned long>(report.dropped));
  if (!command.quiet)
    std::printf(
        "transmissions=%lu dropped=%lu records=%lu sectors=%lu newest=%lu sequence=%lu "
        "fill=%lu start=%lu wrapped=%d full=%d\n",
        static_cast<unsigned long>(report.transmissions),
        static_cast<unsigned long>(report.dropped), static_cast<unsigned long>(report.records),
        static_cast<unsigned long>(report.sectors), static_cast<unsigned long>(report.newest),
        static_cast<unsigned long>(report.sequence), static_cast<unsigned long>(report.fill),
        static_cast<unsigned long>(report.start), report.wrapped ? 1 : 0, report.full ? 1 : 0);
  return 0;
}

int Dump(Arguments& args) {
  std::string card, error;
  while (!args.Done()) {
    args.Step();
    if (args.name() == "--card") {
      if (!args.Value(card, error)) return Fail(error);
    } else {
      return Fail(Unknown(args.name()));
    }
  }
  if (card.empty()) return Fail("dump needs --card IMG");
  FileCardImage image;
  if (!image.Open(card, false)) return Fail(image.error());
  if (!DumpCard(image, stdout, error)) return Fail(error);
  if (std::fflush(stdout) != 0) return Fail("cannot write the account");
  return 0;
}

struct Command {
  const char* name;
  int (*run)(Arguments& args);
};

const Command kCommands[] = {
    {"blank", Blank},
    {"record", Record},
    {"dump", Dump},
};

int Main(int argc, char** argv) {
  if (argc < 2) return Fail("no command given (see cardsim --help)");
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--version") {
      std::puts(tools::ProgramVersionLine("cardsim").c_str());
      return 0;
    }
    if (arg == "--help" || arg == "-h" || (i == 1 && arg == "help")) {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kSerialUsage, stdout);
      return 0;
    }
  }
  const std::string name = argv[1];
  if (name == "serial") return RunSerialCommand(argc - 2, argv + 2);
  for (const Command& command : kCommands) {
    if (name == command.name) {
      Arguments args(argc - 2, argv + 2);
      return command.run(args);
    }
  }
  return Fail("unknown command \"" + name + "\" (see cardsim --help)");
}

}  // namespace
}  // namespace qb::cardsim

int main(int argc, char** argv) {
  return qb::RunMainGuarded("cardsim", qb::cardsim::Main, argc, argv);
}
