// The card jobs as a user runs them: `cardsim blank` makes a card image,
// `initcard` prepares it, `cardsim record` fills it as the recording device
// would, and `readcard` must give back exactly the records written, oldest
// first - on the image itself and through the stand-in card driver. readcard
// must never change the card, so every run of it compares the image before
// and after.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cardio/driver_records.h"
#include "format/record_file.h"
#include "support/card_servers.h"
#include "support/program_runner_bg.h"
#include "support/record_file_reader.h"
#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::BackgroundProgram;
using test::CardDriverServer;
using test::FileRecord;
using test::ProgramResult;
using test::RunProgram;
using test::SlurpFile;

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kCan = 0x18;
constexpr size_t kMaxRecord = 500;  // longest record on a card

// A data or control record as it stands in the record file.
struct Rec {
  uint16_t kind;
  std::string data;
  bool operator==(const Rec& other) const = default;
};

void PrintTo(const Rec& rec, std::ostream* out) {
  *out << "{kind " << rec.kind << ", " << rec.data.size() << " bytes:";
  for (size_t i = 0; i < rec.data.size() && i < 12; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", static_cast<uint8_t>(rec.data[i]));
    *out << hex;
  }
  *out << (rec.data.size() > 12 ? " ...}" : "}");
}

const Rec kInitRecord = {4, "\x01"};
const Rec kStartRecord = {4, "\x02"};

// A transmission as the instrument sends it: STX [CAN] text ETX and the
// block check, the XOR of every byte after STX up to and including ETX.
std::string Framed(const std::string& text, bool can) {
  std::string body = (can ? std::string(1, kCan) : std::string()) + text + kEtx;
  char bcc = 0;
  for (char c : body) bcc = static_cast<char>(bcc ^ c);
  return kStx + body + bcc;
}

// The line of a `cardsim record --from` file that stands for `text`.
std::string FromLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    auto byte = static_cast<uint8_t>(c);
    if (c == '\\') {
      line += "\\\\";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      line += hex;
    } else {
      line += c;
    }
  }
  return line + "\n";
}

// What a card holds after INITCARD and a number of recordings: "(init)",
// then for every recording "(start)" and one or more data records for each
// transmission.
class Written {
 public:
  Written() { records_.push_back(kInitRecord); }
  void Recording(const std::vector<std::string>& texts, bool can = false) {
    records_.push_back(kStartRecord);
    for (const std::string& text : texts) {
      std::string bytes = Framed(text, can);
      for (size_t pos = 0; pos < bytes.size(); pos += kMaxRecord)
        records_.push_back({3, bytes.substr(pos, kMaxRecord)});
    }
  }
  const std::vector<Rec>& records() const { return records_; }

 private:
  std::vector<Rec> records_;
};

// `count` printouts of lengths between 1 and `longest` bytes; every fourth
// one holds arbitrary bytes (control codes, 0x80-0xFF, STX and ETX too).
std::vector<std::string> Texts(size_t count, unsigned seed, size_t longest = 180) {
  std::mt19937 gen(seed);
  std::vector<std::string> texts;
  for (size_t i = 0; i < count; ++i) {
    size_t length = 1 + gen() % longest;
    std::string text;
    if (i % 4 == 3) {
      for (size_t k = 0; k < length; ++k) text += static_cast<char>(gen() & 0xFF);
    } else {
      text = "#" + std::to_string(i) + " ";
      while (text.size() < length) text += static_cast<char>('A' + gen() % 26);
      text.resize(length);
    }
    texts.push_back(text);
  }
  return texts;
}

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes += static_cast<char>(gen() & 0xFF);
  return bytes;
}

std::vector<Rec> DataOnly(const std::vector<Rec>& records) {
  std::vector<Rec> data;
  for (const Rec& rec : records)
    if (rec.kind == 3) data.push_back(rec);
  return data;
}

// The option text without its "# read date:" line, which names the moment
// of reading; with `master` false also without the master number.
std::string Settings(const std::string& text, bool master = true) {
  std::istringstream in(text);
  std::string line, kept;
  while (std::getline(in, line)) {
    if (line.rfind("# read date: ", 0) == 0) continue;
    if (!master && line.rfind("# master number: ", 0) == 0) continue;
    kept += line + "\n";
  }
  return kept;
}

