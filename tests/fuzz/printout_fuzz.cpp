// Reads any bytes as a recording's printout: the first byte chooses the
// printer (model, character table, paper), the second how the rest is cut
// into lines (every fifth manipulated). Every page laid out alone from its
// kept start must be the page the whole pass gave; the text, the page of
// each line and the items' own bounds are worked out too. Nothing may
// crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "printout/printout_layout.h"
#include "printout/printout_text.h"
#include "support/printout_pages.h"

namespace {

bool SamePage(const qb::Page& a, const qb::Page& b) {
  if (a.end != b.end || a.height != b.height || a.texts.size() != b.texts.size() ||
      a.images.size() != b.images.size() || a.rules.size() != b.rules.size() ||
      a.marks.size() != b.marks.size() || a.lines.size() != b.lines.size())
    return false;
  for (size_t i = 0; i < a.texts.size(); ++i) {
    if (a.texts[i].text != b.texts[i].text || a.texts[i].x != b.texts[i].x ||
        a.texts[i].y != b.texts[i].y || a.texts[i].origin.line != b.texts[i].origin.line)
      return false;
  }
  for (size_t i = 0; i < a.images.size(); ++i) {
    if (a.images[i].bits != b.images[i].bits || a.images[i].x != b.images[i].x ||
        a.images[i].y != b.images[i].y)
      return false;
  }
  for (size_t i = 0; i < a.lines.size(); ++i) {
    if (a.lines[i].origin.line != b.lines[i].origin.line ||
        a.lines[i].anchorY != b.lines[i].anchorY || a.lines[i].top != b.lines[i].top)
      return false;
  }
  return true;
}

void CheckItems(const qb::Page& page, int lines) {
  for (const qb::BitImage& image : page.images) {
    if (image.columns <= 0 || image.stride % 4 != 0 || image.columns > image.stride * 8 ||
        image.bits.size() != static_cast<size_t>(image.stride) * static_cast<size_t>(image.rows))
      __builtin_trap();
    if (image.origin.line < 0 || image.origin.line >= lines) __builtin_trap();
  }
  for (const qb::TextRun& run : page.texts) {
    if (run.text.empty() || run.origin.line < 0 || run.origin.line >= lines) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  qb::PrintoutSettings settings;
  settings.model = (data[0] & 1) ? qb::PrinterModel::kTwentyFourPin : qb::PrinterModel::kNinePin;
  settings.table = static_cast<qb::CharacterTable>((data[0] >> 1) % 6);
  settings.paper = static_cast<qb::Paper>((data[0] >> 4) % 3);
  const size_t piece = 1 + data[1] % 97;
  std::vector<qb::test::PrintoutLine> lines;
  for (size_t at = 2; at < size; at += piece) {
    lines.push_back(
        {std::string(reinterpret_cast<const char*>(data + at), std::min(piece, size - at)),
         lines.size() % 5 == 4});
  }
  qb::test::MemoryPrintout source(lines);

  std::vector<qb::Page> whole = qb::test::PrintPages(source, settings);
  for (const qb::Page& page : whole) CheckItems(page, source.LineCount());

  qb::PrintoutLayout layout(source, settings);
  if (!layout.Paginate()) __builtin_trap();
  if (layout.PageCount() != static_cast<int>(whole.size())) __builtin_trap();
  const int pages = layout.PageCount();
  for (int k = 0; k < pages; k += (pages > 64 ? pages / 16 : 1)) {
    qb::Page page;
    if (!layout.LayoutPage(k, page) || !SamePage(page, whole[static_cast<size_t>(k)]))
      __builtin_trap();
  }
  for (int line = 0; line < source.LineCount(); ++line) {
    int page = layout.PageOfLine(line);
    if (pages > 0 && (page < 0 || page >= pages)) __builtin_trap();
  }

  size_t text = 0;
  qb::WritePrintoutText(source, settings, [&text](const std::string& part) {
    text += part.size();
    return true;
  });
  return 0;
}
