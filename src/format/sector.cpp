#include "format/sector.h"

#include <cstring>

#include "format/byte_order.h"
#include "format/record_kind.h"

namespace qb {

SectorHeader ReadSectorHeader(const uint8_t* sector) {
  SectorHeader header;
  header.master = Get32(sector + kMasterOffset);
  header.sequence = Get32(sector + kSequenceOffset);
  header.checksum = Get16(sector + kChecksumOffset);
  return header;
}

uint16_t SectorWordSum(const uint8_t* sector) {
  uint32_t sum = 0;
  for (size_t i = 0; i < kSectorSize; i += 2) sum += Get16(sector + i);
  return static_cast<uint16_t>(sum);
}

void SealSector(uint8_t* sector, uint32_t master, uint32_t sequence) {
  Put32(sector + kMasterOffset, master);
  Put32(sector + kSequenceOffset, sequence);
  uint16_t checksum = Get16(sector + kChecksumOffset);
  Put16(sector + kChecksumOffset, static_cast<uint16_t>(checksum - SectorWordSum(sector)));
}

size_t SectorFillLevel(const uint8_t* sector) {
  const uint8_t* area = sector + kRecordAreaOffset;
  size_t offset = 0;
  // offset <= kLastRecordStart here, so the 3 header bytes lie inside the area.
  while (area[offset + 2] != kKindFree) {
    offset += RecordStep(Get16(area + offset));
    if (offset > kLastRecordStart) break;
  }
  return offset;
}

bool IsReservedSector(const uint8_t* sector) {
  return Get32(sector) == 0xFFFFFFFFu;
}

void EncodeReservedSector(uint8_t* sector) {
  std::memset(sector, 0xFF, kSectorSize);
}

void EncodeInitDataSector(uint8_t* sector) {
  std::memset(sector, 0, kRecordAreaOffset);
  uint8_t* area = sector + kRecordAreaOffset;
  std::memset(area, 0xFF, kRecordAreaSize);
  Put16(area, 1);
  area[2] = kKindControl;
  area[3] = kControlInit;
}

}  // namespace qb
