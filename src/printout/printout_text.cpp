#include "printout/printout_text.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "printout/printout_units.h"

namespace qb {
namespace {

constexpr int32_t kTextLine = InchSteps(1, 6);

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Line breaks for a distance of paper, 1/6 inch to a line, rounded.
int32_t LinesFor(int64_t distance) {
  return distance <= 0 ? 0 : static_cast<int32_t>((distance + kTextLine / 2) / kTextLine);
}

// A line of the text: a printed line or a graphic.
struct TextLine {
  int32_t y = 0;
  int32_t end = 0;  // where the distance to the next line is measured from
  std::string text;
  bool manipulated = false;
};

// One thing on the page, at its print line.
struct Entry {
  int32_t y;
  int32_t x;
  const TextRun* run;
  const BitImage* image;
};

// The characters of one print line in columns, from the printer's first
// column on; a character printed over another is left out.
std::string RowText(const std::vector<const TextRun*>& runs, int32_t left_edge, bool& manipulated) {
  std::string text;
  int32_t cursor = left_edge;
  for (const TextRun* run : runs) {
    manipulated = manipulated || run->origin.manipulated;
    const int32_t advance = std::max(run->advance, 1);
    for (size_t i = 0; i < run->text.size(); ++i) {
      const int32_t x = run->x + static_cast<int32_t>(i) * advance;
      if (x + advance / 2 < cursor) continue;
      const int32_t blanks = x > cursor ? (x - cursor + advance / 2) / advance : 0;
      text.append(static_cast<size_t>(blanks), ' ');
      AppendUtf8(text, run->text[i]);
      cursor = x + advance;
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

PrintoutTextWriter::PrintoutTextWriter(const PrintoutSettings& settings,
                                       std::function<bool(const std::string&)> write)
    : write_(std::move(write)),
      left_edge_(TenthsOfMmToUnits(std::clamp(settings.leftMargin, 0, kMaxLeftMargin))) {}

std::string PrintoutTextWriter::PageText(const Page& page) {
  std::vector<Entry> entries;
  entries.reserve(page.texts.size() + page.images.size());
  for (const TextRun& run : page.texts) entries.push_back({run.lineTop, run.x, &run, nullptr});
  for (const BitImage& image : page.images) entries.push_back({image.y, image.x, nullptr, &image});
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });

  std::vector<TextLine> lines;
  // The graphic being gathered: images whose rows touch or overlap.
  bool graphic = false;
  size_t graphic_line = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0, pitch_x = 1, pitch_y = 1;
  auto close_graphic = [&]() {
    if (!graphic) return;
    graphic = false;
    const int32_t width = (right - left + pitch_x / 2) / pitch_x;
    const int32_t height = (bottom - top + pitch_y / 2) / pitch_y;
    TextLine& line = lines[graphic_line];
    line.text = "[graphic " + std::to_string(width) + "x" + std::to_string(height) + "]";
    line.end = std::max(top, bottom - kTextLine);
  };

  std::vector<const TextRun*> runs;
  for (size_t i = 0; i < entries.size();) {
    const int32_t y = entries[i].y;
    runs.clear();
    bool images = false;
    for (; i < entries.size() && entries[i].y == y; ++i) {
      const Entry& entry = entries[i];
      if (entry.run != nullptr) {
        runs.push_back(entry.run);
        continue;
      }
      const BitImage& image = *entry.image;
      if (graphic && y > bottom) close_graphic();
      if (!graphic) {
        graphic = true;
        graphic_line = lines.size();
        lines.push_back({y, y, std::string(), false});
        left = image.x;
        top = image.y;
        right = image.x + image.Width();
        bottom = image.y + image.Height();
        pitch_x = std::max(image.dotPitchX, 1);
        pitch_y = std::max(image.dotPitchY, 1);
      }
      left = std::min(left, image.x);
      right = std::max(right, image.x + image.Width());
      bottom = std::max(bottom, image.y + image.Height());
      lines[graphic_line].manipulated = lines[graphic_line].manipulated || image.origin.manipulated;
      images = true;
    }
    if (graphic && !images && y >= bottom) close_graphic();
    if (!runs.empty()) {
      TextLine line{y, y, std::string(), false};
      line.text = RowText(runs, left_edge_, line.manipulated);
      lines.push_back(std::move(line));
    }
  }
  close_graphic();

  std::string out;
  const std::string warning = LoadMessage(msg::kManipulated);
  for (size_t k = 0; k < lines.size(); ++k) {
    const TextLine& line = lines[k];
    int32_t breaks = 0;
    if (k == 0) {
      const int64_t distance = int64_t{pending_} + line.y;
      breaks = after_line_ ? std::max(1, LinesFor(distance)) - 1 : LinesFor(distance);
    } else {
      breaks = std::max(1, LinesFor(int64_t{line.y} - lines[k - 1].end)) - 1;
    }
    out.append(static_cast<size_t>(breaks), '\n');
    if (line.manipulated) out += warning + "\n";
    out += line.text + "\n";
  }
  switch (page.end) {
    case PageEnd::kFormFeed:
      out += '\f';
      pending_ = 0;
      after_line_ = false;
      break;
    case PageEnd::kOverflow:
      if (lines.empty()) {
        pending_ += page.height;
      } else {
        pending_ = page.height - lines.back().end;
        after_line_ = true;
      }
      break;
    case PageEnd::kRecordingEnd:
      break;
  }
  return out;
}

bool PrintoutTextWriter::PageDone(Page& page, const PageStart&) {
  if (!write_(PageText(page))) failed_ = true;
  return !failed_;
}

bool WritePrintoutText(PrintoutSource& source, const PrintoutSettings& settings,
                       const std::function<bool(const std::string&)>& write) {
  PrintoutTextWriter writer(settings, write);
  PrinterInterpreter interpreter(settings, writer);
  source.Seek(0);
  LineBytes bytes;
  for (int line = 0; source.Next(bytes); ++line) {
    if (!interpreter.FeedLine({line, bytes.manipulated}, bytes.data, bytes.size)) break;
  }
  interpreter.Finish();
  return !writer.failed();
}

}  // namespace qb
