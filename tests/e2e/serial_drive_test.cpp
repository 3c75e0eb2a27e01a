// The card jobs through the serial card drive: cardsim serves a card image
// on a pseudo-terminal, DD_DEVICE points the COM port at its slave side, and
// initcard and readcard use the driver path "****".
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/card_servers.h"
#include "support/record_file_reader.h"
#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::ProgramResult;
using test::RunProgram;

const std::vector<std::string> kInitOptions = {"prompt=0", "protocol=0x3685e294",
                                               "memoryfull=overwrite_old"};

using test::ScopedEnv;

struct TimedResult {
  ProgramResult result;
  long millis = 0;
};

class SerialDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    // Short waits keep the failing runs quick.
    env_.Set("DD_TSOHSTX", "100");
    env_.Set("DD_TCMDACK", "100");
    env_.Set("DD_TCMDRSP", "500");
    env_.Set("DD_TBYTBYT", "100");
    env_.Set("DD_COM", "1");
  }
  // For runs that must complete: a loaded machine can stall the simulator
  // for more than the short waits, which would turn into a false timeout.
  void UseLongWaits() {
    for (const char* name : {"DD_TSOHSTX", "DD_TCMDACK", "DD_TCMDRSP", "DD_TBYTBYT"})
      env_.Set(name, "5000");
  }

  TimedResult Run(const std::string& program, std::vector<std::string> args) {
    auto start = std::chrono::steady_clock::now();
    TimedResult timed;
    timed.result = RunProgram(program, args, dir_.path(), dir_.path());
    timed.millis = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
    return timed;
  }
  ProgramResult Cardsim(const std::vector<std::string>& args) {
    return RunProgram("cardsim", args, dir_.path(), dir_.path());
  }
  void UseDrive(const test::SerialCardServer& simulator) {
    ASSERT_FALSE(simulator.slave().empty());
    env_.Set("DD_DEVICE", simulator.slave());
  }
  std::vector<std::string> With(std::vector<std::string> args,
                                const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  test::TempDir dir_;
  ScopedEnv env_;
};

// The records of a record file with the read-date line of the option text
// taken out (the only part that depends on when the card was read).
std::vector<test::FileRecord> RecordsWithoutReadDate(const std::string& bytes) {
  std::vector<test::FileRecord> records;
  std::string why;
  EXPECT_TRUE(test::ParseRecordFile(bytes, records, why)) << why;
  for (test::FileRecord& record : records) {
    size_t at = record.data.find("# read date:");
    if (at == std::string::npos) continue;
    size_t end = record.data.find('\n', at);
    record.data.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }
  return records;
}

TEST_F(SerialDrive, JobsThroughTheDriveMatchTheRawImage) {
  const std::string served = dir_.File("served.img");
  const std::string raw = dir_.File("raw.img");
  ASSERT_EQ(Cardsim({"blank", "--sectors", "400", served}).status, 0);
  ASSERT_EQ(Cardsim({"blank", "--sectors", "400", raw}).status, 0);
  test::SerialCardServer simulator(served, dir_.File("cardsim.err"), {});
  UseDrive(simulator);
  UseLongWaits();

  // The master number is the second in which initcard takes it, early in
  // its run. Both runs start right after a second has begun, the quick one
  // on the plain file first, so that both take theirs within that second
  // however long the serial run then writes (a loaded machine with
  // sanitizers needs most of a second for it); tried again should a second
  // still end between them.
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::time_t begun = std::time(nullptr);
    while (std::time(nullptr) == begun) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(Run("initcard", With({"driver=" + raw}, kInitOptions)).result.status, 0);
    TimedResult serial = Run("initcard", With({"driver=****"}, kInitOptions));
    ASSERT_EQ(serial.result.status, 0) << serial.result.err;
    if (test::SlurpFile(served) == test::SlurpFile(raw)) break;
  }
  // Not the images themselves: a difference would print all of both.
  ASSERT_TRUE(test::SlurpFile(served) == test::SlurpFile(raw)) << "initcard wrote other sectors";

  for (const std::string& card : {served, raw})
    ASSERT_EQ(Cardsim({"record", "--card", card, "--demo", "400", "--seed", "7", "--quiet"}).status,
              0);
  TimedResult serial = Run("readcard", {"driver=****", "prompt=0", "recordoutput=serial.qbd"});
  ASSERT_EQ(serial.result.status, 0) << serial.result.err;
  ASSERT_EQ(Run("readcard", {"driver=" + raw, "prompt=0", "recordoutput=raw.qbd"}).result.status,
            0);
  std::vector<test::FileRecord> from_serial = RecordsWithoutReadDate(dir_.Read("serial.qbd"));
  std::vector<test::FileRecord> from_raw = RecordsWithoutReadDate(dir_.Read("raw.qbd"));
  ASSERT_GT(from_raw.size(), 100u);
  ASSERT_EQ(from_serial.size(), from_raw.size());
  for (size_t i = 0; i < from_raw.size(); ++i) {
    ASSERT_EQ(from_serial[i].kind, from_raw[i].kind) << i;
    ASSERT_EQ(from_serial[i].data, from_raw[i].data) << i;
  }
  EXPECT_TRUE(test::SlurpFile(served) == test::SlurpFile(raw)) << "reading changed the card";
}

