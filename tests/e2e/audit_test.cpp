// Recordings kept for audits, end to end: cards that the device switched off
// and on, that wrapped, that ran full or were damaged, read by readcard with
// its read report; qbd verify on folders of such files, also after a record
// or a report was changed and with signatures of the right and the wrong key.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/read_report.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_keys.h"

namespace qb {
namespace {

using test::ProgramResult;
using test::RunProgram;

using test::kLabKey;
using test::kLabPublicKey;
using test::kOtherPublicKey;

class Audit : public ::testing::Test {
 protected:
  ProgramResult Run(const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(program, args, dir_.path(), dir_.path());
  }
  void Ok(const std::string& program, const std::vector<std::string>& args) {
    ProgramResult result = Run(program, args);
    ASSERT_EQ(result.status, 0) << program << ": " << result.err;
  }

  // A prepared card of `sectors` sectors, recorded on in `sessions` sessions
  // of demo printouts (`faults` added to the last).
  std::string Card(const std::string& name, uint32_t sectors, bool ring, int sessions,
                   const std::vector<std::string>& faults = {}) {
    std::string image = dir_.File(name);
    Ok("cardsim", {"blank", "--sectors", std::to_string(sectors), image});
    std::vector<std::string> init = {"driver=" + image, "prompt=0", "protocol=0x3685e294",
                                     "parameter=7E1", "comment=" + dir_.Write("id.txt", name)};
    if (ring) init.push_back("memoryfull=overwrite_old");
    Ok("initcard", init);
    for (int i = 0; i < sessions; ++i) {
      std::vector<std::string> args = {
          "record", "--card", image, "--demo", "8", "--seed", std::to_string(i + 1), "--quiet"};
      if (i + 1 == sessions) args.insert(args.end(), faults.begin(), faults.end());
      Ok("cardsim", args);
    }
    return image;
  }

  // readcard of the card into FOLDER/NAME.qbd with its report beside it.
  ProgramResult Read(const std::string& image, const std::string& record,
                     const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"driver=" + image, "prompt=0", "recordoutput=" + record,
                                     "reportoutput=" + ReadReportPath(record)};
    args.insert(args.end(), more.begin(), more.end());
    return Run("readcard", args);
  }

  ReadReport Report(const std::string& record) {
    ReadReport report;
    std::string problem;
    EXPECT_TRUE(ParseReadReport(test::SlurpFile(ReadReportPath(record)), report, problem))
        << problem;
    return report;
  }

  std::string Folder(const std::string& name) {
    std::string path = dir_.File(name);
    std::filesystem::create_directories(path);
    return path;
  }

