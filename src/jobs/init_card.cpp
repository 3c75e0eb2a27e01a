#include "jobs/init_card.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "cardio/sector_device.h"
#include "format/byte_order.h"
#include "format/comment_sector.h"
#include "format/master_block.h"
#include "format/record_kind.h"
#include "format/sector.h"
#include "format/setting_codes.h"
#include "jobs/console_prompt.h"
#include "jobs/job_banner.h"
#include "jobs/job_options.h"
#include "platform/locked_open.h"

namespace qb {
namespace {

constexpr const char* kJobName = "INITCARD";

constexpr long kMinBaudrate = 600;
constexpr long kMaxBaudrate = 500000;
constexpr long kMinTimeout = 10;
constexpr long kMaxTimeout = 10000;

// A PC boot record: 0xFA at its start, 0x55 0xAA at its end, and the start
// sector of the first partition at this offset.
constexpr size_t kBootPartitionStartOffset = 454;

uint8_t g_master_image[kSectorSize];
uint8_t g_work[kSectorSize];

// Puts the master number and the sector's own number into the header, makes
// the word sum 0 and writes the sector.
bool WriteWithHeader(uint8_t* sector, uint32_t master, uint32_t n) {
  SealSector(sector, master, n);
  return WriteSector(sector, n);
}

bool ConfirmOverwrite() {
  ConsoleOut(
      "WARNING: All data on the PC Card will be overwritten!\n"
      "Press ESC to cancel (INITCARD will be aborted)\n"
      "Press RETURN to continue (data on card will be lost)\n");
  int key = WaitForKey({kKeyEscape, kKeyReturn});
  if (key != kKeyReturn) {
    ReportMessage(msg::kUserAbort);
    return false;
  }
  return true;
}

// Overwrites the start sector of a boot record's first partition, so that
// the card is not taken for a partitioned disk any more. Only a sector on the
// card beyond the master sector is touched; the result does not matter.
void ClearBootPartition(uint32_t partition_start) {
  if (partition_start > kMasterSector && partition_start < SectorDeviceCapacity())
    WriteSector(g_work, partition_start);
}

// The comment, read whole before the first write: a comment that cannot be
// read then leaves the card as it was.
std::string g_comment;

// Reads the comment file named by the options into g_comment. Only a regular
// file is read; a folder, a pipe or a device is refused without opening it
// for a read that could block.
bool LoadComment(const std::string& path) {
  g_comment.clear();
  int error = 0;
  struct stat info;
  int fd = OpenLockedForReading(path, FileLock::kShared, false, error, info);
  if (fd < 0) {
    if (error == EINVAL) {
      SetStringError(msg::kNotRegularFile);
    } else {
      SetSystemError(error);
    }
    ReportMessage(msg::kCommentNotFound, path.c_str());
    return false;
  }
  std::FILE* file = StreamFromDescriptor(fd, "rb", error);
  if (file == nullptr) {
    SetSystemError(error);
    ReportMessage(msg::kReadingCommentFile);
    return false;
  }
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > kMaxCommentLength) {
    (void)std::fclose(file);
    ReportMessage(msg::kCommentTooLarge);
    return false;
  }
  g_comment.resize(static_cast<size_t>(info.st_size));
  size_t got = std::fread(g_comment.data(), 1, g_comment.size(), file);
  if (got != g_comment.size()) {
    if (std::ferror(file)) SetSystemError(errno);
    g_comment.clear();
    (void)std::fclose(file);
    ReportMessage(msg::kReadingCommentFile);
    return false;
  }
  (void)std::fclose(file);
  return true;
}

// Writes the comment sectors of g_comment from sector 2 on; `next` ends as
// the first sector behind them.
bool WriteComment(uint32_t master, uint32_t& next) {
  size_t remaining = g_comment.size();
  const char* bytes = g_comment.data();
  std::memset(g_work, 0xFF, kSectorSize);
  g_work[kCommentKindOffset] = kKindComment;
  while (remaining > 0) {
    size_t count = remaining < kCommentPieceSize ? remaining : kCommentPieceSize;
    Put16(g_work + kCommentRemainingOffset, static_cast<uint16_t>(remaining));
    std::memcpy(g_work + kCommentBytesOffset, bytes, count);
    if (!WriteWithHeader(g_work, master, next)) {
      ReportMessage(msg::kWritingComment);
      return false;
    }
    bytes += count;
    remaining -= count;
    std::memset(g_work, 0xFF, kSectorSize);
    ++next;
    g_work[kCommentKindOffset] = kKindContinuation;
  }
  return true;
}

// The number of comment sectors g_comment fills.
uint32_t CommentSectors() {
  return static_cast<uint32_t>((g_comment.size() + kCommentPieceSize - 1) / kCommentPieceSize);
}

// A new master number: the clock's second, taken after waiting (at most a
// second) until the clock is past the number the card carries now. A card
// prepared again within the second it was prepared would otherwise get its
// old number back, and its recorded sectors would still pass for the new
// recording's: the card would not be empty. A card number further ahead
// than a few seconds (another machine's clock) is not waited for.
uint32_t NewMasterNumber() {
  constexpr int64_t kMaxWaitSeconds = 3;
  MasterBlock block;
  if (ReadSector(g_work, kMasterSector) && DecodeMasterBlock(g_work, block)) {
    const auto old = static_cast<int64_t>(block.master);
    if (old - static_cast<int64_t>(std::time(nullptr)) < kMaxWaitSeconds) {
      while (static_cast<int64_t>(std::time(nullptr)) <= old)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return static_cast<uint32_t>(std::time(nullptr));
}

}  // namespace

const uint8_t* MasterImage() {
  return g_master_image;
}

bool BuildMasterBlock(uint32_t master) {
  const JobOptions& options = Options();
  MasterBlock block;
  block.master = master;
  block.sectors = SectorDeviceCapacity();
  block.flags = static_cast<uint16_t>(options.memoryfull | options.rtscontrol);
  if (options.baudrate < kMinBaudrate || options.baudrate > kMaxBaudrate) {
    ReportMessage(msg::kBaudrateRange, kMinBaudrate, kMaxBaudrate);
    return false;
  }
  block.baudrate = options.baudrate;
  if (!ParameterCode(options.parameter, block.parameterCode)) {
    ReportMessage(msg::kParameterList);
    return false;
  }
  if (!ProtocolCode(options.protocol, block.protocolCode)) {
    ReportMessage(msg::kIllegalProtocol);
    return false;
  }
  if (options.timeout < kMinTimeout || options.timeout > kMaxTimeout) {
    ReportMessage(msg::kTimeoutRange, kMinTimeout, kMaxTimeout);
    return false;
  }
  block.timeout = options.timeout;
  EncodeMasterBlock(block, g_master_image);
  return true;
}

bool WriteCardLayout(uint32_t master) {
  // Everything that can refuse the job is checked before the first write.
  g_comment.clear();
  const std::string& comment = Options().comment;
  if (!comment.empty() && !LoadComment(comment)) return false;
  const uint32_t first_data = kFirstCommentSector + CommentSectors();
  if (static_cast<uint64_t>(SectorDeviceCapacity()) < static_cast<uint64_t>(first_data) + 4) {
    ReportMessage(msg::kCardTooSmall);
    return false;
  }

  uint32_t partition_start = 0;
  if (ReadSector(g_work, kReservedSector) && g_work[0] == 0xFA && g_work[510] == 0x55 &&
      g_work[511] == 0xAA)
    partition_start = Get32(g_work + kBootPartitionStartOffset);

  EncodeReservedSector(g_work);
  if (!WriteSector(g_work, kReservedSector) || !WriteSector(g_work, kMasterSector)) {
    ReportMessage(msg::kWritingReserved);
    return false;
  }
  if (partition_start != 0) ClearBootPartition(partition_start);

  uint32_t next = kFirstCommentSector;
  if (!WriteComment(master, next)) return false;
  EncodeInitDataSector(g_work);
  if (!WriteWithHeader(g_work, master, next)) {
    ReportMessage(msg::kWritingFirstData);
    return false;
  }
  Put32(g_master_image + kMasterFirstDataOffset, next);
  if (!WriteWithHeader(g_master_image, master, kMasterSector)) {
    ReportMessage(msg::kWritingMaster);
    return false;
  }
  return true;
}

int InitCardMain(int, char** argv) {
  int start = StartCardJob(kJobName, argv);
  if (start != kJobContinues) return start;
  const JobOptions& options = Options();
  if (!OpenSectorDevice(options.driver, options.slot, options.cardsize)) return 1;
  if (options.prompt != 0 && !ConfirmOverwrite()) return 1;
  uint32_t master = NewMasterNumber();
  LogMessage(msg::kMasterNumber, static_cast<unsigned long>(master));
  if (!BuildMasterBlock(master)) return 1;
  return WriteCardLayout(master) ? 0 : 1;
}

}  // namespace qb
