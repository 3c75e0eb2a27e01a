#include "cardsim/card_dump.h"

#include <algorithm>
#include <vector>

#include "cardsim/card_writer.h"
#include "format/byte_order.h"
#include "format/comment_sector.h"
#include "format/master_block.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb::cardsim {

namespace {

constexpr uint64_t kChunkSectors = 2048;
constexpr size_t kRecordsShown = 8;

unsigned long Ul(uint64_t value) {
  return static_cast<unsigned long>(value);
}

// The records of a data sector in a compact form: D<length> a data record,
// C(init) / C(start) / C(?) a control record, +<length> a continuation
// piece, K<kind>:<length> anything else, !<length> a length the reader
// refuses (the walk stops there).
std::string DescribeRecords(const uint8_t* sector) {
  const uint8_t* area = sector + kRecordAreaOffset;
  std::string text;
  size_t shown = 0, more = 0;
  char item[32];
  for (size_t offset = 0; offset <= kLastRecordStart;) {
    const uint16_t length = Get16(area + offset);
    const uint8_t kind = area[offset + 2];
    if (kind == kKindFree) break;
    if (length > kMaxCardRecordLength)
      std::snprintf(item, sizeof item, "!%u", length);
    else if (kind == kKindData)
      std::snprintf(item, sizeof item, "D%u", length);
    else if (kind == kKindContinuation)
      std::snprintf(item, sizeof item, "+%u", length);
    else if (kind == kKindControl && offset + 3 < kRecordAreaSize)
      std::snprintf(item, sizeof item, "C%s", ControlMarkerText(area[offset + 3]));
    else
      std::snprintf(item, sizeof item, "K%u:%u", kind, length);
    if (shown < kRecordsShown) {
      text += text.empty() ? "" : " ";
      text += item;
      ++shown;
    } else {
      ++more;
    }
    if (length > kMaxCardRecordLength) break;
    offset += RecordStep(length);
  }
  if (more > 0) text += " (+" + std::to_string(more) + " more)";
  return text.empty() ? "(empty)" : text;
}

void PrintComment(CardImage& image, const CardLayout& layout, std::FILE* out) {
  uint8_t sector[kSectorSize];
  if (layout.firstData <= kFirstCommentSector || !image.Read(kFirstCommentSector, sector) ||
      !IsRecordingSector(sector, layout) || sector[kCommentKindOffset] != kKindComment) {
    std::fprintf(out, "comment: none\n");
    return;
  }
  const CommentPiece piece = ReadCommentPiece(sector);
  std::string shown;
  for (size_t i = 0; i < piece.count && shown.size() < 60; ++i) {
    uint8_t c = piece.bytes[i];
    shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
  }
  std::fprintf(out, "comment: %u bytes in sectors 2..%lu: \"%s%s\"\n", piece.remaining,
               Ul(layout.firstData - 1), shown.c_str(), piece.count > shown.size() ? "..." : "");
}

}  // namespace

bool DumpCard(CardImage& image, std::FILE* out, std::string& error) {
  CardLayout layout;
  if (!ReadCardLayout(image, layout, error)) return false;
  uint8_t master[kSectorSize];
  MasterBlock block;
  if (!image.Read(kMasterSector, master) || !DecodeMasterBlock(master, block)) {
    error = image.error();
    return false;
  }
  std::fprintf(out, "image: %lu sectors\n", Ul(image.SectorCount()));
  std::fprintf(out,
               "master: number 0x%08lX, first data sector %lu, sectors in use %lu, %s memory "
               "(flags 0x%04X)\n",
               Ul(block.master), Ul(block.firstData), Ul(block.sectors),
               layout.ring ? "ring" : "linear", block.flags);
  std::fprintf(out,
               "settings: baud rate %lu, parameter code 0x%04X, protocol code %u, timeout %u\n",
               Ul(block.baudrate), block.parameterCode, block.protocolCode, block.timeout);
  PrintComment(image, layout, out);
  std::fprintf(out, "data sectors (sector, sequence number, fill level, records):\n");

  std::vector<uint8_t> chunk(kChunkSectors * kSectorSize);
  uint64_t outsideFrom = 0, outsideCount = 0;  // a run of sectors not of the recording
  auto endOutside = [&]() {
    if (outsideCount == 0) return;
    std::fprintf(out, "  %lu..%lu not of this recording (%lu sectors)\n", Ul(outsideFrom),
                 Ul(outsideFrom + outsideCount - 1), Ul(outsideCount));
    outsideCount = 0;
  };
  for (uint64_t first = layout.firstData; first <= layout.Last(); first += kChunkSectors) {
    const uint64_t count = std::min<uint64_t>(kChunkSectors, layout.Last() - first + 1);
    if (!image.ReadSectors(first, chunk.data(), count)) {
      error = image.error();
      return false;
    }
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* sector = chunk.data() + i * kSectorSize;
      const SectorHeader header = ReadSectorHeader(sector);
      if (header.master != layout.master) {
        if (outsideCount++ == 0) outsideFrom = first + i;
        continue;
      }
      endOutside();
      if (SectorWordSum(sector) != 0) {
        std::fprintf(out, "  %lu seq %lu checksum failure\n", Ul(first + i), Ul(header.sequence));
        continue;
      }
      const bool copy = (header.sequence & kAlternateSequenceBit) != 0;
      std::fprintf(out, "  %lu seq %lu%s fill %lu: %s\n", Ul(first + i),
                   Ul(header.sequence & ~kAlternateSequenceBit), copy ? " (copy)" : "",
                   Ul(SectorFillLevel(sector)), DescribeRecords(sector).c_str());
    }
  }
  endOutside();

  WritePosition position;
  std::string why;
  if (FindWritePosition(image, layout, position, why))
    std::fprintf(out, "newest: sector %lu, sequence %lu, fill %lu; a reader starts at %lu\n",
                 Ul(position.sector), Ul(position.sequence), Ul(position.fill),
                 Ul(ReadStartSector(image, layout, position.sector)));
  else
    std::fprintf(out, "newest: not found (%s)\n", why.c_str());
  return true;
}

}  // namespace qb::cardsim