  test::TempDir dir_;
};

// What each kind of recording tells, in its report and in qbd.
TEST_F(Audit, ReportsTellSessionsOverwrittenAndFullCards) {
  std::string folder = Folder("recordings");
  const struct {
    const char* name;
    uint32_t sectors;
    bool ring;
    int sessions;
    Answer overwritten;
    Answer full;
  } cases[] = {
      {"switched off and on", 400, false, 3, Answer::kNo, Answer::kNo},
      {"ring that wrapped", 40, true, 4, Answer::kYes, Answer::kNo},
      {"linear card that ran full", 12, false, 2, Answer::kNo, Answer::kYes},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string record = folder + "/LOG" + std::to_string(++n) + ".qbd";
    ProgramResult read = Read(Card("card.img", c.sectors, c.ring, c.sessions), record);
    ASSERT_EQ(read.status, 0) << read.err;
    ReadReport report = Report(record);
    EXPECT_EQ(report.fileName, "LOG" + std::to_string(n) + ".qbd");
    EXPECT_EQ(report.fileSize, std::filesystem::file_size(record));
    EXPECT_EQ(report.cardId, "card.img");
    EXPECT_EQ(report.overwritten, c.overwritten);
    EXPECT_EQ(report.cardFull, c.full);
    EXPECT_EQ(report.manipulated, 0u);
    if (c.overwritten == Answer::kNo) {
      // Every switching-on is there, each with its lines.
      EXPECT_EQ(report.sessionCount, static_cast<uint64_t>(c.sessions));
      uint64_t lines = report.linesBeforeFirstSession;
      for (const RecordingSession& session : report.sessions) lines += session.lines;
      EXPECT_EQ(lines, report.lines);
    } else {
      // The oldest sessions went with the overwritten sectors.
      EXPECT_LT(report.sessionCount, static_cast<uint64_t>(c.sessions));
      EXPECT_GT(report.linesBeforeFirstSession, 0u);
    }
    ProgramResult info = Run("qbd", {"info", "--json", record});
    EXPECT_NE(info.out.find("\"sessions\":" + std::to_string(report.sessionCount)),
              std::string::npos)
        << info.out;
  }
  ProgramResult verify = Run("qbd", {"verify", "--require-report", "--dir", folder});
  EXPECT_EQ(verify.status, 0) << verify.out;
  EXPECT_NE(verify.out.find("LOG2.qbd: passed (older printouts overwritten before the read; "
                            "matches its read report)"),
            std::string::npos)
      << verify.out;
  EXPECT_NE(verify.out.find("LOG3.qbd: passed (card was full;"), std::string::npos);
  EXPECT_NE(verify.out.find("3 files: 3 passed, 0 failed, 0 not record files, 0 unreadable\n"),
            std::string::npos);
}

// A damaged sector ends an ordinary read without leaving a file; a rescue
// read skips it, marks the gap, and says so in the report and in qbd.
TEST_F(Audit, RescueReadSkipsDamagedSectors) {
  std::string image = Card("card.img", 60, false, 1, {"--damage", "6", "--damage", "7"});
  std::string record = dir_.File("LOG.qbd");
  ProgramResult read = Read(image, record);
  EXPECT_EQ(read.status, 1);
  EXPECT_NE(read.err.find("Reading record sector 6"), std::string::npos) << read.err;
  EXPECT_FALSE(std::filesystem::exists(record));
  EXPECT_FALSE(std::filesystem::exists(ReadReportPath(record)));

  read = Read(image, record, {"rescue=1"});
  ASSERT_EQ(read.status, 0) << read.err;
  ReadReport report = Report(record);
  EXPECT_TRUE(report.rescue);
  ASSERT_EQ(report.skipped.size(), 1u);
  EXPECT_EQ(report.skipped[0].firstSector, 6u);
  EXPECT_EQ(report.skipped[0].sectors, 2u);
  ProgramResult verify = Run("qbd", {"verify", "--dir", dir_.path()});
  EXPECT_EQ(verify.status, 0) << verify.out;
  EXPECT_NE(verify.out.find("LOG.qbd: passed (sectors skipped by a rescue read: 2;"),
            std::string::npos)
      << verify.out;
  // The listing names the gap too.
  Ok("readcard", {"driver=" + image, "prompt=0", "recordoutput=" + dir_.File("list.txt"),
                  "format=ascii", "rescue=1"});
  EXPECT_NE(test::SlurpFile(dir_.File("list.txt")).find("CTRL (unreadable)"), std::string::npos);

  // A report needs a binary record file, and never replaces it.
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"recordoutput=" + dir_.File("l.txt"), "format=ascii",
                                 "reportoutput=" + dir_.File("r.json")},
        std::vector<std::string>{"recordoutput=" + record, "reportoutput=" + record}}) {
    std::vector<std::string> args = {"driver=" + image, "prompt=0"};
    args.insert(args.end(), wrong.begin(), wrong.end());
    ProgramResult refused = Run("readcard", args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("reportoutput"), std::string::npos) << refused.err;
  }
}

