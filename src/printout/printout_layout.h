// A recording's printout as pages, laid out on demand: one pass over the
// recording notes where each page begins (the printer's state and the line
// and byte reading goes on from), and a page is laid out from its start
// when it is shown. Memory stays flat in the recording's size: the starts
// are small, and when they would outgrow their table every other one is
// dropped (a page is then laid out from the start before it, running
// through the pages between without keeping their items).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "printout/page_items.h"
#include "printout/printer_interpreter.h"
#include "printout/printout_settings.h"
#include "printout/printout_source.h"

namespace qb {

class PrintoutLayout {
 public:
  // Starts kept at most (about 6 MB).
  static constexpr size_t kMaxStarts = size_t{1} << 15;
  // Lines between two questions whether to go on.
  static constexpr int kProgressLines = 256;

  PrintoutLayout(PrintoutSource& source, const PrintoutSettings& settings);

  // Reads the whole recording and notes where each page begins.
  // `keep_going`, asked every kProgressLines lines with the line reached,
  // stops the pass when it returns false: the pass then returns false and
  // the layout holds no pages.
  bool Paginate(const std::function<bool(int line)>& keep_going = {});

  // Pages of the last complete pass (0 when nothing was printed); while a
  // pass runs, the pages it has completed.
  int PageCount() const { return page_count_; }

  // Lays out page `index` (from 0) into `page`; false when there is none.
  bool LayoutPage(int index, Page& page);

  // Lays out the pages from `first` on in one run and hands each to `visit`
  // with its index, until the pages end or `visit` returns false (the page
  // may be taken). False when there is no page `first`.
  bool ForEachPage(int first, const std::function<bool(int index, Page& page)>& visit);

  // The page on which the first byte of `line` is read (the last page for a
  // line after everything printed); -1 when there is no such line or page.
  int PageOfLine(int line);

  // For measurements and tests: pages between two kept starts, and the
  // memory the starts take.
  uint32_t step() const { return step_; }
  size_t MemoryUsed() const { return starts_.capacity() * sizeof(PageStart); }

 private:
  PrintoutSource& source_;
  PrintoutSettings settings_;
  std::vector<PageStart> starts_;  // starts_[i]: where page i * step_ begins
  uint32_t step_ = 1;
  int page_count_ = 0;

  // Runs the interpreter from `start` to the end of the recording or until
  // `sink` stops it.
  void Run(const PageStart& start, PageSink& sink);
  // The index of the last kept start at or before the beginning of `line`.
  size_t StartBefore(int line) const;
};

// Whether reading from `start` begins at or before the first byte of
// `line`.
bool StartsAtOrBefore(const PageStart& start, int line);

}  // namespace qb
