// Card images for the card job tests: a file of 512-byte sectors, records
// packed into data sectors the way the recording device packs them, a
// tracing sector device, the record file read back, and a fixture that runs
// INITCARD and READCARD on an image through the job runner.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error_report.h"
#include "base/job_args.h"
#include "base/job_cleanup.h"
#include "base/job_host.h"
#include "base/job_runner.h"
#include "cardio/raw_drive_device.h"
#include "cardio/sector_device.h"
#include "format/byte_order.h"
#include "format/master_block.h"
#include "format/record_file.h"
#include "format/record_kind.h"
#include "format/sector.h"
#include "jobs/init_card.h"
#include "jobs/job_options.h"
#include "jobs/read_card.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb::test {

using SectorBytes = std::array<uint8_t, kSectorSize>;
using RecordArea = std::array<uint8_t, kRecordAreaSize>;

// A file of 512-byte sectors.
class CardImage {
 public:
  explicit CardImage(std::string path) : path_(std::move(path)) {}

  // Creates the file with `sectors` sectors of `fill` bytes; with fill 0 the
  // file is sparse, so large cards cost nothing.
  void Create(uint64_t sectors, uint8_t fill = 0) const {
    int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(sectors * kSectorSize)), 0);
    if (fill != 0) {
      SectorBytes bytes;
      bytes.fill(fill);
      for (uint64_t n = 0; n < sectors; ++n)
        ASSERT_EQ(pwrite(fd, bytes.data(), kSectorSize, static_cast<off_t>(n * kSectorSize)),
                  static_cast<ssize_t>(kSectorSize));
    }
    close(fd);
  }

  const std::string& path() const { return path_; }

  SectorBytes Read(uint32_t n) const {
    SectorBytes bytes{};
    int fd = open(path_.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(pread(fd, bytes.data(), kSectorSize, static_cast<off_t>(n) * kSectorSize),
              static_cast<ssize_t>(kSectorSize));
    close(fd);
    return bytes;
  }

  void Write(uint32_t n, const SectorBytes& bytes) const {
    int fd = open(path_.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), kSectorSize, static_cast<off_t>(n) * kSectorSize),
              static_cast<ssize_t>(kSectorSize));
    close(fd);
  }

  std::string Bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  MasterBlock Master() const {
    MasterBlock block;
    SectorBytes bytes = Read(kMasterSector);
    EXPECT_TRUE(DecodeMasterBlock(bytes.data(), block));
    return block;
  }

  // Writes a record area as sector n of the recording: master number of the
  // master sector, the given sequence number, checksum.
  void WriteData(uint32_t n, uint32_t sequence, const RecordArea& area) const {
    SectorBytes bytes{};
    std::memcpy(bytes.data() + kRecordAreaOffset, area.data(), kRecordAreaSize);
    SealSector(bytes.data(), Master().master, sequence);
    Write(n, bytes);
  }

 private:
  std::string path_;
};

struct CardRecord {
  uint8_t kind;
  std::string data;
};

// Record areas filled the way the recording device fills them: each record
// at an even offset; a record that does not fit goes on at the start of the
// next area as a continuation piece holding the count of bytes still to come;
// free bytes are 0xFF.
class RecordPacker {
 public:
  // The areas where a record starts and ends.
  struct Span {
    size_t first;
    size_t last;
  };

  void Add(uint8_t kind, const std::string& data) {
    if (areas_.empty() || offset_ > kLastRecordStart) NewArea();
    Span span{areas_.size() - 1, 0};
    size_t remaining = data.size();
    size_t pos = 0;
    uint8_t piece_kind = kind;
    for (;;) {
      RecordArea& area = areas_.back();
      Put16(&area[offset_], static_cast<uint16_t>(remaining));
      area[offset_ + 2] = piece_kind;
      size_t cursor = offset_ + kCardRecordHeaderSize;
      while (remaining > 0 && cursor < kRecordAreaSize) {
        area[cursor++] = static_cast<uint8_t>(data[pos++]);
        --remaining;
      }
      offset_ = (cursor + 1) & ~static_cast<size_t>(1);
      if (remaining == 0) break;
      NewArea();
      piece_kind = kKindContinuation;
    }
    span.last = areas_.size() - 1;
    records_.push_back({kind, data});
    spans_.push_back(span);
  }

  const std::vector<RecordArea>& areas() const { return areas_; }
  const std::vector<CardRecord>& records() const { return records_; }
  const std::vector<Span>& spans() const { return spans_; }

 private:
  void NewArea() {
    RecordArea area;
    area.fill(0xFF);
    areas_.push_back(area);
    offset_ = 0;
  }

  std::vector<RecordArea> areas_;
  std::vector<CardRecord> records_;
  std::vector<Span> spans_;
  size_t offset_ = 0;
};

// A record of a record file as read back.
struct FileRecord {
  uint32_t number;
  uint16_t crc;
  uint16_t kind;
  std::string data;
};

// The records of a record file; a tail too short for its record fails the
// test.
inline std::vector<FileRecord> ParseRecordFile(const std::string& bytes) {
  std::vector<FileRecord> records;
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes.size() - pos < kRecordFileHeaderSize) {
      ADD_FAILURE() << "truncated record header at " << pos;
      break;
    }
    RecordHeader header;
    DecodeRecordHeader(reinterpret_cast<const uint8_t*>(bytes.data() + pos), header);
    pos += kRecordFileHeaderSize;
    if (bytes.size() - pos < header.length) {
      ADD_FAILURE() << "truncated record data at " << pos;
      break;
    }
    FileRecord record{header.number, header.crc, header.kind, bytes.substr(pos, header.length)};
    EXPECT_TRUE(RecordCrcMatches(header, reinterpret_cast<const uint8_t*>(record.data.data())))
        << "record " << header.number;
    records.push_back(record);
    pos += header.length;
  }
  return records;
}