// Changes after the read show: a changed record, a changed report, a
// signature of another key; bad reports and keys give one line each.
TEST_F(Audit, ChangesAfterTheReadAndSignatures) {
  std::string folder = Folder("audit");
  std::string image = Card("card.img", 100, false, 2);
  std::string other_card = Card("other.img", 100, false, 1);
  std::vector<std::string> records;
  for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
    records.push_back(folder + "/" + name + ".qbd");
    ASSERT_EQ(Read(*name == 'e' ? other_card : image, records.back()).status, 0);
  }
  std::string lab = dir_.Write("lab.pem", kLabKey);
  std::string lab_public = dir_.Write("lab.pub", kLabPublicKey);
  std::string other_public = dir_.Write("other.pub", kOtherPublicKey);
  ProgramResult sign = Run("qbd", {"sign", "--key", lab, records[0], records[1], records[2]});
  ASSERT_EQ(sign.status, 0) << sign.err;
  EXPECT_TRUE(std::filesystem::exists(folder + "/a.qbd.report.sig"));

  // b: a byte of a printed line changed afterwards.
  std::string bytes = test::SlurpFile(records[1]);
  size_t at = bytes.find("Date ");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'd';
  dir_.Write("audit/b.qbd", bytes);
  // c: its report edited to fit a changed file: the signature no longer does.
  std::string report = test::SlurpFile(ReadReportPath(records[2]));
  report.replace(report.find("\"sha256\": \"") + 11, 4, "0000");
  dir_.Write("audit/c.qbd.report.json", report);
  // d: a report that is no JSON; e: the report of another recording; f: no
  // report.
  const std::string d_report = test::SlurpFile(ReadReportPath(records[3]));
  dir_.Write("audit/d.qbd.report.json", "not json");
  dir_.Write("audit/e.qbd.report.json", test::SlurpFile(ReadReportPath(records[0])));
  std::filesystem::remove(ReadReportPath(records[5]));
  dir_.Write("audit/notes.txt", "not a record file, not looked at");
  dir_.Write("audit/x.qbd", std::string(100, 'x'));

  ProgramResult verify = Run("qbd", {"verify", "--dir", folder});
  EXPECT_EQ(verify.status, 1);  // x.qbd is no record file
  for (const char* line :
       {"a.qbd: passed (matches its read report)\n",
        "b.qbd: FAILED: manipulated records 1 (lines 5); changed since its read report\n",
        "c.qbd: FAILED: changed since its read report\n",
        "d.qbd: FAILED: read report unusable: not JSON (",
        "e.qbd: FAILED: read report of another file (a.qbd)\n", "f.qbd: passed\n",
        "x.qbd: not a record file (File has wrong format. (Not a Quillbank file.))\n",
        "7 files: 2 passed, 4 failed, 1 not record files, 0 unreadable\n"}) {
    EXPECT_NE(verify.out.find(line), std::string::npos) << line << "\n" << verify.out;
  }
  EXPECT_EQ(verify.out.find("notes.txt"), std::string::npos);

  // Signatures: the lab's key passes what it signed; another key does not,
  // nor an unsigned report; a signature of the wrong length is named.
  dir_.Write("audit/d.qbd.report.sig", std::string(10, 's'));
  dir_.Write("audit/d.qbd.report.json", d_report);
  ProgramResult checked =
      Run("qbd", {"verify", "--pubkey", lab_public, records[0], records[3], records[4]});
  EXPECT_EQ(checked.status, 2);
  EXPECT_NE(checked.out.find("a.qbd: passed (matches its read report; signature valid)"),
            std::string::npos)
      << checked.out;
  EXPECT_NE(checked.out.find("d.qbd: FAILED: signature unusable: signature of 10 bytes, not 64 "
                             "(matches its read report)\n"),
            std::string::npos)
      << checked.out;
  EXPECT_NE(checked.out.find("e.qbd: FAILED: read report of another file (a.qbd); not signed"),
            std::string::npos);
  ProgramResult wrong = Run("qbd", {"verify", "--pubkey", other_public, records[0]});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.out.find("signature: wrong"), std::string::npos) << wrong.out;
  EXPECT_NE(wrong.out.find("  signature does not match\n"), std::string::npos);

  // Keys that are not Ed25519 keys and folders that cannot be read.
  ProgramResult bad_key = Run("qbd", {"verify", "--pubkey", lab, records[0]});
  EXPECT_EQ(bad_key.status, 1);
  EXPECT_NE(bad_key.err.find("is not an Ed25519 public key"), std::string::npos) << bad_key.err;
  ProgramResult bad_sign = Run("qbd", {"sign", "--key", lab_public, records[0]});
  EXPECT_EQ(bad_sign.status, 1);
  EXPECT_NE(bad_sign.err.find("is not an Ed25519 private key"), std::string::npos);
  ProgramResult no_folder =
      Run("qbd", {"verify", "--json", "--dir", dir_.File("missing"), "--dir", records[0]});
  EXPECT_EQ(no_folder.status, 1);
  EXPECT_NE(
      no_folder.out.find("\"result\":\"unreadable\",\"reason\":\"No such file or directory\""),
      std::string::npos)
      << no_folder.out;
  EXPECT_NE(no_folder.out.find("\"reason\":\"Not a directory\""), std::string::npos);
  EXPECT_NE(no_folder.out.find("\"summary\":{\"files\":2,\"passed\":0,\"failed\":0,"
                               "\"notRecordFiles\":0,\"unreadable\":2}"),
            std::string::npos);
}

}  // namespace
}  // namespace qb
