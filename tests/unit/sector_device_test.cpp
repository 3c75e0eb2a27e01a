#include "cardio/sector_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "cardio/card_driver_device.h"
#include "cardio/raw_drive_device.h"
#include "cardio/serial_drive_device.h"
#include "format/byte_order.h"
#include "support/program_runner_bg.h"
#include "support/scoped_env.h"
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

// Each test starts with an empty error report and clean-up list, and runs
// what it left to close.
class CardJobFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearErrors();
    ClearCleanups();
  }
  void TearDown() override {
    RunCleanups();
    ClearErrors();
  }
};

class RawDriveTest : public CardJobFrameTest {
 protected:
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
class FailingClose : public SectorDevice {
 public:
  uint32_t Capacity() const override { return 10; }
  bool Read(uint8_t*, uint32_t) override { return false; }
  bool Write(const uint8_t*, uint32_t) override { return false; }
  bool Close() override { return false; }
};

TEST_F(RawDriveTest, FailingCloseIsReported) {
  ScopedBackendOverride scope(DeviceKind::kRawDrive, [](const std::string&, uint16_t, uint32_t) {
    return std::unique_ptr<SectorDevice>(std::make_unique<FailingClose>());
  });
  ASSERT_TRUE(OpenSectorDevice("x", 0, 0));
  RunCleanups();
  ASSERT_EQ(ErrorList().size(), 1u);
  EXPECT_EQ(ErrorList()[0], "Closing PC Card");
}

// The same behaviours against every back-end, each through what serves its
// cards outside the process: a plain image file, the carddriver program on
// the device channel, and the serial drive of `cardsim serial` on a
// pseudo-terminal. Every card is an image whose sectors start with their own
// number, so a read shows which sector it came from.

std::string NumberedImage(uint32_t sectors) {
  std::string bytes(static_cast<size_t>(sectors) * 512, '\0');
  for (uint32_t s = 0; s < sectors; ++s) {
    Put32(reinterpret_cast<uint8_t*>(bytes.data()) + static_cast<size_t>(s) * 512, s);
  }
  return bytes;
}

// Plain images: the driver path is the image.
struct RawCards {
  static constexpr DeviceKind kKind = DeviceKind::kRawDrive;
  explicit RawCards(test::TempDir&) {}
  // Serves `image` as another card; the path to open it by, empty on failure.
  std::string Serve(const std::string& image) { return image; }
  // Makes `path` the card the next open reaches (the serial drive's port is
  // chosen through the environment; the others by the path itself).
  void Select(const std::string&) {}
  static std::string Missing(test::TempDir& dir) { return dir.File("missing.img"); }
};

// A carddriver program per card, each under a device name of its own.
struct DriverCards {
  static constexpr DeviceKind kKind = DeviceKind::kCardDriver;
  explicit DriverCards(test::TempDir& dir) : dir_(dir) {
    env_.Set("DD_KDVDIR", dir.path() + "/kdv");
  }
  std::string Serve(const std::string& image) {
    std::string name = "Conf" + std::to_string(programs_.size());
    programs_.push_back(std::make_unique<test::BackgroundProgram>(
        "carddriver", std::vector<std::string>{"--name", name, "--slot", "0=" + image},
        dir_.File(name + ".err")));
    if (!programs_.back()->WaitFor("\n")) return "";
    return "\\\\.\\" + name;
  }
  void Select(const std::string&) {}
  static std::string Missing(test::TempDir&) { return "\\\\.\\nosuchdriver"; }

  test::TempDir& dir_;
  test::ScopedEnv env_;
  std::vector<std::unique_ptr<test::BackgroundProgram>> programs_;
};

// A `cardsim serial` per card; the driver path names the drive, the port is
// the program's pseudo-terminal, given through DD_DEVICE at each open.
struct SerialCards {
  static constexpr DeviceKind kKind = DeviceKind::kSerialDrive;
  explicit SerialCards(test::TempDir& dir) : dir_(dir) {
    for (const char* name : {"DD_COM", "DD_BAUDRATE"}) env_.Set(name, nullptr);
  }
  std::string Serve(const std::string& image) {
    std::string path = "****" + std::to_string(programs_.size());
    programs_.push_back(std::make_unique<test::BackgroundProgram>(
        "cardsim", std::vector<std::string>{"serial", "--card", image},
        dir_.File("cardsim" + std::to_string(programs_.size()) + ".err")));
    if (!programs_.back()->WaitFor("\n")) return "";
    const std::string& out = programs_.back()->out();
    ports_.push_back({path, out.substr(0, out.find('\n'))});
    return path;
  }
  void Select(const std::string& path) {
    for (const auto& [name, port] : ports_) {
      if (name == path) env_.Set("DD_DEVICE", port);
    }
  }
  std::string Missing(test::TempDir& dir) {
    env_.Set("DD_DEVICE", dir.File("no-such-port"));
    return "****";
  }

