// Printouts in tests: lines held in memory as a printout source, and every
// page of a printout with its items.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "printout/printer_interpreter.h"
#include "printout/printout_source.h"

namespace qb::test {

struct PrintoutLine {
  std::string bytes;
  bool manipulated = false;
};

class MemoryPrintout : public PrintoutSource {
 public:
  explicit MemoryPrintout(std::vector<PrintoutLine> lines) : lines_(std::move(lines)) {}

  int LineCount() override { return static_cast<int>(lines_.size()); }
  void Seek(int line) override { next_ = line; }
  bool Next(LineBytes& line) override {
    if (next_ < 0 || next_ >= LineCount()) return false;
    const PrintoutLine& source = lines_[static_cast<size_t>(next_++)];
    line.data = reinterpret_cast<const uint8_t*>(source.bytes.data());
    line.size = source.bytes.size();
    line.manipulated = source.manipulated;
    return true;
  }

 private:
  std::vector<PrintoutLine> lines_;
  int next_ = 0;
};

// Keeps every page with its items.
class PageList : public PageSink {
 public:
  bool PageDone(Page& page, const PageStart&) override {
    pages.push_back(std::move(page));
    return true;
  }
  std::vector<Page> pages;
};

// The pages of the lines, each line valid.
inline std::vector<Page> PrintPages(const std::vector<std::string>& lines,
                                    const PrintoutSettings& settings = {}) {
  PageList list;
  PrinterInterpreter printer(settings, list);
  for (size_t i = 0; i < lines.size(); ++i) {
    printer.FeedLine({static_cast<int>(i), false},
                     reinterpret_cast<const uint8_t*>(lines[i].data()), lines[i].size());
  }
  printer.Finish();
  return std::move(list.pages);
}

// The pages of a source.
inline std::vector<Page> PrintPages(PrintoutSource& source, const PrintoutSettings& settings = {}) {
  PageList list;
  PrinterInterpreter printer(settings, list);
  source.Seek(0);
  LineBytes bytes;
  for (int line = 0; source.Next(bytes); ++line)
    printer.FeedLine({line, bytes.manipulated}, bytes.data, bytes.size);
  printer.Finish();
  return std::move(list.pages);
}

}  // namespace qb::test
