#include "cardio/driver_records.h"

#include <algorithm>
#include <cstring>

#include "base/messages.h"
#include "base/text_format.h"
#include "format/byte_order.h"

namespace qb {
namespace {

struct ResultName {
  uint32_t value;
  const char* name;
};

constexpr ResultName kResultNames[] = {
    {kKdvErrParameter, "KDV_ERR_PARAMETER"},    {kKdvErrNoDevice, "KDV_ERR_NO_DEVICE"},
    {kKdvErrBadRequest, "KDV_ERR_BAD_REQUEST"}, {kKdvErrBadSector, "KDV_ERR_BAD_SECTOR"},
    {kKdvErrNoMemory, "KDV_ERR_NO_MEMORY"},     {kKdvErrProtected, "KDV_ERR_PROTECTED"},
    {kKdvErrNotReady, "KDV_ERR_NOT_READY"},     {kKdvErrMediaAccess, "KDV_ERR_MEDIA_ACCESS"},
    {kKdvErrReadFault, "KDV_ERR_READ_FAULT"},   {kKdvErrWriteFault, "KDV_ERR_WRITE_FAULT"},
    {kKdvErrGeneral, "KDV_ERR_GENERAL"},
};

// Identity block word positions.
constexpr size_t kWordCylinders = 1;
constexpr size_t kWordHeads = 3;
constexpr size_t kWordSectorsPerTrack = 6;
constexpr size_t kWordSerial = 10;
constexpr size_t kSerialWords = 10;
constexpr size_t kWordFirmware = 23;
constexpr size_t kFirmwareWords = 4;
constexpr size_t kWordModel = 27;
constexpr size_t kModelWords = 20;
constexpr size_t kWordValidity = 53;
constexpr size_t kWordCapacity = 57;

constexpr size_t At(size_t word) {
  return word * 2;
}

// Text of a fixed field, up to its first NUL.
std::string FieldText(const uint8_t* field, size_t size) {
  const uint8_t* end = std::find(field, field + size, uint8_t{0});
  return std::string(field, end);
}

// Fixed fields are zero-filled by the caller and need no terminating NUL
// when the text fills them.
void PutFieldText(const std::string& text, uint8_t* field, size_t size) {
  // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
  std::memcpy(field, text.data(), std::min(text.size(), size));
}

}  // namespace

std::string DriverResultName(uint32_t result) {
  for (const ResultName& entry : kResultNames) {
    if (entry.value == result) return entry.name;
  }
  return FillMessage(msg::kApiResult, result);
}

DriverInfo DecodeDriverInfo(const uint8_t* record) {
  DriverInfo info;
  info.signature = FieldText(record, kSignatureSize);
  info.name = FieldText(record + 4, kDriverNameSize);
  info.version_major = Get16(record + 20);
  info.version_minor = Get16(record + 22);
  info.api_major = Get16(record + 28);
  info.api_minor = Get16(record + 30);
  info.slots = Get16(record + 32);
  return info;
}

void EncodeDriverInfo(const DriverInfo& info, uint8_t* record) {
  std::memset(record, 0, kDriverInfoSize);
  PutFieldText(info.signature, record, kSignatureSize);
  PutFieldText(info.name, record + 4, kDriverNameSize);
  Put16(record + 20, info.version_major);
  Put16(record + 22, info.version_minor);
  Put16(record + 28, info.api_major);
  Put16(record + 30, info.api_minor);
  Put16(record + 32, info.slots);
}

DriverRequest DecodeDriverRequest(const uint8_t* record) {
  DriverRequest request;
  request.first = Get16(record);
  request.offset = Get32(record + 4);
  request.slot = Get16(record + 8);
  return request;
}

void EncodeSlotRequest(uint16_t slot, uint8_t* record) {
  std::memset(record, 0, kDriverRequestSize);
  Put16(record, slot);
}

void EncodeReadRequest(uint32_t offset, uint16_t slot, uint8_t* record) {
  std::memset(record, 0, kDriverRequestSize);
  Put16(record, kReadRequestMarker);
  Put32(record + 4, offset);
  Put16(record + 8, slot);
}

WriteHeader DecodeWriteHeader(const uint8_t* record) {
  WriteHeader header;
  header.first = Get16(record);
  header.marker = Get16(record + 2);
  header.offset = Get32(record + 8);
  header.length = Get32(record + 12);
  header.slot = Get16(record + 16);
  return header;
}

void EncodeWriteHeader(const WriteHeader& header, uint8_t* record) {
  std::memset(record, 0, kWriteHeaderSize);
  Put16(record, header.first);
  Put16(record + 2, header.marker);
  Put32(record + 8, header.offset);
  Put32(record + 12, header.length);
  Put16(record + 16, header.slot);
}

std::string DecodeAtaText(const uint8_t* words, size_t word_count) {
  std::string text;
  text.reserve(word_count * 2);
  for (size_t i = 0; i < word_count; ++i) {
    text += static_cast<char>(words[2 * i + 1]);
    text += static_cast<char>(words[2 * i]);
  }
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  size_t last = text.find_last_not_of(' ');
  if (last == std::string::npos) return std::string();
  size_t first = text.find_first_not_of(' ');
  return text.substr(first, last + 1 - first);
}

void EncodeAtaText(const std::string& text, uint8_t* words, size_t word_count) {
  for (size_t i = 0; i < word_count * 2; ++i) {
    char c = i < text.size() ? text[i] : ' ';
    words[i ^ 1] = static_cast<uint8_t>(c);
  }
}

IdentifyData DecodeIdentify(const uint8_t* block) {
  IdentifyData data;
  data.cylinders = Get16(block + At(kWordCylinders));
  data.heads = Get16(block + At(kWordHeads));
  data.sectors_per_track = Get16(block + At(kWordSectorsPerTrack));
  data.serial = DecodeAtaText(block + At(kWordSerial), kSerialWords);
  data.firmware = DecodeAtaText(block + At(kWordFirmware), kFirmwareWords);
  data.model = DecodeAtaText(block + At(kWordModel), kModelWords);
  data.validity = Get16(block + At(kWordValidity));
  data.current_capacity = static_cast<uint32_t>(Get16(block + At(kWordCapacity))) |
                          (static_cast<uint32_t>(Get16(block + At(kWordCapacity + 1))) << 16);
  return data;
}

void EncodeIdentify(const IdentifyData& data, uint8_t* block) {
  std::memset(block, 0, kIdentifySize);
  Put16(block + At(kWordCylinders), data.cylinders);
  Put16(block + At(kWordHeads), data.heads);
  Put16(block + At(kWordSectorsPerTrack), data.sectors_per_track);
  EncodeAtaText(data.serial, block + At(kWordSerial), kSerialWords);
  EncodeAtaText(data.firmware, block + At(kWordFirmware), kFirmwareWords);
  EncodeAtaText(data.model, block + At(kWordModel), kModelWords);
  Put16(block + At(kWordValidity), data.validity);
  Put16(block + At(kWordCapacity), static_cast<uint16_t>(data.current_capacity));
  Put16(block + At(kWordCapacity + 1), static_cast<uint16_t>(data.current_capacity >> 16));
}

uint32_t IdentifyCapacity(const IdentifyData& data) {
  if (data.validity != 0) return data.current_capacity;
  // Each factor widened first: the product is taken modulo 2^32.
  return static_cast<uint32_t>(data.cylinders) * static_cast<uint32_t>(data.heads) *
         static_cast<uint32_t>(data.sectors_per_track);
}

IdentifyData SynthesizeIdentify(uint64_t sectors) {
  // The usual flash-card geometry: 32 sectors per track, the heads doubled
  // up to 16 while there are more than 1024 cylinders, then 63 sectors per
  // track; the cylinders are rounded down so the geometry stays inside the
  // card.
  uint64_t heads = 2;
  uint64_t per_track = 32;
  while (sectors / (heads * per_track) > 1024 && heads < 16) heads *= 2;
  if (sectors / (heads * per_track) > 65535) per_track = 63;
  uint64_t cylinders = std::min<uint64_t>(sectors / (heads * per_track), 65535);

  IdentifyData data;
  data.cylinders = static_cast<uint16_t>(cylinders);
  data.heads = static_cast<uint16_t>(heads);
  data.sectors_per_track = static_cast<uint16_t>(per_track);
  data.serial = "IMG" + std::to_string(static_cast<unsigned long long>(sectors));
  data.firmware = "1.00";
  data.model = "KDV Card Image";
  data.validity = 1;
  data.current_capacity = static_cast<uint32_t>(std::min<uint64_t>(sectors, UINT32_MAX));
  return data;
}

}  // namespace qb
