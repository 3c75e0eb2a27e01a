#include "cardio/card_driver_device.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/messages.h"
#include "cardio/capacity_report.h"
#include "cardio/driver_records.h"
#include "format/sector.h"
#include "platform/device_channel.h"

namespace qb {
namespace {

// Byte offsets on the card are 32-bit: sectors from here on cannot be
// addressed through the driver. Asking anyway would wrap round to the start
// of the card and touch the wrong sector.
constexpr uint32_t kFirstUnreachableSector = 0x800000;  // 2^32 / 512

int g_handle = -1;
uint16_t g_slot = 0;

// One device-control call. A broken exchange stores its system error and
// returns it as the result; so does a successful reply shorter than the
// record it should carry (EPROTO), so that no caller reads bytes that never
// came.
uint32_t Request(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
                 uint32_t out_cap) {
  uint32_t out_len = 0;
  int system_error = 0;
  uint32_t result =
      DeviceChannelControl(g_handle, code, in, in_len, out, out_cap, out_len, &system_error);
  if (system_error != 0) {
    SetSystemError(system_error);
    return result;
  }
  if (result == kDriverOk && out_len < out_cap) {
    SetSystemError(EPROTO);
    return EPROTO;
  }
  return result;
}

void ReportResult(uint32_t result) {
  if (result == kKdvErrBusy) {
    ReportMessage(msg::kCardInUse);
  } else {
    ReportText(DriverResultName(result));
  }
}

// Steps 2 to 9 of opening, on the connected device.
bool QueryCard(uint16_t slot, uint32_t& capacity) {
  uint8_t record[kIdentifySize] = {};
  uint32_t result = Request(kDriverInfoCode, nullptr, 0, record, kDriverInfoSize);
  if (result != kDriverOk) {
    ReportResult(result);
    return false;
  }
  DriverInfo info = DecodeDriverInfo(record);
  if (info.signature != kDriverSignature) {
    ReportMessage(msg::kNoKdvDriver);
    return false;
  }
  if (slot >= info.slots) {
    ReportMessage(msg::kSlotNotAvailable, static_cast<int>(slot));
    return false;
  }
  LogMessage("%s V%d.%02d (API V%d.%02d)", info.name.c_str(), info.version_major,
             info.version_minor, info.api_major, info.api_minor);

  uint8_t request[kDriverRequestSize];
  EncodeSlotRequest(slot, request);
  std::memset(record, 0, sizeof record);
  result = Request(kSlotStatusCode, request, sizeof request, record, kSlotStatusSize);
  if (result != kDriverOk) {
    ReportResult(result);
    return false;
  }
  if ((record[0] & kSlotCardInserted) == 0) {
    ReportMessage(msg::kNoCard);
    return false;
  }
  if ((record[0] & kSlotWriteProtected) != 0) {
    ReportMessage(msg::kWriteProtected);
    return false;
  }

  std::memset(record, 0, sizeof record);
  result = Request(kIdentifyCode, request, sizeof request, record, kIdentifySize);
  if (result == kKdvErrMediaAccess) {
    ReportMessage(msg::kNoAtaCard);
    return false;
  }
  if (result != kDriverOk) {
    ReportResult(result);
    return false;
  }
  IdentifyData identity = DecodeIdentify(record);
  LogMessage("%s %s (#%s)", identity.model.c_str(), identity.firmware.c_str(),
             identity.serial.c_str());
  capacity = IdentifyCapacity(identity);
  return true;
}

// Writes `length` bytes at byte `offset` in pieces of at most 32 KiB; returns
// the result of the first failing piece, or 0.
uint32_t WriteBytes(const uint8_t* data, uint32_t offset, uint32_t length) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kWriteHeaderSize + kMaxWritePiece]());
  if (!buffer) return kKdvErrNoMemory;
  while (length > 0) {
    uint32_t piece = length < kMaxWritePiece ? length : kMaxWritePiece;
    WriteHeader header;
    header.offset = offset;
    header.length = piece;
    header.slot = g_slot;
    EncodeWriteHeader(header, buffer.get());
    std::memcpy(buffer.get() + kWriteHeaderSize, data, piece);
    uint32_t result = Request(kWriteCode, buffer.get(), kWriteHeaderSize + piece, nullptr, 0);
    if (result != kDriverOk) return result;
    data += piece;
    offset += piece;
    length -= piece;
  }
  return kDriverOk;
}

bool CheckOpen() {
  if (g_handle >= 0) return true;
  SetSystemError(EBADF);
  return false;
}

bool CheckReachable(uint32_t sector) {
  if (sector < kFirstUnreachableSector) return true;
  ReportResult(kKdvErrBadSector);
  return false;
}

}  // namespace

bool CardDriverOpen(const std::string& path, uint16_t slot, uint32_t cardsize, uint32_t& capacity) {
  CardDriverClose();
  if (path.size() > kMaxDriverPath) {
    SetSystemError(ENAMETOOLONG);
    return false;
  }
  int handle = DeviceChannelOpen(path);
  if (handle < 0) {
    SetSystemError(errno);
    return false;
  }
  g_handle = handle;
  g_slot = slot;
  uint32_t detected = 0;
  if (!QueryCard(slot, detected)) {
    CardDriverClose();
    return false;
  }
  // A card larger than the requests can address is used up to that limit,
  // so that every sector the jobs lay out can be read back.
  ApplyCapacityLimit(cardsize, detected, kMaxDriverSectors);
  capacity = detected;
  return true;
}

bool CardDriverClose() {
  if (g_handle >= 0) DeviceChannelClose(g_handle);
  g_handle = -1;
  return true;
}

bool CardDriverRead(uint8_t* buffer, uint32_t sector) {
  if (!CheckOpen() || !CheckReachable(sector)) return false;
  uint8_t request[kDriverRequestSize];
  EncodeReadRequest(sector * static_cast<uint32_t>(kSectorSize), g_slot, request);
  // Read into a buffer of our own: a failed read leaves the caller's intact.
  uint8_t data[kSectorSize];
  uint32_t result = Request(kReadCode, request, sizeof request, data, sizeof data);
  if (result != kDriverOk) {
    ReportResult(result);
    return false;
  }
  std::memcpy(buffer, data, sizeof data);
  return true;
}

bool CardDriverWrite(const uint8_t* buffer, uint32_t sector) {
  if (!CheckOpen() || !CheckReachable(sector)) return false;
  uint32_t result = WriteBytes(buffer, sector * static_cast<uint32_t>(kSectorSize), kSectorSize);
  if (result != kDriverOk) {
    ReportResult(result);
    return false;
  }
  return true;
}

}  // namespace qb