// The text listing readcard writes with format=ascii for `records`.
std::string Listing(const std::vector<Rec>& records) {
  std::string listing;
  for (size_t i = 0; i < records.size(); ++i) {
    const Rec& rec = records[i];
    char head[32];
    std::snprintf(head, sizeof head, "#%08zu ", i);
    listing += head;
    if (rec.kind == 3) {
      listing += "DATA ";
      for (char c : rec.data) {
        auto byte = static_cast<uint8_t>(c);
        listing += (byte < 0x20 || byte == 0x7F) ? '.' : c;
      }
    } else {
      listing += "CTRL ";
      listing += rec.data == "\x01" ? "(init)" : rec.data == "\x02" ? "(start)" : "(?)";
    }
    uint8_t header[kRecordFileHeaderSize];
    EncodeRecordHeader(0, rec.kind, reinterpret_cast<const uint8_t*>(rec.data.data()),
                       static_cast<uint16_t>(rec.data.size()), header);
    char crc[12];
    std::snprintf(crc, sizeof crc, " (%04X)\n", header[4] | (header[5] << 8));
    listing += crc;
  }
  return listing;
}

// True when `part`'s lines all occur in `text`, in this order.
bool InOrder(const std::string& text, const std::vector<std::string>& parts) {
  size_t pos = 0;
  for (const std::string& part : parts) {
    pos = text.find(part, pos);
    if (pos == std::string::npos) return false;
    pos += part.size();
  }
  return true;
}

class CardJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    kdv_dir_ = dir_.File("kdv");
    ASSERT_EQ(mkdir(kdv_dir_.c_str(), 0700), 0);
    env_.Set("DD_KDVDIR", kdv_dir_);
  }

  ProgramResult Run(const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(program, args, dir_.path(), dir_.path());
  }

  std::string Blank(const std::string& name, uint32_t sectors) {
    std::string path = dir_.File(name);
    ProgramResult result = Run("cardsim", {"blank", "--sectors", std::to_string(sectors), path});
    EXPECT_EQ(result.status, 0) << result.err;
    return path;
  }

  // initcard on `driver` with the settings every test shares, then `options`.
  ProgramResult Init(const std::string& driver, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"driver=" + driver, "prompt=0", "protocol=0x3685e294"};
    args.insert(args.end(), options.begin(), options.end());
    return Run("initcard", args);
  }

  // A blank image of `sectors` sectors prepared by initcard.
  std::string NewCard(const std::string& name, uint32_t sectors,
                      const std::vector<std::string>& options = {}) {
    std::string path = Blank(name, sectors);
    ProgramResult result = Init(path, options);
    EXPECT_EQ(result.status, 0) << result.err;
    return path;
  }

  // `cardsim record` of `texts` onto the image; the fields of its summary.
  std::map<std::string, long> Record(const std::string& image,
                                     const std::vector<std::string>& texts,
                                     const std::vector<std::string>& flags = {}) {
    std::string lines;
    for (const std::string& text : texts) lines += FromLine(text);
    std::vector<std::string> args = {"record", "--card", image, "--from",
                                     dir_.Write("transmissions.txt", lines)};
    args.insert(args.end(), flags.begin(), flags.end());
    ProgramResult result = Run("cardsim", args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::map<std::string, long> summary;
    std::istringstream in(result.out);
    std::string field;
    while (in >> field) {
      size_t eq = field.find('=');
      if (eq != std::string::npos) summary[field.substr(0, eq)] = std::stol(field.substr(eq + 1));
    }
    EXPECT_TRUE(summary.count("records")) << result.out;
    return summary;
  }

  // readcard on the image (or through `driver` when given): the card must
  // be byte for byte the same afterwards.
  ProgramResult ReadCard(const std::string& image, const std::vector<std::string>& options,
                         const std::string& driver = "") {
    std::string before = SlurpFile(image);
    std::vector<std::string> args = {"driver=" + (driver.empty() ? image : driver), "prompt=0"};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult result = Run("readcard", args);
    EXPECT_TRUE(SlurpFile(image) == before) << "readcard changed the card " << image;
    return result;
  }

  // The record file of a successful binary read, framing checked strictly.
  std::vector<FileRecord> ReadFile(const std::string& image,
                                   const std::vector<std::string>& options,
                                   const std::string& driver = "") {
    std::vector<std::string> args = {"recordoutput=" + dir_.File("out.qbd")};
    args.insert(args.end(), options.begin(), options.end());
    ProgramResult result = ReadCard(image, args, driver);
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<FileRecord> file;
    std::string why;
    EXPECT_TRUE(test::ParseRecordFile(dir_.Read("out.qbd"), file, why)) << why;
    return file;
  }

  // Reads the card in every form readcard offers and checks that they agree
  // with each other and with `comment`; returns the data and control
  // records, oldest first.
  std::vector<Rec> ReadBack(const std::string& image, const std::string& comment = "") {
    std::vector<FileRecord> file = ReadFile(image, {"optionoutput=" + dir_.File("options.txt"),
                                                    "commentoutput=" + dir_.File("comment.bin")});
    if (file.size() < 4) {
      ADD_FAILURE() << "only " << file.size() << " records";
      return {};
    }
    EXPECT_EQ(file[0].kind, 0);
    EXPECT_EQ(file[0].data, "");
    EXPECT_EQ(file[1].kind, 1);
    // The option record: the settings, then what the read found out.
    const std::string settings = Settings(dir_.Read("options.txt"));
    EXPECT_EQ(Settings(file[1].data).substr(0, settings.size()), settings);
    EXPECT_EQ(file[2].kind, 2);
    EXPECT_TRUE(file[2].data == comment) << "comment of " << file[2].data.size() << " bytes";
    EXPECT_TRUE(dir_.Read("comment.bin") == comment);
    EXPECT_EQ(file.back().kind, 0xFF);
    EXPECT_EQ(file.back().data, "");
    std::vector<Rec> records;
    for (size_t i = 3; i + 1 < file.size(); ++i) records.push_back({file[i].kind, file[i].data});

    std::vector<Rec> data_only = DataOnly(records);
    std::vector<FileRecord> filtered = ReadFile(image, {"filter=init_and_data"});
    EXPECT_EQ(filtered.size(), data_only.size() + 4);
    for (size_t i = 0; i < data_only.size() && i + 3 < filtered.size(); ++i)
      EXPECT_EQ((Rec{filtered[i + 3].kind, filtered[i + 3].data}), data_only[i]) << i;
    std::vector<FileRecord> init_only = ReadFile(image, {"filter=init_only"});
    EXPECT_EQ(init_only.size(), 4u);
    if (init_only.size() == 4) {
      EXPECT_EQ(init_only[2].data, file[2].data);
      EXPECT_EQ(init_only[3].kind, 0xFF);
    }

    const struct {
      const char* filter;
      std::vector<Rec> records;
    } listings[] = {{"all", records}, {"init_and_data", data_only}, {"init_only", {}}};
    for (const auto& row : listings) {
      SCOPED_TRACE(row.filter);
      std::string out = dir_.File("listing.txt");
      ProgramResult result = ReadCard(
          image, {"recordoutput=" + out, "format=ascii", std::string("filter=") + row.filter});
      EXPECT_EQ(result.status, 0) << result.err;
      EXPECT_EQ(SlurpFile(out), Listing(row.records));
    }
    return records;
  }

  std::string kdv_dir_;
  test::TempDir dir_;

 private:
  test::ScopedEnv env_;
};

