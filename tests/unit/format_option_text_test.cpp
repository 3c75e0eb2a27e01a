#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "format/master_block.h"
#include "format/option_text.h"
#include "support/scoped_env.h"

namespace qb {
namespace {

// Runs each test in a known time zone and restores the previous one.
class FormatOptionText : public testing::Test {
 protected:
  void SetUp() override {
    env_.emplace();
    UseZone("UTC");
  }
  void TearDown() override {
    env_.reset();  // the zone the process had
    tzset();
  }
  void UseZone(const char* zone) {
    env_->Set("TZ", zone);
    tzset();
  }

 private:
  std::optional<test::ScopedEnv> env_;
};

constexpr std::time_t kMonDec07 = 1796681194;  // 2026-12-07 22:06:34 UTC

TEST_F(FormatOptionText, KnownSettingsGiveTheExactText) {
  MasterBlock block;
  block.master = 0x0A3B1C2Du;
  block.firstData = 3;
  block.sectors = 15680;
  block.flags = 3;
  block.baudrate = 9600;
  block.parameterCode = 0x0023;
  block.protocolCode = 0;
  block.timeout = 1000;
  EXPECT_EQ(BuildOptionText(block, kMonDec07),
            "# option file created by READCARD\n"
            "# read date: Mon Dec 07 22:06:34 2026\n"
            "# master number: 0A3B1C2D\n"
            "\n"
            "cardsize=15680\n"
            "baudrate=9600\n"
            "parameter=7E1\n"
            "protocol=0x3685E294\n"
            "timeout=1000\n"
            "memoryfull=overwrite_old\n"
            "rtscontrol=outofmemory\n"
            "\n");
}

TEST_F(FormatOptionText, UnknownCodesAndLargeValues) {
  MasterBlock block;
  block.master = 0xFFFFFFFFu;
  block.sectors = 0xFFFFFFFFu;
  block.flags = 0;
  block.baudrate = 500000;
  block.parameterCode = 0x0005;
  block.protocolCode = 2;
  block.timeout = 65535;
  EXPECT_EQ(BuildOptionText(block, 0),
            "# option file created by READCARD\n"
            "# read date: Thu Jan 01 00:00:00 1970\n"
            "# master number: FFFFFFFF\n"
            "\n"
            "cardsize=4294967295\n"
            "baudrate=500000\n"
            "parameter=???\n"
            "protocol=0x00000000\n"
            "timeout=65535\n"
            "memoryfull=stop_logger\n"
            "rtscontrol=recording\n"
            "\n");
}

TEST_F(FormatOptionText, ReadDateIsLocalTimeWithZeroPaddedDay) {
  const struct {
    const char* zone;
    std::time_t time;
    const char* date;
  } table[] = {
      {"UTC", 1772683629, "Thu Mar 05 04:07:09 2026"},
      {"UTC", kMonDec07, "Mon Dec 07 22:06:34 2026"},
      {"XST-3", kMonDec07, "Tue Dec 08 01:06:34 2026"},
      {"XST+5", 0, "Wed Dec 31 19:00:00 1969"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.date);
    UseZone(row.zone);
    std::string date = FormatReadDate(row.time);
    EXPECT_EQ(date, row.date);
    EXPECT_EQ(date.size(), 24u);
  }
}

// The reader's own lines after the settings read back as written; lines
// that are missing or do not parse give nothing.
TEST(FormatReadFacts, LinesReadBackAsWritten) {
  ReadFacts facts;
  facts.firstSector = 3;
  facts.lastSector = 4294967295u;
  facts.startSector = 812;
  facts.newestSector = 811;
  facts.overwritten = true;
  facts.rescue = true;
  std::string text = ReadFactsText(facts);
  EXPECT_EQ(text,
            "# sectors read: 812 to 811 of 3 to 4294967295\n"
            "# older printouts overwritten: yes\n"
            "# card full: no\n"
            "# rescue read: yes\n");
  auto parse = [](const std::string& bytes, ReadFacts& out) {
    return ParseReadFacts(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
  };
  ReadFacts back;
  ASSERT_TRUE(parse("cardsize=4000\n" + text, back));
  EXPECT_TRUE(back == facts);
  for (const std::string& bad :
       {std::string("cardsize=4000\n"), text.substr(0, text.rfind("# rescue")),
        "# sectors read: 1 to 2 of 3 to 4294967296\n" + text.substr(text.find('\n') + 1),
        "# sectors read: 1 to 2 of 3\n" + text.substr(text.find('\n') + 1),
        text.substr(0, text.find("yes")) + "perhaps" + text.substr(text.find("yes") + 3)}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parse(bad, back));
  }
}

}  // namespace
}  // namespace qb
