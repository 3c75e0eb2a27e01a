// The printout as text: characters after the table, columns, spacing as
// blank lines across page ends, graphics as one line, form feeds, and the
// warning line before what a manipulated line printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/messages.h"
#include "printout/printout_text.h"
#include "support/printout_pages.h"

namespace qb {
namespace {

using test::PrintoutLine;

std::string TextOf(const std::vector<PrintoutLine>& lines, const PrintoutSettings& settings = {}) {
  test::MemoryPrintout source(lines);
  std::string text;
  EXPECT_TRUE(WritePrintoutText(source, settings, [&text](const std::string& page) {
    text += page;
    return true;
  }));
  return text;
}

TEST(PrintoutText, ReadsAsThePrintedPage) {
  const std::string strip = std::string("\x1BK\x28\x00", 4) + std::string(40, '\xFF') + "\r\n";
  const std::string warning = LoadMessage(msg::kManipulated);
  const struct {
    const char* name;
    std::vector<PrintoutLine> lines;
    std::string text;
  } cases[] = {
      {"characters, columns and blank lines",
       {{"\x1B@Name: M\x81ller\r\n\r\n"},
        {"Total\t12,5 g\r\n"},
        {std::string("\x1B$\x3C\x00X\r\n", 7)}},
       "Name: M\xC3\xBCller\n\nTotal   12,5 g\n          X\n"},
      {"graphic strips as one line",
       {{"Plot\r\n\x1B"
         "3\x18" +
         strip},
        {strip + "\x1B"
                 "2End\r\n\f"}},
       "Plot\n[graphic 40x16]\nEnd\n\f"},
      {"manipulated line",
       {{"ok\r\n"}, {"bad\r\n", true}, {"fine\r\n"}},
       "ok\n" + warning + "\nbad\nfine\n"},
      {"spacing runs on across a page end",
       {{"\x1B"
         "C\x02"
         "A\r\n\r\n\r\nB\r\n"}},
       "A\n\n\nB\n"},
      {"form feeds end pages", {{"\fA\f\fB"}}, "\fA\n\f\fB\n"},
      {"overprinting keeps the first", {{"AB\rA_\r\n"}}, "AB\n"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TextOf(row.lines), row.text);
  }
  PrintoutSettings cp850;
  cp850.table = CharacterTable::kCp850;
  EXPECT_EQ(TextOf({{"\x9B\r\n"}}, cp850), "\xC3\xB8\n");
}

TEST(PrintoutText, AFailingWriteStopsTheText) {
  test::MemoryPrintout source({{"A\f"}, {"B\f"}, {"C\f"}});
  int pages = 0;
  EXPECT_FALSE(WritePrintoutText(source, {}, [&pages](const std::string&) {
    ++pages;
    return false;
  }));
  EXPECT_EQ(pages, 1);
}

}  // namespace
}  // namespace qb
