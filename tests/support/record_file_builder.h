// Builds record files for tests: records numbered on automatically (or as
// given), checksums computed with the format's own encoder, and the data of
// a data record framed as the instrument sends it (STX, text, ETX, block
// check).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "format/record_file.h"
#include "format/record_kind.h"

namespace qb::test {

// An option text as the card reader writes it, with the given character
// format and protocol line.
inline std::string OptionText(const std::string& parameter = "7E1",
                              const std::string& protocol = "protocol=0x3685E294") {
  return "# option file created by READCARD\n"
         "# read date: Mon Dec 07 22:06:34 2026\n"
         "# master number: 0000002A\n"
         "\n"
         "cardsize=4000\n"
         "baudrate=9600\n"
         "parameter=" +
         parameter + "\n" + protocol +
         "\n"
         "timeout=1000\n"
         "memoryfull=overwrite_old\n"
         "rtscontrol=recording\n"
         "\n";
}

// The XOR of the bytes.
inline char BlockCheck(const std::string& bytes) {
  unsigned char sum = 0;
  for (char c : bytes) sum ^= static_cast<unsigned char>(c);
  return static_cast<char>(sum);
}

// STX, the text, ETX and the block check over what follows the STX.
inline std::string Framed(const std::string& text) {
  std::string body = text + '\x03';
  return '\x02' + body + BlockCheck(body);
}

// Any bytes after an STX, with the block check that makes them pass.
inline std::string WithBlockCheck(const std::string& from_stx) {
  size_t stx = from_stx.find('\x02');
  std::string after = stx == std::string::npos ? std::string() : from_stx.substr(stx + 1);
  return from_stx + BlockCheck(after);
}

class RecordFileBuilder {
 public:
  // A record numbered one more than the one before (0 for the first).
  RecordFileBuilder& Add(uint16_t kind, const std::string& data) {
    return AddNumbered(next_, kind, data);
  }
  // A record with the number given; the numbering goes on from it.
  RecordFileBuilder& AddNumbered(uint32_t number, uint16_t kind, const std::string& data) {
    uint8_t header[kRecordFileHeaderSize];
    auto n = static_cast<uint16_t>(data.size());
    EncodeRecordHeader(number, kind, reinterpret_cast<const uint8_t*>(data.data()), n, header);
    last_ = bytes_.size();
    bytes_.append(reinterpret_cast<const char*>(header), sizeof header);
    bytes_.append(data, 0, n);
    next_ = number + 1;
    return *this;
  }

  RecordFileBuilder& Start() { return Add(kKindStartOfFile, ""); }
  RecordFileBuilder& Option(const std::string& text = OptionText()) {
    return Add(kKindOption, text);
  }
  RecordFileBuilder& Comment(const std::string& text) { return Add(kKindComment, text); }
  RecordFileBuilder& Line(const std::string& text) { return Add(kKindData, Framed(text)); }
  RecordFileBuilder& Lines(const std::vector<std::string>& texts) {
    for (const auto& text : texts) Line(text);
    return *this;
  }
  RecordFileBuilder& Control(uint8_t marker = kControlStart) {
    return Add(kKindControl, std::string(1, static_cast<char>(marker)));
  }
  RecordFileBuilder& End() { return Add(kKindEndOfFile, ""); }
  RecordFileBuilder& EndNumbered(uint32_t number) {
    AddNumbered(number, kKindEndOfFile, "");
    return *this;
  }

  // Start, option record and comment record, as every file begins.
  RecordFileBuilder& Head(const std::string& comment = "Test") {
    return Start().Option().Comment(comment);
  }

  // Flips a bit of the last record's stored checksum.
  RecordFileBuilder& BreakChecksum() {
    bytes_[last_ + 4] = static_cast<char>(bytes_[last_ + 4] ^ 0x01);
    return *this;
  }
  // Overwrites the last record's length field (the checksum is left as is).
  RecordFileBuilder& SetLength(uint16_t n) {
    bytes_[last_ + 6] = static_cast<char>(n & 0xFF);
    bytes_[last_ + 7] = static_cast<char>(n >> 8);
    return *this;
  }
  RecordFileBuilder& Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
  }

  const std::string& bytes() const { return bytes_; }
  uint32_t nextNumber() const { return next_; }

 private:
  std::string bytes_;
  size_t last_ = 0;
  uint32_t next_ = 0;
};

// A whole file: head with `comment`, the lines, end-of-file record.
inline std::string RecordFileWithLines(const std::vector<std::string>& texts,
                                       const std::string& comment = "Test") {
  return RecordFileBuilder().Head(comment).Lines(texts).End().bytes();
}

}  // namespace qb::test
