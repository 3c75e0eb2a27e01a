// Pages laid out on demand: every page laid out alone from its kept start
// is the page the whole pass gave, also where pages begin inside a line, in
// the middle of a wrapped line, after blank pages, and when the starts have
// been thinned out; the page of a line; stopping the pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printout/printout_layout.h"
#include "support/printout_pages.h"

namespace qb {
namespace {

using test::MemoryPrintout;
using test::PrintoutLine;

void ExpectSamePage(const Page& a, const Page& b) {
  EXPECT_EQ(a.end, b.end);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  ASSERT_EQ(a.texts.size(), b.texts.size());
  for (size_t i = 0; i < a.texts.size(); ++i) {
    EXPECT_EQ(a.texts[i].text, b.texts[i].text) << i;
    EXPECT_EQ(a.texts[i].x, b.texts[i].x) << i;
    EXPECT_EQ(a.texts[i].y, b.texts[i].y) << i;
    EXPECT_EQ(a.texts[i].advance, b.texts[i].advance) << i;
    EXPECT_EQ(a.texts[i].origin.line, b.texts[i].origin.line) << i;
  }
  ASSERT_EQ(a.images.size(), b.images.size());
  for (size_t i = 0; i < a.images.size(); ++i) {
    EXPECT_EQ(a.images[i].x, b.images[i].x) << i;
    EXPECT_EQ(a.images[i].y, b.images[i].y) << i;
    EXPECT_EQ(a.images[i].columns, b.images[i].columns) << i;
    EXPECT_EQ(a.images[i].bits, b.images[i].bits) << i;
    EXPECT_EQ(a.images[i].origin.line, b.images[i].origin.line) << i;
  }
  EXPECT_EQ(a.rules.size(), b.rules.size());
  EXPECT_EQ(a.marks.size(), b.marks.size());
  ASSERT_EQ(a.lines.size(), b.lines.size());
  for (size_t i = 0; i < a.lines.size(); ++i) {
    EXPECT_EQ(a.lines[i].origin.line, b.lines[i].origin.line) << i;
    EXPECT_EQ(a.lines[i].anchorX, b.lines[i].anchorX) << i;
    EXPECT_EQ(a.lines[i].anchorY, b.lines[i].anchorY) << i;
    EXPECT_EQ(a.lines[i].top, b.lines[i].top) << i;
    EXPECT_EQ(a.lines[i].bottom, b.lines[i].bottom) << i;
  }
}

TEST(PrintoutLayout, EachPageAloneIsThePageOfTheWholePass) {
  const std::string strip = std::string("\x1BK\x08\x00", 4) + std::string(8, '\x5A');
  const struct {
    const char* name;
    std::vector<PrintoutLine> lines;
  } cases[] = {
      {"form feeds between lines", {{"page one\r\n"}, {"\f"}, {"page two\r\n"}, {"\f"}}},
      {"form feed inside a line", {{"one\fTWO\r\nthree"}, {"four\fFIVE"}}},
      {"page ends while a line wraps",
       {{"\x1B"
         "C\x03\x1BQ\x04"
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {"abc"}}},
      {"blank pages inside one feed",
       {{"\x1B"
         "C\x01"
         "A\x1B"
         "A\xFF"},
        {"\nB\x1B"
         "A\x30\n"},
        {"C"}}},
      {"graphic across lines and pages",
       {{"\x1B"
         "C\x02\x1B"
         "3\x18" +
         strip + "\r\n" + strip},
        {"\r\n" + strip, true},
        {"\r\n" + strip + "\r\nend"}}},
      {"sequence split at a page end",
       {{"\x1B"
         "C\x02"
         "x\x1B"},
        {"J"},
        {"\xFFy\x1BJ\xFFz"}}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    MemoryPrintout source(row.lines);
    std::vector<Page> whole = test::PrintPages(source);
    PrintoutLayout layout(source, {});
    ASSERT_TRUE(layout.Paginate());
    ASSERT_EQ(layout.PageCount(), static_cast<int>(whole.size()));
    ASSERT_GT(layout.PageCount(), 1);
    for (int k = 0; k < layout.PageCount(); ++k) {
      SCOPED_TRACE(k);
      Page page;
      ASSERT_TRUE(layout.LayoutPage(k, page));
      ExpectSamePage(page, whole[static_cast<size_t>(k)]);
    }
    Page none;
    EXPECT_FALSE(layout.LayoutPage(layout.PageCount(), none));
    EXPECT_FALSE(layout.LayoutPage(-1, none));
    // The pages from one on, in one run.
    for (int first : {0, layout.PageCount() - 1}) {
      int next = first;
      EXPECT_TRUE(layout.ForEachPage(first, [&](int index, Page& page) {
        EXPECT_EQ(index, next);
        ExpectSamePage(page, whole[static_cast<size_t>(index)]);
        ++next;
        return true;
      }));
      EXPECT_EQ(next, layout.PageCount());
    }
    EXPECT_FALSE(layout.ForEachPage(layout.PageCount(), [](int, Page&) { return true; }));
  }
}

TEST(PrintoutLayout, ThinnedStartsStillLayOutEveryPage) {
  // More pages than starts kept: every other start is dropped, more than
  // once, and each page is laid out from the start before it.
  const int pages = static_cast<int>(PrintoutLayout::kMaxStarts) * 2 + 5;
  std::vector<PrintoutLine> lines;
  for (int i = 0; i < pages; ++i) lines.push_back({i % 3 == 0 ? "X\f" : "\f"});
  MemoryPrintout source(lines);
  PrintoutLayout layout(source, {});
  ASSERT_TRUE(layout.Paginate());
  EXPECT_EQ(layout.PageCount(), pages);
  EXPECT_GE(layout.step(), 4u);
  EXPECT_LE(layout.MemoryUsed(), (PrintoutLayout::kMaxStarts + 1) * sizeof(PageStart));
  for (int k : {0, 1, 2, 3, 1001, 65535, 65536, pages - 1}) {
    SCOPED_TRACE(k);
    Page page;
    ASSERT_TRUE(layout.LayoutPage(k, page));
    if (k % 3 == 0) {
      ASSERT_EQ(page.texts.size(), 1u);
      EXPECT_EQ(page.texts[0].origin.line, k);
    } else {
      EXPECT_TRUE(page.Empty());
    }
    EXPECT_EQ(layout.PageOfLine(k), k);
  }
  // A run from a page between two kept starts begins with that page and
  // stops when asked.
  std::vector<int> visited;
  EXPECT_TRUE(layout.ForEachPage(65537, [&visited](int index, Page& page) {
    visited.push_back(index);
    EXPECT_EQ(page.texts.empty(), index % 3 != 0);
    return visited.size() < 3;
  }));
  EXPECT_EQ(visited, (std::vector<int>{65537, 65538, 65539}));
}

TEST(PrintoutLayout, PageOfLineIsWhereItsFirstByteIsRead) {
  MemoryPrintout source({{"a\r\n"}, {"b\fc"}, {"d\r\n"}, {"\f"}, {"e"}, {""}});
  PrintoutLayout layout(source, {});
  ASSERT_TRUE(layout.Paginate());
  ASSERT_EQ(layout.PageCount(), 3);
  const int expected[] = {0, 0, 1, 1, 2, 2};
  for (int line = 0; line < 6; ++line) EXPECT_EQ(layout.PageOfLine(line), expected[line]) << line;
  EXPECT_EQ(layout.PageOfLine(6), -1);
  EXPECT_EQ(layout.PageOfLine(-1), -1);
}

TEST(PrintoutLayout, AStoppedPassHoldsNoPages) {
  std::vector<PrintoutLine> lines(2000, {"line\r\n"});
  MemoryPrintout source(lines);
  PrintoutLayout layout(source, {});
  int asked = 0;
  EXPECT_FALSE(layout.Paginate([&asked](int line) {
    ++asked;
    return line < 1000;
  }));
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(layout.PageCount(), 0);
  Page page;
  EXPECT_FALSE(layout.LayoutPage(0, page));
  EXPECT_EQ(layout.PageOfLine(0), -1);
  ASSERT_TRUE(layout.Paginate());
  EXPECT_EQ(layout.PageCount(), 29);  // 2000 lines of 1/6 inch on A4 pages
}

}  // namespace
}  // namespace qb
