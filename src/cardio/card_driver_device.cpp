#include "cardio/card_driver_device.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

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

// The outcome of one device-control call: the driver's result, or the
// system error that kept the exchange from completing. The two never share
// one value.
struct Reply {
  uint32_t result = kDriverOk;
  int system_error = 0;
  bool ok() const { return system_error == 0 && result == kDriverOk; }
};

// Reports why a call failed. A system failure shows its number in the same
// line a driver result has; its own text follows from the coded value.
void ReportReply(const Reply& reply) {
  if (reply.system_error != 0) {
    ReportMessage(msg::kApiResult, static_cast<unsigned long>(reply.system_error));
  } else if (reply.result == kKdvErrBusy) {
    ReportMessage(msg::kCardInUse);
  } else {
    ReportText(DriverResultName(reply.result));
  }
}

class CardDriver : public SectorDevice {
 public:
  CardDriver(DeviceChannel channel, uint16_t slot) : channel_(std::move(channel)), slot_(slot) {}

  // Steps 2 to 9 of opening, on the connected device.
  bool QueryCard(uint32_t& capacity);
  void set_capacity(uint32_t capacity) { capacity_ = capacity; }

  uint32_t Capacity() const override { return capacity_; }
  bool Read(uint8_t* buffer, uint32_t sector) override;
  bool Write(const uint8_t* buffer, uint32_t sector) override;
  bool Close() override {
    channel_.Close();
    return true;
  }

 private:
  Reply Request(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out, uint32_t out_cap);
  Reply WriteBytes(const uint8_t* data, uint32_t offset, uint32_t length);
  bool CheckOpen();

  DeviceChannel channel_;
  uint16_t slot_;
  uint32_t capacity_ = 0;
};

// One device-control call. A broken exchange stores its system error; so
// does a successful reply shorter than the record it should carry (EPROTO),
// so that no caller reads bytes that never came.
Reply CardDriver::Request(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
                          uint32_t out_cap) {
  ChannelReply answer = channel_.Control(code, in, in_len, out, out_cap);
  Reply reply{answer.result, answer.system_error};
  if (reply.system_error == 0 && reply.result == kDriverOk && answer.out_len < out_cap) {
    reply.system_error = EPROTO;
  }
  if (reply.system_error != 0) {
    reply.result = kDriverOk;
    SetSystemError(reply.system_error);
  }
  return reply;
}

bool CardDriver::QueryCard(uint32_t& capacity) {
  uint8_t record[kIdentifySize] = {};
  Reply reply = Request(kDriverInfoCode, nullptr, 0, record, kDriverInfoSize);
  if (!reply.ok()) {
    ReportReply(reply);
    return false;
  }
  DriverInfo info = DecodeDriverInfo(record);
  if (info.signature != kDriverSignature) {
    ReportMessage(msg::kNoKdvDriver);
    return false;
  }
  if (slot_ >= info.slots) {
    ReportMessage(msg::kSlotNotAvailable, static_cast<int>(slot_));
    return false;
  }
  LogMessage("%s V%d.%02d (API V%d.%02d)", info.name.c_str(), info.version_major,
             info.version_minor, info.api_major, info.api_minor);

  uint8_t request[kDriverRequestSize];
  EncodeSlotRequest(slot_, request);
  std::memset(record, 0, sizeof record);
  reply = Request(kSlotStatusCode, request, sizeof request, record, kSlotStatusSize);
  if (!reply.ok()) {
    ReportReply(reply);
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
  reply = Request(kIdentifyCode, request, sizeof request, record, kIdentifySize);
  if (reply.system_error == 0 && reply.result == kKdvErrMediaAccess) {
    ReportMessage(msg::kNoAtaCard);
    return false;
  }
  if (!reply.ok()) {
    ReportReply(reply);
    return false;
  }
  IdentifyData identity = DecodeIdentify(record);
  LogMessage("%s %s (#%s)", identity.model.c_str(), identity.firmware.c_str(),
             identity.serial.c_str());
  capacity = IdentifyCapacity(identity);
  return true;
}

// Writes `length` bytes at byte `offset` in pieces of at most 32 KiB; returns
// the reply of the first failing piece, or success.
Reply CardDriver::WriteBytes(const uint8_t* data, uint32_t offset, uint32_t length) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kWriteHeaderSize + kMaxWritePiece]());
  if (!buffer) return Reply{kKdvErrNoMemory, 0};
  while (length > 0) {
    uint32_t piece = length < kMaxWritePiece ? length : kMaxWritePiece;
    WriteHeader header;
    header.offset = offset;
    header.length = piece;
    header.slot = slot_;
    EncodeWriteHeader(header, buffer.get());
    std::memcpy(buffer.get() + kWriteHeaderSize, data, piece);
    Reply reply = Request(kWriteCode, buffer.get(), kWriteHeaderSize + piece, nullptr, 0);
    if (!reply.ok()) return reply;
    data += piece;
    offset += piece;
    length -= piece;
  }
  return Reply{};
}

bool CardDriver::CheckOpen() {
  if (channel_.IsOpen()) return true;
  SetSystemError(EBADF);
  return false;
}

bool CheckReachable(uint32_t sector) {
  if (sector < kFirstUnreachableSector) return true;
  ReportReply(Reply{kKdvErrBadSector, 0});
  return false;
}

bool CardDriver::Read(uint8_t* buffer, uint32_t sector) {
  if (!CheckOpen() || !CheckReachable(sector)) return false;
  uint8_t request[kDriverRequestSize];
  EncodeReadRequest(sector * static_cast<uint32_t>(kSectorSize), slot_, request);
  // Read into a buffer of our own: a failed read leaves the caller's intact.
  uint8_t data[kSectorSize];
  Reply reply = Request(kReadCode, request, sizeof request, data, sizeof data);
  if (!reply.ok()) {
    ReportReply(reply);
    return false;
  }
  std::memcpy(buffer, data, sizeof data);
  return true;
}

bool CardDriver::Write(const uint8_t* buffer, uint32_t sector) {
  if (!CheckOpen() || !CheckReachable(sector)) return false;
  Reply reply = WriteBytes(buffer, sector * static_cast<uint32_t>(kSectorSize), kSectorSize);
  if (!reply.ok()) {
    ReportReply(reply);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<SectorDevice> OpenCardDriver(const std::string& path, uint16_t slot,
                                             uint32_t cardsize) {
  if (path.size() > kMaxDriverPath) {
    SetSystemError(ENAMETOOLONG);
    return nullptr;
  }
  DeviceChannel channel;
  int error = 0;
  if (!channel.Open(path, error)) {
    SetSystemError(error);
    return nullptr;
  }
  auto device = std::make_unique<CardDriver>(std::move(channel), slot);
  uint32_t detected = 0;
  if (!device->QueryCard(detected)) return nullptr;
  // A card larger than the requests can address is used up to that limit,
  // so that every sector the jobs lay out can be read back.
  ApplyCapacityLimit(cardsize, detected, kMaxDriverSectors);
  device->set_capacity(detected);
  return device;
}

}  // namespace qb
