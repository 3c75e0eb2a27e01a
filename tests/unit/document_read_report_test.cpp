// The read report: made from one read of the record file, written as JSON,
// read back; reports that are no reports are refused with a reason.
#include <gtest/gtest.h>

#include <string>

#include "document/read_report.h"
#include "document/record_file_scan.h"
#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::RecordFileBuilder;

TEST(DocumentReadReport, WrittenAndReadBack) {
  test::TempDir dir;
  std::string path = dir.Write("LOG7.qbd", RecordFileBuilder()
                                               .Head("Lab \xE9 1")
                                               .Control(kControlStart)
                                               .Line("Date 2026-12-07 Time 10:00")
                                               .Line("x")
                                               .BreakChecksum()
                                               .AddNumbered(9, kKindData, test::Framed("y"))
                                               .End()
                                               .bytes());
  ASSERT_EQ(WriteReadReport(path, ReadReportPath(path)), 0);
  EXPECT_EQ(ReadReportPath(path), dir.File("LOG7.qbd.report.json"));
  std::string text;
  ASSERT_EQ(ReadReportFile(ReadReportPath(path), text), 0);
  ReadReport report;
  std::string problem;
  ASSERT_TRUE(ParseReadReport(text, report, problem)) << problem;

  RecordFileScan scan;
  ASSERT_EQ(ScanRecordFile(path, scan), 0);
  EXPECT_EQ(report.fileName, "LOG7.qbd");
  EXPECT_EQ(report.fileSize, scan.size);
  EXPECT_EQ(report.sha256, scan.sha256);
  EXPECT_TRUE(report.cardIdKnown);
  EXPECT_EQ(report.cardId, "Lab \xE9 1");
  EXPECT_EQ(report.masterNumber, "0000002A");
  EXPECT_EQ(report.readDate, "Mon Dec 07 22:06:34 2026");
  ASSERT_EQ(report.settings.size(), 7u);
  EXPECT_EQ(report.settings[2], (std::pair<std::string, std::string>("parameter", "7E1")));
  EXPECT_EQ(report.version, "1.0.3.1");
  EXPECT_EQ(report.records, 7u);
  EXPECT_EQ(report.lines, 3u);
  EXPECT_EQ(report.sessionCount, 1u);
  EXPECT_EQ(report.sessions, (std::vector<RecordingSession>{{3, 0, 3}}));
  EXPECT_EQ(report.overwritten, Answer::kYes);  // a ring file without "(init)"
  EXPECT_EQ(report.gaps, (std::vector<RecordGap>{{2, 6, 3}}));
  EXPECT_EQ(report.manipulatedLines, (std::vector<uint32_t>{1}));
  EXPECT_EQ(report.firstPrinted, "2026-12-07 10:00");
  // The text is stable: writing what was read gives the same text.
  EXPECT_EQ(ReadReportJson(report), text);
}

TEST(DocumentReadReport, WhatIsNoReportIsRefusedWithAReason) {
  ReadReport sound;
  sound.fileName = "a.qbd";
  sound.sha256 = std::string(64, 'a');
  sound.gaps = {{1, 2, 3}};
  const std::string text = ReadReportJson(sound);
  ReadReport report;
  std::string problem;
  ASSERT_TRUE(ParseReadReport(text, report, problem)) << problem;

  auto changed = [&](const std::string& from, const std::string& to) {
    std::string copy = text;
    size_t at = copy.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? copy : copy.replace(at, from.size(), to);
  };
  const struct {
    std::string text;
    const char* problem;
  } cases[] = {
      {"", "not JSON"},
      {"\x89PNG", "not JSON"},
      {"[1, 2]", "not a read report"},
      {changed("quillbank-read-report/1", "quillbank-read-report/2"), "not a read report"},
      {changed("\"recordFile\"", "\"file\""), "\"recordFile\" is missing"},
      {changed(std::string(64, 'a'), std::string(63, 'a')), "\"sha256\" is not a SHA-256"},
      {changed(std::string(64, 'a'), std::string(64, 'A')), "\"sha256\" is not a SHA-256"},
      {changed("\"size\": 0", "\"size\": -1"), "\"size\" is not a whole number"},
      {changed("\"overwritten\": \"unknown\"", "\"overwritten\": \"maybe\""),
       "\"overwritten\" is not yes, no or unknown"},
      {changed("\"missing\": 3", "\"missing\": 4294967296"),
       "\"gapList\" holds an entry of the wrong form"},
      {changed("\"name\": \"a.qbd\"", "\"name\": \"\\u0100\""), "\"name\" is not a text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_FALSE(ParseReadReport(c.text, report, problem));
    EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace qb