  test::TempDir& dir_;
  test::ScopedEnv env_;
  std::vector<std::unique_ptr<test::BackgroundProgram>> programs_;
  std::vector<std::pair<std::string, std::string>> ports_;
};

template <typename Cards>
class SectorDeviceConformance : public CardJobFrameTest {
 protected:
  // A new card of `sectors` numbered sectors; the path to open it by.
  std::string Card(uint32_t sectors) {
    std::string image =
        dir_.Write("card" + std::to_string(images_++) + ".img", NumberedImage(sectors));
    std::string path = cards_.Serve(image);
    EXPECT_FALSE(path.empty()) << "the card is not served";
    image_of_[path] = image;
    return path;
  }
  std::unique_ptr<SectorDevice> Open(const std::string& path, uint32_t cardsize = 0) {
    cards_.Select(path);
    std::unique_ptr<SectorDevice> device = OpenerFor(Cards::kKind)(path, 0, cardsize);
    EXPECT_NE(device, nullptr) << JoinErrors(true);
    return device;
  }
  std::string ImageBytes(const std::string& path) { return test::SlurpFile(image_of_[path]); }

  test::TempDir dir_;
  Cards cards_{dir_};
  int images_ = 0;
  std::map<std::string, std::string> image_of_;
};

using Backends = ::testing::Types<RawCards, DriverCards, SerialCards>;
class BackendNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    if (T::kKind == DeviceKind::kRawDrive) return "RawImage";
    if (T::kKind == DeviceKind::kCardDriver) return "CardDriver";
    return "SerialDrive";
  }
};
TYPED_TEST_SUITE(SectorDeviceConformance, Backends, BackendNames);

TYPED_TEST(SectorDeviceConformance, CapacityIsTheCardsLimitedByTheCardsize) {
  std::string path = this->Card(600);
  struct Case {
    uint32_t cardsize;
    uint32_t capacity;
  };
  const Case cases[] = {{0, 600},   {2, 600},   {3, 3},     {100, 100},
                        {599, 599}, {600, 600}, {5000, 600}};
  for (const Case& c : cases) {
    std::unique_ptr<SectorDevice> device = this->Open(path, c.cardsize);
    ASSERT_NE(device, nullptr) << c.cardsize;
    EXPECT_EQ(device->Capacity(), c.capacity) << c.cardsize;
    EXPECT_TRUE(device->Close());
  }
}

TYPED_TEST(SectorDeviceConformance, WrittenSectorsReadBackAndReachTheCard) {
  std::string path = this->Card(600);
  std::unique_ptr<SectorDevice> device = this->Open(path);
  ASSERT_NE(device, nullptr);
  uint8_t sector[512];
  for (uint32_t n : {0u, 1u, 300u, 599u}) {
    // Read first, so that a copy kept from the read cannot hide the write.
    ASSERT_TRUE(device->Read(sector, n)) << n << JoinErrors(true);
    EXPECT_EQ(Get32(sector), n);
    std::vector<uint8_t> data(512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(n + i * 3);
    ASSERT_TRUE(device->Write(data.data(), n)) << n << JoinErrors(true);
    ASSERT_TRUE(device->Read(sector, n)) << n;
    EXPECT_EQ(std::vector<uint8_t>(sector, sector + 512), data) << n;
  }
  // A neighbour of a written sector is untouched.
  ASSERT_TRUE(device->Read(sector, 2));
  EXPECT_EQ(Get32(sector), 2u);
  EXPECT_TRUE(device->Close());
  std::string bytes = this->ImageBytes(path);
  ASSERT_EQ(bytes.size(), 600u * 512);
  EXPECT_EQ(static_cast<uint8_t>(bytes[599 * 512 + 1]), static_cast<uint8_t>(599 + 3));
  EXPECT_EQ(static_cast<uint8_t>(bytes[2 * 512]), 2u);
}

TYPED_TEST(SectorDeviceConformance, BeyondTheEndNothingIsTransferred) {
  std::string path = this->Card(64);
  std::unique_ptr<SectorDevice> device = this->Open(path);
  ASSERT_NE(device, nullptr);
  std::string before = this->ImageBytes(path);
  uint8_t sector[512];
  std::memset(sector, 0xEE, sizeof sector);
  for (uint32_t n : {64u, 65u, 100000u}) {
    EXPECT_FALSE(device->Read(sector, n)) << n;
    EXPECT_EQ(sector[0], 0xEE) << "the buffer stays as it was";
    EXPECT_FALSE(device->Write(sector, n)) << n;
  }
  // The device still serves the sectors it has.
  ASSERT_TRUE(device->Read(sector, 63)) << JoinErrors(true);
  EXPECT_EQ(Get32(sector), 63u);
  EXPECT_TRUE(device->Close());
  EXPECT_EQ(this->ImageBytes(path), before);
}

TYPED_TEST(SectorDeviceConformance, ClosingTwiceIsHarmlessAndAClosedDeviceTransfersNothing) {
  std::string path = this->Card(64);
  std::unique_ptr<SectorDevice> device = this->Open(path);
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->Close());
  EXPECT_TRUE(device->Close());
  uint8_t sector[512] = {};
  EXPECT_FALSE(device->Read(sector, 1));
  EXPECT_FALSE(device->Write(sector, 1));
  // The card is free again for the next opener.
  EXPECT_NE(this->Open(path), nullptr);

  // The job's card the same way.
  this->cards_.Select(path);
  ASSERT_TRUE(OpenSectorDevice(path, 0, 0)) << JoinErrors(true);
  EXPECT_EQ(SectorDeviceKind(), TypeParam::kKind);
  EXPECT_TRUE(CloseSectorDevice());
  EXPECT_TRUE(CloseSectorDevice());
  EXPECT_FALSE(ReadSector(sector, 1));
  EXPECT_EQ(SectorDeviceCapacity(), 64u) << "still known after the close";
}

