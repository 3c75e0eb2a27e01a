#include "cardsim/card_faults.h"

#include "format/byte_order.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb::cardsim {

namespace {

bool CheckRange(uint32_t sector, uint32_t low, uint32_t high, const char* what,
                std::string& error) {
  if (sector >= low && sector <= high) return true;
  error = std::string(what) + " needs a sector from " + std::to_string(low) + " to " +
          std::to_string(high) + ", not " + std::to_string(sector);
  return false;
}

bool Load(CardImage& image, uint32_t sector, uint8_t* buffer, std::string& error) {
  if (image.Read(sector, buffer)) return true;
  error = image.error();
  return false;
}

bool Store(CardImage& image, uint32_t sector, const uint8_t* buffer, std::string& error) {
  if (image.Write(sector, buffer, 1)) return true;
  error = image.error();
  return false;
}

}  // namespace

bool WriteAlternateCopy(CardImage& image, const CardLayout& layout, uint32_t newest,
                        std::string& error) {
  if (!layout.ring && newest >= layout.Last()) {
    error = "an alternative copy needs a sector after the newest one (" + std::to_string(newest) +
            "), and a linear card has none after its last";
    return false;
  }
  uint8_t sector[kSectorSize];
  if (!Load(image, newest, sector, error)) return false;
  const SectorHeader header = ReadSectorHeader(sector);
  SealSector(sector, header.master, header.sequence | kAlternateSequenceBit);
  return Store(image, layout.After(newest), sector, error);
}

bool DamageSector(CardImage& image, const CardLayout& layout, uint32_t sector, std::string& error) {
  uint8_t buffer[kSectorSize];
  if (!CheckRange(sector, kMasterSector, layout.Last(), "damage", error) ||
      !Load(image, sector, buffer, error))
    return false;
  buffer[kChecksumOffset] ^= 0xFF;
  return Store(image, sector, buffer, error);
}

bool ForeignMasterSector(CardImage& image, const CardLayout& layout, uint32_t sector,
                         std::string& error) {
  uint8_t buffer[kSectorSize];
  if (!CheckRange(sector, kFirstCommentSector, layout.Last(), "a foreign master number", error) ||
      !Load(image, sector, buffer, error))
    return false;
  SealSector(buffer, layout.master ^ 0x00010000u, ReadSectorHeader(buffer).sequence);
  return Store(image, sector, buffer, error);
}

bool BadLengthSector(CardImage& image, const CardLayout& layout, uint32_t sector,
                     std::string& error) {
  uint8_t buffer[kSectorSize];
  if (!CheckRange(sector, layout.firstData, layout.Last(), "a bad record length", error) ||
      !Load(image, sector, buffer, error))
    return false;
  uint8_t* area = buffer + kRecordAreaOffset;
  if (area[2] == kKindFree) {
    error = "sector " + std::to_string(sector) + " holds no record to give a bad length";
    return false;
  }
  Put16(area, kBadRecordLength);
  const SectorHeader header = ReadSectorHeader(buffer);
  SealSector(buffer, header.master, header.sequence);
  return Store(image, sector, buffer, error);
}

}  // namespace qb::cardsim
