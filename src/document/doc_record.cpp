#include "document/doc_record.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "base/error_report.h"
#include "document/printer_codes.h"
#include "format/record_crc.h"
#include "format/record_kind.h"

namespace qb {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kCan = 0x18;

// The XOR of n bytes, eight at a time: every record of a walk is checked, so
// a byte loop would cost as much as its CRC.
uint8_t XorOfBytes(const uint8_t* bytes, size_t n) {
  uint64_t words = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    words ^= word;
  }
  if (std::endian::native == std::endian::little && i < n && n >= 8) {
    // The last bytes from one load of the final eight, the ones already
    // taken shifted out (they are its low bytes).
    uint64_t word;
    std::memcpy(&word, bytes + n - 8, sizeof word);
    words ^= word >> (8 * (8 - (n - i)));
    i = n;
  }
  words ^= words >> 32;
  words ^= words >> 16;
  words ^= words >> 8;
  auto sum = static_cast<uint8_t>(words);
  for (; i < n; ++i) sum ^= bytes[i];
  return sum;
}

// The text bounds around the first STX (null for none) of n data bytes.
TextBounds BoundsAround(const uint8_t* data, int n, const uint8_t* stx) {
  TextBounds bounds;
  if (stx != nullptr) {
    int i = static_cast<int>(stx - data);
    bounds.start = (i + 1 < n && data[i + 1] == kCan) ? i + 2 : i + 1;
    bounds.end = bounds.start;
  }
  if (n > 2) {
    int low = bounds.start > 1 ? bounds.start : 1;
    for (int j = n - 2; j >= low; --j) {
      if (data[j] == kEtx) {
        bounds.end = j - 1;
        break;
      }
    }
  }
  return bounds;
}

const uint8_t* FirstStx(const uint8_t* data, size_t n) {
  if (n == 0) return nullptr;
  // A printed line's record mostly begins with its STX.
  if (data[0] == kStx) return data;
  return static_cast<const uint8_t*>(std::memchr(data, kStx, n));
}

// The block check of n data bytes whose first STX is at `stx` (null for
// none).
bool BlockCheckAfter(const uint8_t* data, size_t n, const uint8_t* stx) {
  if (stx == nullptr) return false;
  size_t first = static_cast<size_t>(stx - data) + 1;
  // The bytes after the STX up to the next-to-last (none when the STX is
  // one of the last two).
  size_t count = first < n ? n - 1 - first : 0;
  return XorOfBytes(data + first, count) == data[n - 1];
}

}  // namespace

void FindTextBounds(const uint8_t* data, int n, int& start, int& end) {
  start = 0;
  end = -1;
  if (data == nullptr) return;
  TextBounds bounds = BoundsAround(data, n, FirstStx(data, static_cast<size_t>(n)));
  start = bounds.start;
  end = bounds.end;
}

bool BlockCheckHolds(const uint8_t* data, size_t n) {
  if (data == nullptr || n == 0) return false;
  return BlockCheckAfter(data, n, FirstStx(data, n));
}

size_t TextSizeWithin(size_t n, int start, int end) {
  if (n == 0 || start < 0 || end < start) return 0;
  size_t first = static_cast<size_t>(start);
  if (first >= n) return 0;
  size_t last = static_cast<size_t>(end);
  if (last >= n) last = n - 1;
  return last - first + 1;
}

int RecordFault(const RecordHeader& header, const uint8_t* data, TextBounds* bounds) {
  TextBounds found;
  const size_t n = header.length;
  if (data == nullptr && n > 0) {
    if (bounds != nullptr) *bounds = found;
    return kStatusCutShort;
  }
  // The first STX, looked for once for the text bounds and the block check.
  const uint8_t* stx = data != nullptr ? FirstStx(data, n) : nullptr;
  if (data != nullptr) found = BoundsAround(data, static_cast<int>(n), stx);
  if (bounds != nullptr) *bounds = found;
  // A record without data bytes has no text to bound (as DocRecord holds
  // no buffer for it).
  if (header.kind == kKindData && n > 0) {
    if (found.start == 0) return kStatusNoStx;
    if (found.end + 1 < found.start) return kStatusInverted;
  }
  // The data lies right behind its header bytes, as in the file.
  const uint16_t crc = data != nullptr
                           ? StoredRecordCrc(data - kRecordFileHeaderSize, header.length)
                           : RecordFileCrc(header.kind, nullptr, 0);
  if (crc != header.crc) return kStatusChecksum;
  if (header.kind == kKindData && (n == 0 || !BlockCheckAfter(data, n, stx)))
    return kStatusBlockCheck;
  return 0;
}