TYPED_TEST(SectorDeviceConformance, AMissingCardFailsWithTheSystemsReason) {
  std::string path = this->cards_.Missing(this->dir_);
  EXPECT_FALSE(OpenSectorDevice(path, 0, 0));
  ASSERT_FALSE(ErrorList().empty());
  EXPECT_EQ(ErrorList().back(), "Error while opening PC Card on '" + path + "'");
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOENT)) << ErrorText(ErrorCode());
  EXPECT_EQ(PendingCleanups(), 0u);
  uint8_t sector[512] = {};
  EXPECT_FALSE(ReadSector(sector, 0));
}

TYPED_TEST(SectorDeviceConformance, ACardInUseIsRefusedAndTheHolderKeepsIt) {
  std::string path = this->Card(64);
  std::unique_ptr<SectorDevice> holder = this->Open(path);
  ASSERT_NE(holder, nullptr);
  this->cards_.Select(path);
  EXPECT_EQ(OpenerFor(TypeParam::kKind)(path, 0, 0), nullptr);
  EXPECT_TRUE(ErrorsPending());
  uint8_t sector[512];
  ASSERT_TRUE(holder->Read(sector, 5)) << JoinErrors(true);
  EXPECT_EQ(Get32(sector), 5u);
}

TYPED_TEST(SectorDeviceConformance, TwoCardsOpenAtOnceKeepTheirOwnState) {
  std::string first_path = this->Card(64);
  std::string second_path = this->Card(40);
  std::unique_ptr<SectorDevice> first = this->Open(first_path);
  std::unique_ptr<SectorDevice> second = this->Open(second_path, 30);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->Capacity(), 64u);
  EXPECT_EQ(second->Capacity(), 30u);
  std::vector<uint8_t> ones(512, 0x11), twos(512, 0x22);
  ASSERT_TRUE(first->Write(ones.data(), 7));
  ASSERT_TRUE(second->Write(twos.data(), 7));
  uint8_t sector[512];
  ASSERT_TRUE(first->Read(sector, 7));
  EXPECT_EQ(sector[0], 0x11);
  ASSERT_TRUE(second->Read(sector, 7));
  EXPECT_EQ(sector[0], 0x22);
  // Closing one leaves the other working.
  EXPECT_TRUE(first->Close());
  ASSERT_TRUE(second->Read(sector, 8)) << JoinErrors(true);
  EXPECT_EQ(Get32(sector), 8u);
  EXPECT_TRUE(second->Close());
  EXPECT_EQ(this->ImageBytes(first_path)[7 * 512], 0x11);
  EXPECT_EQ(this->ImageBytes(second_path)[7 * 512], 0x22);
}

// One card of each kind open at once, beside the job's own card.
TEST(SectorDeviceKinds, CardsOfEveryKindOpenAtOnce) {
  ClearErrors();
  test::TempDir dir;
  RawCards raw(dir);
  DriverCards driver(dir);
  SerialCards serial(dir);
  std::string raw_path = raw.Serve(dir.Write("raw.img", NumberedImage(50)));
  std::string driver_path = driver.Serve(dir.Write("driver.img", NumberedImage(60)));
  std::string serial_path = serial.Serve(dir.Write("serial.img", NumberedImage(70)));
  ASSERT_FALSE(driver_path.empty());
  ASSERT_FALSE(serial_path.empty());
  serial.Select(serial_path);
  std::unique_ptr<SectorDevice> devices[] = {OpenCard(raw_path, 0, 0), OpenCard(driver_path, 0, 0),
                                             OpenCard(serial_path, 0, 0)};
  const uint32_t capacities[] = {50, 60, 70};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_NE(devices[i], nullptr) << i << JoinErrors(true);
    EXPECT_EQ(devices[i]->Capacity(), capacities[i]);
  }
  // Reads in turn, each from its own card.
  uint8_t sector[512];
  for (uint32_t n : {1u, 49u}) {
    for (auto& device : devices) {
      ASSERT_TRUE(device->Read(sector, n)) << JoinErrors(true);
      EXPECT_EQ(Get32(sector), n);
    }
  }
  for (auto& device : devices) EXPECT_TRUE(device->Close());
}

}  // namespace
}  // namespace qb