// The records read back equal everything written, or - when the card may
// have lost its oldest sectors - a tail of it that ends with the newest.
TEST_F(CardJobs, ReadsBackWhatWasRecorded) {
  const std::string long_text(497, 'L');  // framed: exactly one full record
  const struct Case {
    const char* name;
    uint32_t sectors;
    std::vector<std::string> init;
    std::vector<std::vector<std::string>> recordings;
    std::vector<std::string> flags;  // for every recording
    std::string comment;
    bool wraps;  // a ring that overwrote its oldest sectors
  } cases[] = {
      {"fresh card", 8, {}, {}, {}, "", false},
      {"linear, partly filled", 16, {}, {Texts(12, 1)}, {}, "", false},
      {"linear, two recordings", 16, {}, {Texts(5, 2), Texts(6, 3)}, {}, "", false},
      {"ring, not wrapped",
       16,
       {"memoryfull=overwrite_old"},
       {Texts(8, 4), Texts(8, 5)},
       {},
       "",
       false},
      {"ring, wrapped several times",
       6,
       {"memoryfull=overwrite_old"},
       {Texts(25, 6), Texts(25, 7), Texts(25, 8)},
       {},
       "",
       true},
      {"comment over three sectors", 10, {}, {Texts(6, 9)}, {}, RandomBytes(1200, 10), false},
      {"alternative copy of the newest sector", 10, {}, {Texts(7, 11)}, {"--alt-copy"}, "", false},
      {"ring, alternative copy",
       8,
       {"memoryfull=overwrite_old"},
       {Texts(40, 12)},
       {"--alt-copy"},
       "",
       true},
      {"framed with CAN", 10, {}, {Texts(6, 13)}, {"--can"}, "", false},
      {"records of 500 and 501 bytes",
       12,
       {},
       {{long_text, "x", long_text + "y", long_text + "yz", "end"}},
       {},
       "",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> init = c.init;
    if (!c.comment.empty()) init.push_back("comment=" + dir_.Write("comment.txt", c.comment));
    std::string image = NewCard("card.img", c.sectors, init);

    Written written;
    bool can = std::find(c.flags.begin(), c.flags.end(), "--can") != c.flags.end();
    long wrapped = 0;
    for (const auto& texts : c.recordings) {
      auto summary = Record(image, texts, c.flags);
      EXPECT_EQ(summary["dropped"], 0);
      wrapped = summary["wrapped"];
      written.Recording(texts, can);
    }
    EXPECT_EQ(wrapped, c.wraps ? 1 : 0);

    std::vector<Rec> got = ReadBack(image, c.comment);
    const std::vector<Rec>& all = written.records();
    if (!c.wraps) {
      EXPECT_EQ(got, all);
      continue;
    }
    // At least two of the data sectors' worth survive, and something was lost.
    ASSERT_GE(got.size(), 8u);
    ASSERT_LT(got.size(), all.size());
    EXPECT_EQ(got, std::vector<Rec>(all.end() - static_cast<long>(got.size()), all.end()));
  }
}

// An empty argument ends the options, as an empty slot does for the jobs the
// application runs: nothing after it is read, not even a help switch, and
// what comes after it need not fit the job's argument slots.
TEST_F(CardJobs, AnEmptyArgumentEndsTheOptions) {
  std::string image = NewCard("card.img", 8);
  Record(image, Texts(5, 60));
  const std::string out = dir_.File("out.qbd");
  const std::string other = dir_.File("other.qbd");
  const struct {
    const char* name;
    std::vector<std::string> after;  // after recordoutput=out.qbd and ""
  } cases[] = {
      {"help switch", {"HELP"}},
      {"a later record output", {"recordoutput=" + other}},
      {"no option at all", {"bogus"}},
      {"more than the slots hold", std::vector<std::string>(70, "bogus")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(out.c_str());
    std::vector<std::string> args = {"recordoutput=" + out, ""};
    args.insert(args.end(), c.after.begin(), c.after.end());
    ProgramResult result = ReadCard(image, args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.find("OPTIONS:"), std::string::npos) << result.out;
    std::vector<FileRecord> file;
    std::string why;
    EXPECT_TRUE(test::ParseRecordFile(SlurpFile(out), file, why)) << why;
    EXPECT_FALSE(std::filesystem::exists(other));
  }
  // initcard likewise: the card is prepared with the options before the gap.
  ProgramResult result = Init(Blank("blank.img", 8), {"", "memoryfull=nonsense", "HELP"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.find("OPTIONS:"), std::string::npos) << result.out;
}

// A linear card stops one sector before its end; what it kept reads back.
// A device that writes the last sector too leaves a card that cannot be read.
TEST_F(CardJobs, FullLinearCard) {
  std::vector<std::string> texts = Texts(40, 20);
  std::string image = NewCard("card.img", 6);
  auto summary = Record(image, texts);
  EXPECT_EQ(summary["full"], 1);
  long dropped = summary["dropped"];
  ASSERT_GT(dropped, 0);
  ASSERT_LT(dropped, 40);
  Written written;
  written.Recording(std::vector<std::string>(texts.begin(), texts.end() - dropped));
  EXPECT_EQ(ReadBack(image), written.records());

  image = NewCard("last.img", 6);
  summary = Record(image, texts, {"--fill-last"});
  EXPECT_EQ(summary["newest"], 5);
  ProgramResult result = ReadCard(image, {"recordoutput=" + dir_.File("out.qbd")});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(InOrder(result.err, {"ERROR!\n", "Unexpected end of focus search\n"})) << result.err;
}

// Cards the device or the medium spoiled: each fails with the reason on
// standard error and exit status 1, and the card stays untouched.
TEST_F(CardJobs, DamagedCardsFailWithTheReason) {
  const struct {
    const char* name;
    std::vector<std::string> init;
    std::vector<std::string> faults;
    std::vector<std::string> messages;
  } cases[] = {
      {"damaged comment sector",
       {"comment=" + dir_.Write("comment.txt", RandomBytes(700, 30))},
       {"--damage", "2"},
       {"ERROR!\n", "Checksum failure at sector 2\n", "Reading comment sector\n"}},
      {"record longer than 500 bytes",
       {},
       {"--bad-length", "3"},
       {"ERROR!\n", "Illegal record length\n"}},
      {"damaged data sector", {}, {"--damage", "3"}, {"ERROR!\n", "Reading record sector 3\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string image = NewCard("card.img", 12, c.init);
    std::vector<std::string> texts = Texts(20, 31);
    auto summary = Record(image, texts, c.faults);
    ASSERT_GE(summary["newest"], 4) << "the faults must lie inside the recording";
    dir_.Write("out.qbd", "an earlier read");
    ProgramResult result = ReadCard(image, {"recordoutput=" + dir_.File("out.qbd")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(InOrder(result.err, c.messages)) << result.err;
    // The failed read leaves the earlier file as it was and nothing beside it.
    EXPECT_EQ(dir_.Read("out.qbd"), "an earlier read");
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      EXPECT_EQ(entry.path().filename().string().find(".out.qbd"), std::string::npos);
  }
}

// An output that names the card itself would overwrite the card: readcard
// refuses it, through whatever path or link, before it opens any output.
TEST_F(CardJobs, OutputsThatNameTheCardAreRefused) {
  std::string image = NewCard("card.img", 12);
  Record(image, Texts(10, 50));
  ASSERT_EQ(::symlink("card.img", dir_.File("soft.img").c_str()), 0);
  ASSERT_EQ(::link(image.c_str(), dir_.File("hard.img").c_str()), 0);
  const std::string names[] = {image, dir_.File("soft.img"), dir_.File("hard.img"),
                               dir_.path() + "/./card.img"};
  for (const char* option : {"recordoutput=", "optionoutput=", "commentoutput=", "logfile="}) {
    for (const std::string& name : names) {
      SCOPED_TRACE(option + name);
      // ReadCard checks that the card is byte for byte as it was.
      ProgramResult result = ReadCard(image, {option + name});
      EXPECT_EQ(result.status, 1);
      EXPECT_TRUE(
          InOrder(result.err, {"ERROR!\n", "Output file " + name + " is the card being read\n"}))
          << result.err;
    }
  }
}

// Images that are no prepared card at all.
TEST_F(CardJobs, ForeignAndTruncatedImages) {
  std::string card = NewCard("card.img", 8);
  Record(card, Texts(10, 40));
  std::string bytes = SlurpFile(card);
  const struct {
    const char* name;
    std::string image;
  } cases[] = {
      {"random bytes", RandomBytes(8 * 512, 41)},
      {"random after a good master sector", bytes.substr(0, 1024) + RandomBytes(6 * 512, 42)},
      {"empty file", ""},
      {"cut inside the master sector", bytes.substr(0, 700)},
      {"cut inside the first data sector", bytes.substr(0, 1024 + 300)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string image = dir_.Write("bad.img", c.image);
    ProgramResult result = ReadCard(image, {"recordoutput=" + dir_.File("out.qbd")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(InOrder(result.err, {"ERROR!\n"})) << result.err;
    EXPECT_GT(result.err.size(), std::string("ERROR!\n").size()) << "no reason given";
  }
}

// The settings readcard writes as an option file prepare another card the
// same way, card size included.
TEST_F(CardJobs, OptionOutputPreparesALikeCard) {
  std::string first = NewCard("first.img", 12,
                              {"baudrate=19200", "parameter=7E1", "memoryfull=overwrite_old",
                               "rtscontrol=outofmemory", "timeout=250"});
  std::string options1 = dir_.File("first.txt");
  ProgramResult result = ReadCard(first, {"optionoutput=" + options1});
  ASSERT_EQ(result.status, 0) << result.err;
  std::string text1 = SlurpFile(options1);
  for (const char* line :
       {"\ncardsize=12\n", "\nbaudrate=19200\n", "\nparameter=7E1\n", "\ntimeout=250\n",
        "\nmemoryfull=overwrite_old\n", "\nrtscontrol=outofmemory\n"})
    EXPECT_NE(text1.find(line), std::string::npos) << line << text1;

  std::string second = Blank("second.img", 20);
  result = Run("initcard", {"driver=" + second, "prompt=0", "optionfile=" + options1});
  ASSERT_EQ(result.status, 0) << result.err;
  std::string options2 = dir_.File("second.txt");
  result = ReadCard(second, {"optionoutput=" + options2});
  ASSERT_EQ(result.status, 0) << result.err;
  // Each card has its own master number, taken from the clock.
  EXPECT_EQ(Settings(SlurpFile(options2), false), Settings(text1, false));
}

// The same loop with both jobs going through the driver: the record file is
// the one read from the image directly, up to the moment of reading.
TEST_F(CardJobs, LoopThroughTheCardDriver) {
  std::string image = Blank("card.img", 12);
  CardDriverServer driver("QbCard", image, dir_.File("driver.err"));
  ASSERT_TRUE(driver.Ready()) << driver.err();
  const std::string path = "\\\\.\\QbCard";
  ProgramResult result = Init(path, {"comment=" + dir_.Write("comment.txt", "Line 3, balance")});
  ASSERT_EQ(result.status, 0) << result.err;

  std::vector<std::string> texts = Texts(15, 50);
  Record(image, texts);
  Written written;
  written.Recording(texts);

  std::vector<FileRecord> through_driver = ReadFile(image, {}, path);
  std::vector<FileRecord> direct = ReadFile(image, {});
  ASSERT_EQ(through_driver.size(), direct.size());
  ASSERT_EQ(direct.size(), written.records().size() + 4);
  for (size_t i = 0; i < direct.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(through_driver[i].kind, direct[i].kind);
    if (i == 1) {
      EXPECT_EQ(Settings(through_driver[i].data), Settings(direct[i].data));
    } else {
      EXPECT_EQ(through_driver[i].data, direct[i].data);
    }
  }
  EXPECT_EQ(direct[2].data, "Line 3, balance");
  for (size_t i = 0; i < written.records().size(); ++i)
    EXPECT_EQ((Rec{direct[i + 3].kind, direct[i + 3].data}), written.records()[i]) << i;

  EXPECT_EQ(driver.Stop(), 0) << driver.err();
  EXPECT_FALSE(std::filesystem::exists(kdv_dir_ + "/qbcard")) << "socket left behind";
}

// What the driver reports about its slot stops both jobs before they touch
// the card.
TEST_F(CardJobs, CardDriverRefusals) {
  std::string image = NewCard("card.img", 8);
  Record(image, Texts(3, 60));
  const struct {
    const char* name;
    std::vector<std::string> driver;
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {"foreign driver", {"--signature", "XYZ"}, {}, "No KDV driver\n"},
      {"slot beyond the count", {"--slots", "1"}, {"slot=1"}, "Slot 1 not available\n"},
      {"no card", {"--empty", "0"}, {}, "No card inserted\n"},
      {"write-protected", {"--protected", "0"}, {}, "Card is write-protected\n"},
      {"not an ATA card", {"--non-ata", "0"}, {}, "No ATA card\n"},
  };
  const std::string before = SlurpFile(image);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CardDriverServer driver("qbrefuse", image, dir_.File("driver.err"), c.driver);
    ASSERT_TRUE(driver.Ready()) << driver.err();
    const std::string path = "\\\\.\\qbrefuse";
    ProgramResult result = Init(path, c.options);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(InOrder(result.err, {"ERROR!\n", c.message})) << result.err;
    std::vector<std::string> options = c.options;
    options.push_back("recordoutput=" + dir_.File("out.qbd"));
    result = ReadCard(image, options, path);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(InOrder(result.err, {"ERROR!\n", c.message})) << result.err;
    EXPECT_EQ(driver.Stop(), 0);
  }
  EXPECT_TRUE(SlurpFile(image) == before) << "initcard wrote to a card it refused";
}

// The capacity the driver's identity gives, and the cardsize limit.
TEST_F(CardJobs, CardDriverCapacity) {
  constexpr uint32_t kSectors = 1000;
  IdentifyData identity = SynthesizeIdentify(kSectors);
  const unsigned long geometry =
      static_cast<unsigned long>(identity.cylinders) * identity.heads * identity.sectors_per_track;
  ASSERT_NE(geometry, kSectors) << "the geometry case would prove nothing";
  const struct {
    const char* name;
    std::vector<std::string> driver;
    std::string cardsize;
    int status;
    std::vector<std::string> log;
    uint32_t used;  // S on the prepared card
  } cases[] = {
      {"identity capacity", {}, "", 0, {"Capacity 1000 sectors (approx. 0.5 MB)\n"}, kSectors},
      {"geometry only",
       {"--chs"},
       "",
       0,
       {"Capacity " + std::to_string(geometry) + " sectors"},
       static_cast<uint32_t>(geometry)},
      {"limited",
       {},
       "cardsize=16",
       0,
       {"Capacity 1000 sectors", "Used capacity 16 sectors\n"},
       16},
      {"too small", {}, "cardsize=3", 1, {"Capacity 1000 sectors", "Used capacity 3 sectors\n"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string image = Blank("card.img", kSectors);
    CardDriverServer driver("qbsize", image, dir_.File("driver.err"), c.driver);
    ASSERT_TRUE(driver.Ready()) << driver.err();
    std::string log = dir_.File("init.log");
    std::remove(log.c_str());
    std::vector<std::string> options = {"logfile=" + log};
    if (!c.cardsize.empty()) options.push_back(c.cardsize);
    ProgramResult result = Init("\\\\.\\qbsize", options);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_TRUE(InOrder(SlurpFile(log), c.log)) << SlurpFile(log);
    if (c.status != 0) {
      EXPECT_TRUE(InOrder(result.err, {"ERROR!\n", "Card is to small\n"})) << result.err;
      continue;
    }
    ProgramResult read = ReadCard(image, {"optionoutput=" + dir_.File("options.txt")});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_NE(dir_.Read("options.txt").find("\ncardsize=" + std::to_string(c.used) + "\n"),
              std::string::npos)
        << dir_.Read("options.txt");
    EXPECT_EQ(driver.Stop(), 0);
  }
}

// A terminal for a job's console: the job reads its keys from it.
class Console {
 public:
  Console() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    if (const char* name = ptsname(master_)) path_ = name;
  }
  ~Console() {
    if (master_ >= 0) close(master_);
  }
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  const std::string& path() const { return path_; }
  // Waits (at most 5 s) until the job reads single keys: a key typed before
  // would be held back as part of a line.
  bool WaitForKeyMode() const {
    for (int i = 0; i < 500; ++i) {
      termios mode;
      if (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ICANON) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  bool Press(char key) const { return write(master_, &key, 1) == 1; }

 private:
  int master_ = -1;
  std::string path_;
};

// One job per card: while a job holds the card (here waiting at its console
// question), another job on it is refused at once and leaves it as it was;
// the holder then goes on as if it had been alone. On the image itself,
// through the card driver, and the one against the other.
TEST_F(CardJobs, OneJobPerCard) {
  std::string image = NewCard("card.img", 64, {"comment=" + dir_.Write("comment.txt", "held")});
  Record(image, Texts(12, 70));
  const std::vector<FileRecord> alone = ReadFile(image, {});
  ASSERT_GT(alone.size(), 12u);
  CardDriverServer driver("qbheld", image, dir_.File("driver.err"));
  ASSERT_TRUE(driver.Ready()) << driver.err();
  const std::string via_driver = "\\\\.\\qbheld";
  const struct {
    const char* name;
    std::string holder;
    std::string other;
  } cases[] = {
      {"image", image, image},
      {"driver", via_driver, via_driver},
      {"driver, then image", via_driver, image},
      {"image, then driver", image, via_driver},
  };
  const std::string busy = "PC Card is in use by another job\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = SlurpFile(image);
    {
      // readcard holds the card while it asks whether to overwrite.
      std::string out = dir_.Write("held.qbd", "an earlier file");
      Console console;
      BackgroundProgram reader("readcard",
                               {"driver=" + c.holder, "prompt=1", "recordoutput=" + out},
                               dir_.File("reader.err"), console.path());
      ASSERT_TRUE(reader.WaitFor("Overwrite (y/n)?")) << reader.err();
      ASSERT_TRUE(console.WaitForKeyMode());
      ProgramResult init = Init(c.other);
      EXPECT_EQ(init.status, 1);
      EXPECT_TRUE(InOrder(init.err, {"ERROR!\n", busy})) << init.err;
      EXPECT_TRUE(SlurpFile(image) == before) << "initcard changed a card in use";
      ASSERT_TRUE(console.Press('y'));
      EXPECT_EQ(reader.Wait(), 0) << reader.err();
      std::vector<FileRecord> file;
      std::string why;
      EXPECT_TRUE(test::ParseRecordFile(SlurpFile(out), file, why)) << why;
      ASSERT_EQ(file.size(), alone.size());
      for (size_t i = 2; i < file.size(); ++i) EXPECT_EQ(file[i].data, alone[i].data) << i;
    }
    {
      // initcard holds the card while it waits for Return; Escape ends it.
      Console console;
      BackgroundProgram init("initcard", {"driver=" + c.holder, "prompt=1", "protocol=0x3685e294"},
                             dir_.File("init.err"), console.path());
      ASSERT_TRUE(init.WaitFor("Press RETURN to continue")) << init.err();
      ASSERT_TRUE(console.WaitForKeyMode());
      ProgramResult read = ReadCard(image, {"recordoutput=" + dir_.File("other.qbd")}, c.other);
      EXPECT_EQ(read.status, 1);
      EXPECT_TRUE(InOrder(read.err, {"ERROR!\n", busy})) << read.err;
      ASSERT_TRUE(console.Press(27));
      EXPECT_EQ(init.Wait(), 1);
      EXPECT_TRUE(InOrder(init.err(), {"User abort\n"})) << init.err();
    }
    EXPECT_TRUE(SlurpFile(image) == before);
  }
  EXPECT_EQ(driver.Stop(), 0) << driver.err();
}

// A card larger than the card driver's requests reach (byte offsets of 32
// bits) is used up to the last sector they reach whole, so that the card
// initcard lays out is one readcard can read. The image is sparse: its
// 4.3 GiB cost nothing.
TEST_F(CardJobs, CardBeyondTheDriversReach) {
  constexpr uint64_t kSectors = 9000000;
  std::string image = dir_.File("big.img");
  std::ofstream(image).close();
  std::filesystem::resize_file(image, kSectors * 512);
  CardDriverServer driver("qbbig", image, dir_.File("driver.err"));
  ASSERT_TRUE(driver.Ready()) << driver.err();
  const std::string path = "\\\\.\\qbbig";
  std::string log = dir_.File("init.log");
  ProgramResult result = Init(path, {"logfile=" + log});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(
      InOrder(SlurpFile(log), {"Capacity 9000000 sectors", "Capacity limited to 8388607 sectors"}))
      << SlurpFile(log);
  result = Run("readcard", {"driver=" + path, "prompt=0", "recordoutput=" + dir_.File("big.qbd"),
                            "optionoutput=" + dir_.File("options.txt")});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(dir_.Read("options.txt").find("\ncardsize=8388607\n"), std::string::npos)
      << dir_.Read("options.txt");
  std::vector<FileRecord> file;
  std::string why;
  EXPECT_TRUE(test::ParseRecordFile(dir_.Read("big.qbd"), file, why)) << why;
  EXPECT_EQ(driver.Stop(), 0) << driver.err();
}

}  // namespace
}  // namespace qb
