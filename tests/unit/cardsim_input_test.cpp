#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cardsim/demo_printouts.h"
#include "cardsim/transmissions.h"
#include "support/temp_dir.h"

namespace qb::cardsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The block check as a reader verifies it: from the first STX, the XOR of
// every byte after it up to the next-to-last equals the last.
bool BlockCheckHolds(const Bytes& data) {
  size_t stx = 0;
  while (stx < data.size() && data[stx] != kStx) ++stx;
  if (stx + 1 >= data.size()) return false;
  uint8_t check = 0;
  for (size_t i = stx + 1; i + 1 < data.size(); ++i) check ^= data[i];
  return check == data.back();
}

std::vector<Bytes> Drain(TransmissionSource& source) {
  std::vector<Bytes> all;
  Bytes one;
  while (source.Next(one)) all.push_back(one);
  return all;
}

TEST(CardSimFraming, FramesTextWithStxOptionalCanEtxAndBlockCheck) {
  Bytes framed;
  FrameTransmission(B("AB").data(), 2, false, framed);
  EXPECT_EQ(framed, (Bytes{0x02, 'A', 'B', 0x03, 'A' ^ 'B' ^ 0x03}));
  FrameTransmission(B("AB").data(), 2, true, framed);
  EXPECT_EQ(framed, (Bytes{0x02, 0x18, 'A', 'B', 0x03, 0x18 ^ 'A' ^ 'B' ^ 0x03}));
  FrameTransmission(nullptr, 0, false, framed);
  EXPECT_EQ(framed, (Bytes{0x02, 0x03, 0x03}));
  // A text holding STX and ETX itself still checks from the framing STX.
  FrameTransmission(B("\x02x\x03").data(), 3, false, framed);
  EXPECT_TRUE(BlockCheckHolds(framed));
}

TEST(CardSimLineFile, OneTransmissionPerLineWithEscapes) {
  test::TempDir dir;
  const std::string path = dir.Write(
      "in.txt", "plain\n\\e@\r\n\nback\\\\slash \\x41\\x7f \\f\\a\\t\\r\\n\nlast without LF");
  LineFileSource source;
  ASSERT_TRUE(source.Open(path, false));
  std::vector<Bytes> texts;
  for (const Bytes& t : Drain(source)) {
    ASSERT_TRUE(BlockCheckHolds(t));
    texts.push_back(Bytes(t.begin() + 1, t.end() - 2));  // without STX, ETX, check
  }
  EXPECT_EQ(source.error(), "");
  const std::vector<Bytes> expected = {B("plain"), B("\x1B@"), B(""),
                                       B("back\\slash A\x7F \x0C\x07\t\r\n"), B("last without LF")};
  EXPECT_EQ(texts, expected);
}

TEST(CardSimLineFile, BadLinesAreReportedWithTheirNumber) {
  struct Case {
    const char* name;
    std::string content;
    const char* needle;
  };
  const Case cases[] = {
      {"unknown escape", "ok\nbad \\q\n", "line 2: unknown escape \\q"},
      {"unprintable escape", "\\\x01", "unknown escape \\<0x01>"},
      {"backslash at end", "ok\\\n", "line 1: backslash at the end"},
      {"short hex", "\\x4", "two hex digits"},
      {"bad hex", "\\xG0\n", "two hex digits"},
      {"too long", std::string(kMaxTransmission + 1, 'a'), "longer than 65536"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineFileSource source;
    ASSERT_TRUE(source.Open(dir.Write("bad.txt", c.content), false));
    Drain(source);
    EXPECT_NE(source.error().find(c.needle), std::string::npos) << source.error();
  }
  LineFileSource missing;
  EXPECT_FALSE(missing.Open(dir.File("none.txt"), false));
  EXPECT_NE(missing.error().find("none.txt"), std::string::npos);
}

TEST(CardSimRawFile, SplitsAfterTheBlockCheckAndKeepsEveryByte) {
  const std::string content = std::string(
                                  "\x02"
                                  "AB\x03"
                                  "C") +  // one frame
                              "noise\x02\x18"
                              "x\x03\x03"
                              "Z" +  // noise in front, CAN inside
                              "\x03\x02"
                              "\x03"
                              "\x02"
                              "\x7F" +  // ETX before STX does not end a frame
                              "\x02tail without end";
  test::TempDir dir;
  RawFileSource source;
  ASSERT_TRUE(source.Open(dir.Write("raw.bin", content)));
  const std::vector<Bytes> parts = Drain(source);
  EXPECT_EQ(source.error(), "");
  const std::vector<Bytes> expected = {B("\x02"
                                         "AB\x03"
                                         "C"),
                                       B("noise\x02\x18"
                                         "x\x03\x03"),
                                       B("Z\x03\x02\x03\x02"), B("\x7F\x02tail without end")};
  EXPECT_EQ(parts, expected);

  RawFileSource endless;
  ASSERT_TRUE(endless.Open(dir.Write("long.bin", "\x02" + std::string(kMaxTransmission, 'a'))));
  Drain(endless);
  EXPECT_NE(endless.error().find("no frame end"), std::string::npos) << endless.error();
}

TEST(CardSimDemo, PrintoutsAreRepeatableFramedAndCarryPrinterCodes) {
  PrintoutLines a, b;
  BuildDemoPrintout(7, 3, a);
  BuildDemoPrintout(7, 3, b);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.ends, b.ends);
  BuildDemoPrintout(8, 3, b);
  EXPECT_NE(a.bytes, b.bytes);

  // Over a run of printouts: each starts with ESC @ and ends with a form
  // feed, condensed print and the odd bell occur, every line is framed, and
  // each printed line ends with CR LF while the transmissions of printer
  // codes alone have none.
  DemoSource source(60, 7, true);
  size_t printouts = 0, condensed = 0, bells = 0;
  Bytes line;
  bool atStart = true;
  while (source.Next(line)) {
    ASSERT_GE(line.size(), 4u);
    ASSERT_EQ(line[0], kStx);
    ASSERT_EQ(line[1], kCan);
    ASSERT_EQ(line[line.size() - 2], kEtx);
    ASSERT_TRUE(BlockCheckHolds(line));
    ASSERT_LE(line.size(), 80u);
    const Bytes text(line.begin() + 2, line.end() - 2);
    if (atStart) {
      EXPECT_EQ(text, B("\x1B@"));
    }
    atStart = text == B("\x0C");
    printouts += atStart;
    const bool codesOnly = text == B("\x1B@") || text == B("\x1B\x0F") || text == B("\x0C");
    condensed += text == B("\x1B\x0F");
    bells += !text.empty() && text[0] == 0x07;
    const Bytes lineEnd = B("\r\n");
    const size_t ends = std::count(text.begin(), text.end(), '\n');
    if (codesOnly) {
      EXPECT_EQ(ends, 0u);
    } else {
      ASSERT_GE(text.size(), 2u);
      EXPECT_EQ(Bytes(text.end() - 2, text.end()), lineEnd);
      EXPECT_EQ(ends, 1u);
      EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1);
    }
  }
  EXPECT_EQ(printouts, 60u);
  EXPECT_EQ(condensed, 60u);
  EXPECT_GT(bells, 0u);
}

}  // namespace
}  // namespace qb::cardsim
