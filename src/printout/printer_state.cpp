#include "printout/printer_state.h"

#include "printout/printout_units.h"

namespace qb {

PrinterState InitialPrinterState(const PrintoutSettings& settings) {
  PrinterState state;
  state.tables = {CharacterTable::kItalic, settings.table, settings.table, settings.table};
  state.pageLength = SizeOfPaper(settings.paper).height;
  state.bottomLimit = state.pageLength;
  state.lineSpacing = InchSteps(1, 6);
  state.rightMargin = InchSteps(8, 1);
  state.imageModes = {0, 1, 2, 3};
  return state;
}

}  // namespace qb