DocRecord::DocRecord(const DocRecord& other) {
  *this = other;
}

DocRecord& DocRecord::operator=(const DocRecord& other) {
  if (this == &other) return *this;
  header_ = other.header_;
  std::memcpy(header_bytes_, other.header_bytes_, sizeof header_bytes_);
  text_start_ = other.text_start_;
  text_end_ = other.text_end_;
  content_flags_ = other.content_flags_;
  content_flags_known_ = other.content_flags_known_;
  record_status_ = other.record_status_;
  has_data_ = false;
  if (other.has_data_) {
    size_t size = kRecordFileHeaderSize + other.header_.length;
    if (Reserve(size)) {
      std::memcpy(buffer_.get(), other.buffer_.get(), size);
      has_data_ = true;
    } else {
      SetStatus(kStatusCutShort);
    }
  }
  return *this;
}

bool DocRecord::Reserve(size_t size) {
  if (buffer_ && capacity_ >= size) return true;
  buffer_.reset(new (std::nothrow) uint8_t[size]);
  capacity_ = buffer_ ? size : 0;
  if (!buffer_) {
    SetRuntimeError(ENOMEM);
    return false;
  }
  return true;
}

void DocRecord::Clear() {
  header_ = RecordHeader();
  std::memset(header_bytes_, 0, sizeof header_bytes_);
  has_data_ = false;
  text_start_ = 0;
  text_end_ = -1;
  content_flags_ = 0;
  content_flags_known_ = false;
  record_status_ = 0;
}

void DocRecord::SetHeader(const uint8_t bytes[kRecordFileHeaderSize]) {
  std::memcpy(header_bytes_, bytes, kRecordFileHeaderSize);
  DecodeRecordHeader(bytes, header_);
}

bool DocRecord::AllocateData() {
  has_data_ = false;
  size_t size = kRecordFileHeaderSize + header_.length;
  if (!Reserve(size)) return false;
  std::memcpy(buffer_.get(), header_bytes_, kRecordFileHeaderSize);
  // The data bytes are left for the caller to fill: the reader reads them
  // at once and drops the buffer when they do not all arrive.
  has_data_ = true;
  return true;
}

const uint8_t* DocRecord::Text() const {
  return TextSize() > 0 ? Data() + text_start_ : nullptr;
}

size_t DocRecord::TextSize() const {
  return TextSizeWithin(DataSize(), text_start_, text_end_);
}

void DocRecord::ComputeTextBounds() {
  FindTextBounds(Data(), static_cast<int>(DataSize()), text_start_, text_end_);
  if (Data() != nullptr && header_.kind == kKindData) {
    if (text_start_ == 0) {
      SetStatus(kStatusNoStx);
    } else if (text_end_ + 1 < text_start_) {
      SetStatus(kStatusInverted);
    }
  }
  content_flags_known_ = false;
}

uint32_t DocRecord::contentFlags() const {
  if (!content_flags_known_) {
    content_flags_ = header_.kind == kKindData
                         ? TextContentFlags(Data(), DataSize(), text_start_, text_end_)
                         : kContentPrintable;
    content_flags_known_ = true;
  }
  return content_flags_;
}

bool DocRecord::BlockCheckHolds() const {
  return qb::BlockCheckHolds(Data(), DataSize());
}

bool DocRecord::IsValid() {
  if (record_status_ != 0) return false;
  // The buffer holds the header as read in front of the data.
  uint16_t crc = has_data_ ? StoredRecordCrc(buffer_.get(), header_.length)
                           : StoredRecordCrc(header_bytes_, 0);
  if (crc != header_.crc) {
    SetStatus(kStatusChecksum);
    return false;
  }
  if (header_.kind == kKindData && !BlockCheckHolds()) {
    SetStatus(kStatusBlockCheck);
    return false;
  }
  return true;
}

}  // namespace qb
