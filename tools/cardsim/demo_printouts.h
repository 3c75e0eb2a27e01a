// Printouts of laboratory instruments, made up but shaped like the real
// thing: weighing series of an analytical balance and titration reports,
// with their printer codes (ESC @ to reset the printer, ESC SI for condensed
// print, a form feed after each printout, now and then a BEL). Each line of
// a printout is one transmission; a printed line ends with CR LF, as an
// instrument sends it, while the reset, condensed print and form feed come
// as transmissions of their own without one. Everything follows from the
// seed and the printout's number, so a recording can be repeated byte for
// byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cardsim/transmissions.h"

namespace qb::cardsim {

// The lines of one printout, back to back.
struct PrintoutLines {
  std::vector<uint8_t> bytes;
  std::vector<size_t> ends;  // one past the last byte of each line

  size_t Count() const { return ends.size(); }
  size_t Begin(size_t line) const { return line == 0 ? 0 : ends[line - 1]; }
  size_t Length(size_t line) const { return ends[line] - Begin(line); }
};

// Replaces `lines` with printout `index` (from 0) of the series `seed`.
void BuildDemoPrintout(uint64_t seed, uint64_t index, PrintoutLines& lines);

// The lines of printouts 0 .. count-1, each framed as a transmission.
class DemoSource : public TransmissionSource {
 public:
  DemoSource(uint64_t printouts, uint64_t seed, bool can)
      : printouts_(printouts), seed_(seed), can_(can) {}
  bool Next(std::vector<uint8_t>& out) override;

 private:
  uint64_t printouts_;
  uint64_t seed_;
  bool can_;
  uint64_t nextPrintout_ = 0;
  size_t nextLine_ = 0;
  PrintoutLines lines_;
};

}  // namespace qb::cardsim