TEST_F(SerialDrive, EveryFaultGivesItsMessageAndTheNextRunOpensThePortAgain) {
  const std::string card = dir_.File("card.img");
  ASSERT_EQ(Cardsim({"blank", "--sectors", "200", card}).status, 0);
  ASSERT_EQ(Run("initcard", With({"driver=" + card}, kInitOptions)).result.status, 0);
  ASSERT_EQ(Cardsim({"record", "--card", card, "--demo", "40", "--quiet"}).status, 0);
  const std::string before = test::SlurpFile(card);

  struct Case {
    const char* fault;
    const char* message;  // empty: the read succeeds
    long at_least_ms;     // the time-out the failure must wait for
  };
  const Case cases[] = {
      {"soh", "Character error (0x15 instead of 0x02)", 0},
      {"no-stx", "Timeout error (waiting for 0x02)", 100},
      {"no-ack", "Timeout error (waiting for 0x06)", 100},
      {"checksum", "Receiver checksum", 0},
      {"status1", "Command error 1", 0},
      {"status10", "", 0},
      {"truncate", "Receiver timeout", 100},
      {"overflow", "Receiver overflow", 0},
      {"unsupported", "Card not supported", 0},
      {"protected", "Card is write-protected", 0},
      {"slow", "Receiver timeout", 100},
      // In the middle of the read, after a good opening.
      {"checksum:0x0C", "Receiver checksum", 0},
      {"no-stx:0x0C", "Timeout error (waiting for 0x02)", 100},
      {"truncate:0x0E", "Receiver timeout", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    test::SerialCardServer simulator(card, dir_.File("cardsim.err"), {"--fault", c.fault});
    UseDrive(simulator);
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      TimedResult timed = Run("readcard", {"driver=****", "prompt=0", "recordoutput=out.qbd"});
      if (*c.message == '\0') {
        EXPECT_EQ(timed.result.status, 0) << timed.result.err;
        continue;
      }
      EXPECT_EQ(timed.result.status, 1);
      EXPECT_NE(("\n" + timed.result.err).find(std::string("\n") + c.message + "\n"),
                std::string::npos)
          << timed.result.err;
      EXPECT_EQ(timed.result.err.find("Error opening COM"), std::string::npos);
      EXPECT_GE(timed.millis, c.at_least_ms);
      EXPECT_LT(timed.millis, c.at_least_ms + 2000);
    }
  }
  EXPECT_TRUE(test::SlurpFile(card) == before) << "a read changed the card";
}

// A line that loses or spoils bytes: every read either matches the clean
// read exactly or fails with one of the receiver's messages, within the
// waits, and the card is never written.
TEST_F(SerialDrive, NoisyLineGivesTheRightRecordsOrAClearMessage) {
  const std::string card = dir_.File("card.img");
  ASSERT_EQ(Cardsim({"blank", "--sectors", "200", card}).status, 0);
  ASSERT_EQ(Run("initcard", With({"driver=" + card}, kInitOptions)).result.status, 0);
  ASSERT_EQ(Cardsim({"record", "--card", card, "--demo", "20", "--quiet"}).status, 0);
  ASSERT_EQ(Run("readcard", {"driver=" + card, "prompt=0", "recordoutput=clean.qbd"}).result.status,
            0);
  const std::vector<test::FileRecord> clean = RecordsWithoutReadDate(dir_.Read("clean.qbd"));
  const std::string before = test::SlurpFile(card);
  const std::vector<std::string> messages = {"Receiver checksum", "Receiver timeout",
                                             "Receiver overflow", "Timeout error (waiting for",
                                             "Character error (", "Command error"};
  int failed = 0;
  for (const char* noise : {"40:1", "40:2", "200:3", "200:4", "1000:5", "1000:6"}) {
    SCOPED_TRACE(noise);
    test::SerialCardServer simulator(card, dir_.File("cardsim.err"), {"--noise", noise});
    UseDrive(simulator);
    std::remove(dir_.File("noisy.qbd").c_str());
    TimedResult timed = Run("readcard", {"driver=****", "prompt=0", "recordoutput=noisy.qbd"});
    EXPECT_LT(timed.millis, 30000);
    if (timed.result.status == 0) {
      std::vector<test::FileRecord> noisy = RecordsWithoutReadDate(dir_.Read("noisy.qbd"));
      ASSERT_EQ(noisy.size(), clean.size());
      for (size_t i = 0; i < clean.size(); ++i) EXPECT_EQ(noisy[i].data, clean[i].data) << i;
      continue;
    }
    ++failed;
    EXPECT_EQ(timed.result.status, 1);
    bool known = false;
    for (const std::string& message : messages)
      known = known || timed.result.err.find(message) != std::string::npos;
    EXPECT_TRUE(known) << timed.result.err;
  }
  EXPECT_GT(failed, 0) << "the noise never reached the drive";
  EXPECT_TRUE(test::SlurpFile(card) == before) << "a read changed the card";
}

TEST_F(SerialDrive, FailedWriteEndsInitcardWithTheDrivesMessage) {
  const std::string card = dir_.File("card.img");
  ASSERT_EQ(Cardsim({"blank", "--sectors", "200", card}).status, 0);
  test::SerialCardServer simulator(card, dir_.File("cardsim.err"), {"--fault", "status1:0x0D"});
  UseDrive(simulator);
  UseLongWaits();
  TimedResult timed = Run("initcard", With({"driver=****"}, kInitOptions));
  EXPECT_EQ(timed.result.status, 1);
  EXPECT_NE(timed.result.err.find("\nCommand error 1\n"), std::string::npos) << timed.result.err;
}

}  // namespace
}  // namespace qb
