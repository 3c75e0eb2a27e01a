// What the instrument sends: transmissions, each framed as STX, optionally
// CAN, the text, ETX and a block-check byte (the XOR of every byte after STX
// up to and including ETX), and the sources that supply them to a recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qb::cardsim {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kCan = 0x18;

// The longest transmission a source delivers (a longer line or frame in an
// input file is an error).
constexpr size_t kMaxTransmission = 65536;

// Replaces `out` with STX, [CAN,] the text, ETX and the block check.
void FrameTransmission(const uint8_t* text, size_t length, bool can, std::vector<uint8_t>& out);

// Supplies transmissions one at a time.
class TransmissionSource {
 public:
  virtual ~TransmissionSource() = default;
  // Replaces `out` with the next transmission. False at the end, and on an
  // error, which then leaves error() non-empty.
  virtual bool Next(std::vector<uint8_t>& out) = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// Reads an input file in large pieces.
class ByteReader {
 public:
  ByteReader() = default;
  ~ByteReader();
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool Open(const std::string& path, std::string& error);
  // The bytes read ahead and not yet taken, reading more when there are
  // none. False at the end of the file or on a read error.
  bool Available(const uint8_t*& data, size_t& size);
  void Take(size_t count) { next_ += count; }
  // The next byte, or -1 at the end of the file or on a read error.
  int Get();
  // Whether a read error ended the input.
  bool Failed() const { return failed_; }
  // Bytes taken so far.
  uint64_t Position() const { return consumed_ - (end_ - next_); }

 private:
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;
  size_t end_ = 0;
  uint64_t consumed_ = 0;
  bool failed_ = false;
};

// A text file with one transmission per line, framed here. Lines end with
// LF (a CR before it is dropped); a last line without LF counts, an empty
// line is an empty transmission. A backslash starts an escape: \\ \e (ESC)
// \f (FF) \a (BEL) \t \r \n, or \xHH with two hex digits for any byte.
class LineFileSource : public TransmissionSource {
 public:
  // `can`: frame every transmission with CAN after STX.
  bool Open(const std::string& path, bool can);
  bool Next(std::vector<uint8_t>& out) override;

 private:
  // Reads the escape whose backslash is at text_[at] into `byte`, leaving
  // `at` on its last character.
  bool Unescape(size_t& at, uint8_t& byte);

  ByteReader reader_;
  std::string path_;
  bool can_ = false;
  uint64_t line_ = 0;
  std::vector<uint8_t> text_;
};

// A file of bytes as they came over the line, split into transmissions: each
// ends with the byte after the first ETX that follows an STX (its block
// check). Bytes before that STX belong to the transmission too, and bytes
// after the last complete frame form a last transmission, so the records
// hold every byte of the file in order.
class RawFileSource : public TransmissionSource {
 public:
  bool Open(const std::string& path);
  bool Next(std::vector<uint8_t>& out) override;

 private:
  ByteReader reader_;
  std::string path_;
};

}  // namespace qb::cardsim
