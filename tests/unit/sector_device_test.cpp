#include "cardio/sector_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

TEST(SectorDevice, PrefixChoosesTheBackend) {
  struct Case {
    const char* path;
    DeviceKind kind;
  };
  const Case cases[] = {
      {"\\\\.\\quilUSB", DeviceKind::kCardDriver},
      {"****", DeviceKind::kSerialDrive},
      {"****COM1", DeviceKind::kSerialDrive},
      {"card.img", DeviceKind::kRawDrive},
      {"/dev/sdb", DeviceKind::kRawDrive},
      {"\\\\.", DeviceKind::kRawDrive},
      {"", DeviceKind::kRawDrive},
  };
  for (const Case& c : cases) EXPECT_EQ(DeviceKindForPath(c.path), c.kind) << c.path;
}

class RawDriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearErrors();
    ClearCleanups();
  }
  void TearDown() override {
    RunCleanups();
    ClearErrors();
  }
  std::string Image(const std::string& name, off_t size) {
    std::string path = dir.File(name);
    int fd = open(path.c_str(), O_CREAT | O_RDWR | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, size), 0);
    close(fd);
    return path;
  }
  test::TempDir dir;
};

TEST_F(RawDriveTest, CapacityFromLengthAndCardsize) {
  struct Case {
    off_t bytes;
    uint32_t cardsize;
    uint32_t capacity;
  };
  const Case cases[] = {
      {1000000, 0, 1953},     {0, 0, 0},
      {1000 * 512, 100, 100}, {1000 * 512, 2, 1000},
      {1000 * 512, 0, 1000},  {1000 * 512, 5000, 1000},
  };
  for (const Case& c : cases) {
    std::string path = Image("card.img", c.bytes);
    ASSERT_TRUE(OpenSectorDevice(path, 0, c.cardsize)) << c.bytes;
    EXPECT_EQ(SectorDeviceCapacity(), c.capacity) << c.bytes << " " << c.cardsize;
    RunCleanups();
  }
}

TEST_F(RawDriveTest, TransfersStayInsideTheCapacity) {
  std::string path = Image("card.img", 1000000);
  ASSERT_TRUE(OpenSectorDevice(path, 0, 0));
  std::vector<uint8_t> sector(512, 0xA5);
  EXPECT_TRUE(WriteSector(sector.data(), 1952));
  std::vector<uint8_t> back(512, 0);
  EXPECT_TRUE(ReadSector(back.data(), 1952));
  EXPECT_EQ(back, sector);
  EXPECT_FALSE(ReadSector(back.data(), 1953));
  EXPECT_FALSE(WriteSector(sector.data(), 1953));
  RunCleanups();
  // The partial sector at the end was never touched.
  std::string bytes = dir.Read("card.img");
  ASSERT_EQ(bytes.size(), 1000000u);
  EXPECT_EQ(bytes.substr(1953 * 512), std::string(1000000 - 1953 * 512, '\0'));
}

TEST_F(RawDriveTest, SectorsBeyondTwoGigabytesAreReachable) {
  // A sparse 5 GiB image: the sector at 4.5 GiB reads back what was written.
  std::string path = Image("big.img", off_t(5) << 30);
  ASSERT_TRUE(OpenSectorDevice(path, 0, 0));
  EXPECT_EQ(SectorDeviceCapacity(), uint32_t((uint64_t(5) << 30) / 512));
  uint32_t far = uint32_t((uint64_t(9) << 29) / 512);
  std::vector<uint8_t> sector(512);
  for (size_t i = 0; i < sector.size(); ++i) sector[i] = uint8_t(i * 7);
  ASSERT_TRUE(WriteSector(sector.data(), far));
  std::vector<uint8_t> back(512);
  ASSERT_TRUE(ReadSector(back.data(), far));
  EXPECT_EQ(back, sector);
  // and nothing landed at the offset a 32-bit position would wrap to
  ASSERT_TRUE(ReadSector(back.data(), far % (uint32_t(1) << 22)));
  EXPECT_EQ(back, std::vector<uint8_t>(512, 0));
}

TEST_F(RawDriveTest, OpenFailureIsReportedWithThePathAndTheSystemReason) {
  EXPECT_FALSE(OpenSectorDevice(dir.File("missing.img"), 0, 0));
  ASSERT_EQ(ErrorList().size(), 1u);
  EXPECT_EQ(ErrorList()[0], "Error while opening PC Card on '" + dir.File("missing.img") + "'");
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(PendingCleanups(), 0u);
  EXPECT_FALSE(std::ifstream(dir.File("missing.img")).good()) << "open must not create files";
}

TEST_F(RawDriveTest, OpenRegistersTheCloseAndLogsIt) {
  std::string path = Image("card.img", 64 * 512);
  ASSERT_TRUE(OpenJobLog(dir.File("job.log")));
  ASSERT_TRUE(OpenSectorDevice(path, 0, 0));
  EXPECT_EQ(PendingCleanups(), 2u);
  RunCleanups();
  std::string log = dir.Read("job.log");
  EXPECT_NE(log.find(" Open card driver " + path + "\n"), std::string::npos) << log;
  uint8_t sector[512];
  EXPECT_FALSE(ReadSector(sector, 0)) << "closed";
}

// A device whose close fails: the clean-up reports "Closing PC Card".
bool FailingClose() {
  return false;
}
bool OpenAny(const std::string&, uint16_t, uint32_t, uint32_t& capacity) {
  capacity = 10;
  return true;
}
bool NoRead(uint8_t*, uint32_t) {
  return false;
}
bool NoWrite(const uint8_t*, uint32_t) {
  return false;
}

TEST_F(RawDriveTest, FailingCloseIsReported) {
  const SectorBackend backend = {OpenAny, FailingClose, NoRead, NoWrite};
  ScopedBackendOverride scope(DeviceKind::kRawDrive, backend);
  ASSERT_TRUE(OpenSectorDevice("x", 0, 0));
  RunCleanups();
  ASSERT_EQ(ErrorList().size(), 1u);
  EXPECT_EQ(ErrorList()[0], "Closing PC Card");
}

}  // namespace
}  // namespace qb
