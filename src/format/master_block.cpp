#include "format/master_block.h"

#include <cstring>

#include "format/byte_order.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb {

void EncodeMasterBlock(const MasterBlock& block, uint8_t* sector) {
  std::memset(sector, 0, kSectorSize);
  Put32(sector + kMasterOffset, block.master);
  Put16(sector + kMasterRecordLengthOffset, kMasterRecordLength);
  sector[kMasterKindOffset] = kKindMaster;
  std::memcpy(sector + kMasterSignatureOffset, kMasterSignature, kMasterSignatureSize);
  Put16(sector + kMasterFixedWord1Offset, 256);
  Put16(sector + kMasterFixedWord2Offset, 32);
  Put32(sector + kMasterFirstDataOffset, block.firstData);
  Put32(sector + kMasterSectorsOffset, block.sectors);
  Put16(sector + kMasterFlagsOffset, block.flags);
  Put32(sector + kMasterBaudrateOffset, block.baudrate);
  Put16(sector + kMasterParameterOffset, block.parameterCode);
  Put16(sector + kMasterProtocolOffset, block.protocolCode);
  Put16(sector + kMasterTimeoutOffset, block.timeout);
}

bool DecodeMasterBlock(const uint8_t* sector, MasterBlock& block) {
  if (std::memcmp(sector + kMasterSignatureOffset, kMasterSignature, kMasterSignatureSize) != 0)
    return false;
  block.master = Get32(sector + kMasterOffset);
  block.firstData = Get32(sector + kMasterFirstDataOffset);
  block.sectors = Get32(sector + kMasterSectorsOffset);
  block.flags = Get16(sector + kMasterFlagsOffset);
  block.baudrate = Get32(sector + kMasterBaudrateOffset);
  block.parameterCode = Get16(sector + kMasterParameterOffset);
  block.protocolCode = Get16(sector + kMasterProtocolOffset);
  block.timeout = Get16(sector + kMasterTimeoutOffset);
  return true;
}

}  // namespace qb
