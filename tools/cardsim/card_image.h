// The card image the simulated device writes to: a flat run of 512-byte
// sectors, either a file (a card image or a raw device) or memory (tests).
// Sector offsets are 64-bit, so a card of 4 GiB and more is reachable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb::cardsim {

class CardImage {
 public:
  virtual ~CardImage() = default;

  // Whole sectors in the image; a partial sector at its end does not count.
  virtual uint64_t SectorCount() const = 0;
  // Reads `count` consecutive sectors starting at `first`. False, with
  // error() set, when they reach beyond the image or the read fails.
  virtual bool ReadSectors(uint64_t first, uint8_t* out, uint64_t count) = 0;
  // Writes `count` consecutive sectors starting at `first`.
  virtual bool Write(uint64_t first, const uint8_t* data, uint64_t count) = 0;

  bool Read(uint64_t sector, uint8_t* out) { return ReadSectors(sector, out, 1); }

  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// A card image in a file, opened for reading, or for reading and writing.
class FileCardImage : public CardImage {
 public:
  FileCardImage() = default;
  ~FileCardImage() override;
  FileCardImage(const FileCardImage&) = delete;
  FileCardImage& operator=(const FileCardImage&) = delete;

  bool Open(const std::string& path, bool writable);
  // Closes the image; false when the system reports a late write error.
  bool Close();

  uint64_t SectorCount() const override { return sectors_; }
  bool ReadSectors(uint64_t first, uint8_t* out, uint64_t count) override;
  bool Write(uint64_t first, const uint8_t* data, uint64_t count) override;

 private:
  int fd_ = -1;
  uint64_t sectors_ = 0;
  std::string path_;
};

// A card image held in memory.
class MemoryCardImage : public CardImage {
 public:
  explicit MemoryCardImage(uint64_t sectors, uint8_t fill = 0xFF);

  uint64_t SectorCount() const override { return bytes_.size() / 512; }
  bool ReadSectors(uint64_t first, uint8_t* out, uint64_t count) override;
  bool Write(uint64_t first, const uint8_t* data, uint64_t count) override;

  uint8_t* Sector(uint64_t sector) { return bytes_.data() + sector * 512; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// Creates (or truncates) `path` as a blank card of `sectors` sectors, every
// byte 0xFF. False with a message in `error` when it fails.
bool CreateBlankImage(const std::string& path, uint64_t sectors, std::string& error);

}  // namespace qb::cardsim