// What the tracing device saw; it can fail one read and one write call.
struct DeviceTrace {
  std::vector<uint32_t> reads;
  std::vector<uint32_t> writes;
  long failReadCall = -1;   // index of the read call that fails, -1 none
  long failWriteCall = -1;  // index of the write call that fails, -1 none
};

inline DeviceTrace& Trace() {
  static DeviceTrace trace;
  return trace;
}

// Puts a tracing wrapper around the raw-drive back-end while it lives.
class ScopedTracingDevice {
 public:
  ScopedTracingDevice() { Trace() = DeviceTrace{}; }

 private:
  class Tracing : public ForwardingSectorDevice {
   public:
    using ForwardingSectorDevice::ForwardingSectorDevice;
    bool Read(uint8_t* buffer, uint32_t sector) override {
      long call = static_cast<long>(Trace().reads.size());
      Trace().reads.push_back(sector);
      return call != Trace().failReadCall && ForwardingSectorDevice::Read(buffer, sector);
    }
    bool Write(const uint8_t* buffer, uint32_t sector) override {
      long call = static_cast<long>(Trace().writes.size());
      Trace().writes.push_back(sector);
      return call != Trace().failWriteCall && ForwardingSectorDevice::Write(buffer, sector);
    }
  };
  ScopedBackendOverride override_{DeviceKind::kRawDrive,
                                  [](const std::string& path, uint16_t slot,
                                     uint32_t cardsize) -> std::unique_ptr<SectorDevice> {
                                    std::unique_ptr<SectorDevice> device =
                                        OpenRawDrive(path, slot, cardsize);
                                    if (device == nullptr) return nullptr;
                                    return std::make_unique<Tracing>(std::move(device));
                                  }};
};

// Runs the card jobs on an image in a fresh folder (also the current one),
// with default options, a recording host and a tracing device.
class CardJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetJobOptions();
    ClearErrors();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    ResetJobOptions();
    ClearErrors();
  }

  static JobArgs Args(const std::string& program, const std::vector<std::string>& options) {
    JobArgs args;
    args.Set(0, program);
    for (size_t i = 0; i < options.size(); ++i) args.Set(static_cast<int>(i) + 1, options[i]);
    return args;
  }

  // INITCARD on the image with the settings the application passes, then
  // `options`.
  bool Init(const std::vector<std::string>& options = {}) {
    std::vector<std::string> all = {"driver=" + image_.path(), "prompt=0", "protocol=0x3685e294"};
    all.insert(all.end(), options.begin(), options.end());
    JobArgs args = Args("INITCARD.EXE", all);
    return RunJob(InitCardMain, args);
  }

  // A fresh image of `sectors` sectors prepared by INITCARD.
  void MakeCard(uint64_t sectors, const std::vector<std::string>& options = {}) {
    image_.Create(sectors, 0x00);
    ASSERT_TRUE(Init(options)) << JoinErrors(true);
  }

  // READCARD on the image into out.qbd; it must not write to the card.
  bool Read(const std::vector<std::string>& options = {}) {
    std::vector<std::string> all = {"driver=" + image_.path(), "prompt=0", "recordoutput=" + Out()};
    all.insert(all.end(), options.begin(), options.end());
    JobArgs args = Args("READCARD.EXE", all);
    size_t writes = Trace().writes.size();
    bool ok = RunJob(ReadCardMain, args);
    EXPECT_EQ(Trace().writes.size(), writes) << "READCARD wrote to the card";
    return ok;
  }

  // The short looks at a card, prepared and cleaned up as the application does.
  bool IsEmpty() {
    JobArgs args = Args("READCARD.EXE", {"driver=" + image_.path()});
    bool empty = ReadCardIsEmpty(BeginCardCheck(args));
    EndCardCheck(args);
    return empty;
  }
  bool Info(CardInfo& info) {
    JobArgs args = Args("READCARD.EXE", {"driver=" + image_.path()});
    bool ok = ReadCardInfo(BeginCardCheck(args), info);
    EndCardCheck(args);
    return ok;
  }

  std::string Out() const { return dir_.File("out.qbd"); }
  std::vector<FileRecord> OutRecords() const { return ParseRecordFile(dir_.Read("out.qbd")); }

  // Writes packed areas to consecutive sectors from `first` with consecutive
  // sequence numbers from `sequence`.
  void WriteAreas(const RecordPacker& packer, size_t from, size_t to, uint32_t first,
                  uint32_t sequence) {
    for (size_t i = from; i < to; ++i)
      image_.WriteData(first + static_cast<uint32_t>(i - from),
                       sequence + static_cast<uint32_t>(i - from), packer.areas()[i]);
  }

  // The data and control records of a record file (between comment and end).
  static std::vector<CardRecord> CardRecords(const std::vector<FileRecord>& file) {
    std::vector<CardRecord> records;
    for (const FileRecord& record : file) {
      if (record.kind == kKindData || record.kind == kKindControl)
        records.push_back({static_cast<uint8_t>(record.kind), record.data});
    }
    return records;
  }

  TempDir dir_;
  RecordingHost host_;
  ScopedJobHost scoped_host_{&host_};
  ScopedTracingDevice device_;
  CardImage image_{dir_.File("card.img")};

 private:
  std::filesystem::path old_cwd_;
};

inline bool operator==(const CardRecord& a, const CardRecord& b) {
  return a.kind == b.kind && a.data == b.data;
}
inline std::ostream& operator<<(std::ostream& out, const CardRecord& record) {
  return out << "{kind " << static_cast<int>(record.kind) << ", " << record.data.size()
             << " bytes}";
}

}  // namespace qb::test
