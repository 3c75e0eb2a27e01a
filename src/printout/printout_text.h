// The printout as plain UTF-8 text, for searching and comparing with
// ordinary tools: the characters after the character table, each printed
// line on a line of its own (its columns kept with blanks), vertical
// spacing as blank lines (one per 1/6 inch), a page ended by a form feed
// as a form feed, and an area of bit images as one line "[graphic WxH]"
// (its width and height in dots). A printed line (or graphic) that holds
// what a manipulated line made is preceded by the warning text line.
// Underlines and margin marks are left out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "printout/page_items.h"
#include "printout/printer_interpreter.h"
#include "printout/printout_settings.h"
#include "printout/printout_source.h"

namespace qb {

// Turns pages into text as the interpreter completes them and hands the
// text on, a page at a time.
class PrintoutTextWriter : public PageSink {
 public:
  // `write` takes each page's text; false stops the writing.
  PrintoutTextWriter(const PrintoutSettings& settings,
                     std::function<bool(const std::string&)> write);

  bool PageDone(Page& page, const PageStart& next) override;

  // The text of `page`, following on from the pages before it.
  std::string PageText(const Page& page);
  bool failed() const { return failed_; }

 private:
  std::function<bool(const std::string&)> write_;
  int32_t left_edge_;        // the printer's first column on the sheet
  int32_t pending_ = 0;      // paper run since the last reference point
  bool after_line_ = false;  // that point is a printed line (else a page's top)
  bool failed_ = false;
};

// Interprets the whole recording and writes its text. False when `write`
// failed.
bool WritePrintoutText(PrintoutSource& source, const PrintoutSettings& settings,
                       const std::function<bool(const std::string&)>& write);

}  // namespace qb
