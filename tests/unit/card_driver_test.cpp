// The card driver back-end through the sector device, against the carddriver
// program (real images, real socket) and against a driver on a test thread
// whose replies the test writes byte by byte.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "base/text_format.h"
#include "cardio/driver_records.h"
#include "cardio/sector_device.h"
#include "format/byte_order.h"
#include "platform/device_channel.h"
#include "support/program_runner_bg.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/thread_driver.h"

namespace qb {
namespace {

using test::GoodDriver;
using test::RawReply;
using test::ReplyBytes;
using test::ThreadDriver;

constexpr size_t kSector = 512;
const std::string kDevice = "\\\\.\\quil97";

std::string OpenFailure(const std::string& device) {
  return "Error while opening PC Card on '" + device + "'";
}

// A bare connection to the device's socket, for a client that breaks the
// channel's rules.
int ConnectRaw(const std::string& device) {
  std::string path = DeviceChannelPath(device);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A carddriver process for the length of a test; its standard output and
// error come back as one.
class DriverProcess : public test::BackgroundProgram {
 public:
  explicit DriverProcess(const std::vector<std::string>& args)
      : BackgroundProgram("carddriver", args, "") {}

  // The output up to the first line break, or all of it when the program
  // ends first (waits at most 10 s).
  std::string FirstLine() {
    WaitFor("\n", std::chrono::seconds(10));
    const size_t end = out().find('\n');
    return end == std::string::npos ? out() : out().substr(0, end + 1);
  }
};

IdentifyData CardIdentity(uint16_t cylinders, uint16_t heads, uint16_t per_track, uint16_t validity,
                          uint32_t capacity) {
  IdentifyData identity;
  identity.cylinders = cylinders;
  identity.heads = heads;
  identity.sectors_per_track = per_track;
  identity.validity = validity;
  identity.current_capacity = capacity;
  identity.model = "TEST CARD";
  identity.firmware = "F1";
  identity.serial = "S42";
  return identity;
}

// Image of `sectors` sectors; each starts with its own number (u32) and is
// filled with its number's low byte, so a wrong offset shows.
std::string ImageBytes(uint32_t sectors) {
  std::string bytes(static_cast<size_t>(sectors) * kSector, '\0');
  for (uint32_t s = 0; s < sectors; ++s) {
    uint8_t* sector = reinterpret_cast<uint8_t*>(bytes.data()) + s * kSector;
    std::memset(sector, static_cast<int>(s & 0xFF), kSector);
    Put32(sector, s);
  }
  return bytes;
}

// Opens the stand-in's device on `slot`: it succeeds when `error` is empty,
// otherwise it fails with `error` followed by the open failure.
void ExpectOpen(uint16_t slot, const std::string& error) {
  bool opened = OpenSectorDevice(kDevice, slot, 0);
  if (error.empty()) {
    EXPECT_TRUE(opened) << JoinErrors(true);
  } else {
    EXPECT_FALSE(opened);
    EXPECT_EQ(ErrorList(), (std::vector<std::string>{error, OpenFailure(kDevice)}));
  }
}

class CardDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("DD_KDVDIR", dir_.path() + "/kdv");
    ClearErrors();
    NextCase("job");
  }
  void TearDown() override {
    SetDeviceChannelTimeout(kChannelDefaultTimeoutMs);
    RunCleanups();
    ClearErrors();
  }

  // Closes card and log of the case before and starts a fresh log.
  void NextCase(const std::string& label) {
    RunCleanups();
    ClearErrors();
    log_name_ = label + ".log";
    ASSERT_TRUE(OpenJobLog(dir_.File(log_name_)));
  }
  // The log's texts without their time stamps.
  std::vector<std::string> LogTexts() {
    std::vector<std::string> texts;
    std::istringstream lines(dir_.Read(log_name_));
    for (std::string line; std::getline(lines, line);) {
      texts.push_back(line.size() > 20 ? line.substr(20) : line);
    }
    return texts;
  }
  bool Logged(const std::string& text) {
    for (const std::string& line : LogTexts()) {
      if (line == text) return true;
    }
    return false;
  }
  std::string Image(const std::string& name, uint32_t sectors) {
    return dir_.Write(name, ImageBytes(sectors));
  }
  // Starts carddriver serving quil97 with `args`; fails the test unless it
  // reports that it serves.
  std::unique_ptr<DriverProcess> StartDriver(std::vector<std::string> args) {
    args.insert(args.begin(), {"--name", "Quil97"});
    auto driver = std::make_unique<DriverProcess>(args);
    std::string line = driver->FirstLine();
    EXPECT_EQ(line.rfind("carddriver: serving Quil97 on ", 0), 0u) << line;
    return driver;
  }

  test::TempDir dir_;
  test::ScopedEnv env_;
  std::string log_name_;
};

TEST_F(CardDriverTest, ReadsAndWritesTheSlotsImage) {
  std::string image = Image("card.img", 1000);
  auto driver = StartDriver({"--slot", "0=" + image});

  // Device names ignore letter case.
  ASSERT_TRUE(OpenSectorDevice("\\\\.\\QUIL97", 0, 0)) << JoinErrors(true);
  EXPECT_EQ(SectorDeviceCapacity(), 1000u);
  EXPECT_TRUE(Logged("carddriver V1.00 (API V1.00)"));
  EXPECT_TRUE(Logged("KDV Card Image 1.00 (#IMG1000)"));
  EXPECT_TRUE(Logged("Capacity 1000 sectors (approx. 0.5 MB)"));
  EXPECT_FALSE(Logged("Used capacity 1000 sectors"));
  EXPECT_TRUE(Logged("Open card driver \\\\.\\QUIL97"));

  uint8_t buffer[kSector];
  for (uint32_t sector : {0u, 7u, 999u}) {
    ASSERT_TRUE(ReadSector(buffer, sector)) << sector;
    EXPECT_EQ(Get32(buffer), sector);
    EXPECT_EQ(buffer[kSector - 1], sector & 0xFF);
  }

  uint8_t data[kSector];
  for (size_t i = 0; i < kSector; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  ASSERT_TRUE(WriteSector(data, 9)) << JoinErrors(true);
  ASSERT_TRUE(ReadSector(buffer, 9));
  EXPECT_EQ(std::memcmp(buffer, data, kSector), 0);

  // On the image: sector 9 replaced, its neighbours untouched.
  std::string expected = ImageBytes(1000);
  expected.replace(9 * kSector, kSector, reinterpret_cast<const char*>(data), kSector);
  EXPECT_TRUE(dir_.Read("card.img") == expected);
  EXPECT_TRUE(ErrorList().empty());
}

TEST_F(CardDriverTest, SectorsBeyondReachFailWithoutTouchingOthers) {
  std::string image = Image("card.img", 1000);
  auto driver = StartDriver({"--slot", "0=" + image});
  ASSERT_TRUE(OpenSectorDevice(kDevice, 0, 0)) << JoinErrors(true);

  uint8_t buffer[kSector];
  std::memset(buffer, 0xEE, kSector);
  // 1000 is past the card; 2^23 has the byte offset 2^32, which the 32-bit
  // field would turn into sector 0.
  for (uint32_t sector : {1000u, 0x800000u, 0x800001u, 0xFFFFFFFFu}) {
    ClearErrors();
    EXPECT_FALSE(ReadSector(buffer, sector)) << sector;
    EXPECT_EQ(ErrorList(), std::vector<std::string>{"KDV_ERR_BAD_SECTOR"}) << sector;
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_FALSE(WriteSector(buffer, sector)) << sector;
  }
  EXPECT_TRUE(dir_.Read("card.img") == ImageBytes(1000));
}

TEST_F(CardDriverTest, SlotMustBeBelowTheDriversSlotCount) {
  std::string image = Image("card.img", 64);
  struct Case {
    std::vector<std::string> args;
    uint16_t slot;
    std::string error;  // empty: opens
  } cases[] = {
      // Two slots given: the count defaults to 2.
      {{"--slot", "0=" + image, "--slot", "1=" + image}, 1, ""},
      {{"--slot", "0=" + image, "--slot", "1=" + image}, 2, "Slot 2 not available"},
      // A driver with no slots accepts none.
      {{"--slot", "0=" + image, "--slots", "0"}, 0, "Slot 0 not available"},
      {{"--slot", "0=" + image, "--slots", "3"}, 65535, "Slot 65535 not available"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    NextCase("case");
    auto driver = StartDriver(c.args);
    ExpectOpen(c.slot, c.error);
  }
}

TEST_F(CardDriverTest, CardInTheSlotMustBeUsable) {
  std::string image = Image("card.img", 64);
  auto driver = StartDriver({"--slots", "5", "--slot", "0=" + image, "--slot", "1=" + image,
                             "--protected", "1", "--slot", "2=" + image, "--empty", "2", "--slot",
                             "3=" + image, "--non-ata", "3"});
  struct Case {
    uint16_t slot;
    std::string error;
  } cases[] = {
      {0, ""},
      {1, "Card is write-protected"},
      {2, "No card inserted"},
      {3, "No ATA card"},
      {4, "No card inserted"},  // a slot without an image
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    NextCase("case");
    ExpectOpen(c.slot, c.error);
  }
}

TEST_F(CardDriverTest, OnlyTheSignatureKdvIsTheDriver) {
  std::string image = Image("card.img", 64);
  for (const char* signature : {"KDVX", "KD", "kdv", ""}) {
    SCOPED_TRACE(signature);
    NextCase("case");
    auto driver = StartDriver({"--slot", "0=" + image, "--signature", signature});
    // Slot 9 does not exist either: the signature is checked first.
    EXPECT_FALSE(OpenSectorDevice(kDevice, 9, 0));
    EXPECT_EQ(ErrorList(), (std::vector<std::string>{"No KDV driver", OpenFailure(kDevice)}));
    EXPECT_FALSE(Logged("carddriver V1.00 (API V1.00)"));
  }
}

TEST_F(CardDriverTest, CapacityFromTheGeometryWhenWord53IsZero) {
  std::string image = Image("card.img", 1000);
  auto driver = StartDriver({"--slot", "0=" + image, "--chs"});
  ASSERT_TRUE(OpenSectorDevice(kDevice, 0, 0)) << JoinErrors(true);
  // The stand-in's geometry: 15 cylinders × 2 heads × 32 sectors per track.
  EXPECT_EQ(SectorDeviceCapacity(), 960u);
  EXPECT_TRUE(Logged("Capacity 960 sectors (approx. 0.5 MB)"));
}

TEST_F(CardDriverTest, CapacityFromTheIdentityBlock) {
  struct Case {
    IdentifyData identity;
    uint32_t capacity;
    std::string logged;
  } cases[] = {
      {CardIdentity(980, 16, 63, 0, 1000944), 987840, "Capacity 987840 sectors (approx. 482.3 MB)"},
      {CardIdentity(980, 16, 63, 1, 1000944), 1000944,
       "Capacity 1000944 sectors (approx. 488.7 MB)"},
      // Any bit of word 53 counts.
      {CardIdentity(980, 16, 63, 0x8000, 1000944), 1000944, ""},
      // The geometry's product is taken in 32 bits.
      {CardIdentity(65535, 65535, 65535, 0, 7), 196607, ""},
      // Beyond what the requests' 32-bit byte offsets reach, the card is
      // used up to that limit.
      {CardIdentity(0, 0, 0, 1, 8388607), 8388607, "Capacity 8388607 sectors (approx. 4096.0 MB)"},
      {CardIdentity(0, 0, 0, 1, 8388608), 8388607, "Capacity 8388608 sectors (approx. 4096.0 MB)"},
      {CardIdentity(0, 0, 0, 1, 0xFFFFFFFF), 8388607, ""},
  };
  const std::string limited =
      "Capacity limited to 8388607 sectors (the most the card driver can address)";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identity.current_capacity);
    NextCase("case");
    IdentifyData identity = c.identity;
    ThreadDriver driver(kDevice, [&](const ChannelRequest& r) { return GoodDriver(r, identity); });
    ASSERT_TRUE(driver.listening());
    ASSERT_TRUE(OpenSectorDevice(kDevice, 1, 0)) << JoinErrors(true);
    EXPECT_EQ(SectorDeviceCapacity(), c.capacity);
    EXPECT_TRUE(Logged("testdriver V2.05 (API V1.03)"));
    EXPECT_TRUE(Logged("TEST CARD F1 (#S42)"));
    if (!c.logged.empty()) {
      EXPECT_TRUE(Logged(c.logged));
    }
    EXPECT_EQ(Logged(limited), identity.validity != 0 && identity.current_capacity > 8388607);
  }
}

TEST_F(CardDriverTest, CardsizeLimitsTheCapacity) {
  std::string image = Image("card.img", 1000);
  auto driver = StartDriver({"--slot", "0=" + image});
  struct Case {
    uint32_t cardsize;
    uint32_t capacity;
  } cases[] = {{3, 3}, {999, 999}, {0, 1000}, {1, 1000}, {2, 1000}, {1000, 1000}, {5000, 1000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cardsize);
    NextCase("case");
    ASSERT_TRUE(OpenSectorDevice(kDevice, 0, c.cardsize)) << JoinErrors(true);
    EXPECT_EQ(SectorDeviceCapacity(), c.capacity);
    EXPECT_TRUE(Logged("Capacity 1000 sectors (approx. 0.5 MB)"));
    EXPECT_EQ(Logged("Used capacity " + std::to_string(c.capacity) + " sectors"),
              c.capacity != 1000);
  }
}

TEST_F(CardDriverTest, FailingRequestsReportTheirResult) {
  IdentifyData identity = CardIdentity(100, 4, 32, 1, 12800);
  struct Case {
    uint32_t code;
    uint32_t result;
    std::string error;
  } cases[] = {
      {kDriverInfoCode, 0x1234ABCD, "API result 1234ABCD"},
      {kDriverInfoCode, kKdvErrNoDevice, "KDV_ERR_NO_DEVICE"},
      {kSlotStatusCode, kKdvErrNotReady, "KDV_ERR_NOT_READY"},
      {kIdentifyCode, kKdvErrMediaAccess, "No ATA card"},
      {kIdentifyCode, kKdvErrGeneral, "KDV_ERR_GENERAL"},
      {kIdentifyCode, 0x2A, "API result 0000002A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    NextCase("case");
    ThreadDriver driver(kDevice, [&](const ChannelRequest& r) {
      return r.code == c.code ? RawReply{ReplyBytes(c.result, {})} : GoodDriver(r, identity);
    });
    ASSERT_TRUE(driver.listening());
    EXPECT_FALSE(OpenSectorDevice(kDevice, 0, 0));
    EXPECT_EQ(ErrorList(), (std::vector<std::string>{c.error, OpenFailure(kDevice)}));
    EXPECT_EQ(ErrorCode(), 0u);
  }
}

TEST_F(CardDriverTest, BrokenRepliesFailCleanly) {
  SetDeviceChannelTimeout(300);
  std::string header_only = ReplyBytes(kDriverOk, {});
  auto with_length = [&](uint32_t length, size_t bytes) {
    std::string reply = header_only;
    Put32(reinterpret_cast<uint8_t*>(reply.data()) + 4, length);
    return reply + std::string(bytes, 'K');
  };
  struct Case {
    const char* what;
    RawReply info_reply;
    int error;
  } cases[] = {
      {"longer than asked for", {with_length(kDriverInfoSize + 1, kDriverInfoSize + 1)}, EPROTO},
      {"absurd length", {with_length(0xFFFFFFFF, 0)}, EPROTO},
      {"shorter than the record", {with_length(10, 10)}, EPROTO},
      {"cut header", {header_only.substr(0, 3), true}, ECONNRESET},
      {"cut output", {with_length(kDriverInfoSize, 20), true}, ECONNRESET},
      {"hang-up", {"", true}, ECONNRESET},
      {"silence", {"", false}, ETIMEDOUT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NextCase("case");
    ThreadDriver driver(kDevice, [&](const ChannelRequest&) { return c.info_reply; });
    ASSERT_TRUE(driver.listening());
    EXPECT_FALSE(OpenSectorDevice(kDevice, 0, 0));
    EXPECT_EQ(ErrorList(), (std::vector<std::string>{
                               FormatText("API result %08X", static_cast<unsigned>(c.error)),
                               OpenFailure(kDevice)}));
    EXPECT_EQ(ErrorText(ErrorCode()), std::strerror(c.error));
  }
}

TEST_F(CardDriverTest, RequestsCarryTheirRecords) {
  IdentifyData identity = CardIdentity(100, 4, 32, 1, 0xFFFFFFFF);
  std::vector<ChannelRequest> seen;
  uint32_t read_result = kDriverOk;
  size_t read_length = kSector;
  ThreadDriver driver(kDevice, [&](const ChannelRequest& r) {
    seen.push_back(r);
    if (r.code == kWriteCode) return RawReply{ReplyBytes(kKdvErrWriteFault, {})};
    if (r.code == kReadCode) {
      return RawReply{ReplyBytes(read_result, std::vector<uint8_t>(read_length, 0x11))};
    }
    return GoodDriver(r, identity);
  });
  ASSERT_TRUE(driver.listening());
  ASSERT_TRUE(OpenSectorDevice(kDevice, 1, 0)) << JoinErrors(true);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].code, kDriverInfoCode);
  EXPECT_TRUE(seen[0].input.empty());
  EXPECT_EQ(seen[0].out_cap, kDriverInfoSize);
  std::vector<uint8_t> slot_request(kDriverRequestSize, 0);
  slot_request[0] = 1;
  EXPECT_EQ(seen[1].code, kSlotStatusCode);
  EXPECT_EQ(seen[1].input, slot_request);
  EXPECT_EQ(seen[2].code, kIdentifyCode);
  EXPECT_EQ(seen[2].input, slot_request);
  EXPECT_EQ(seen[2].out_cap, kIdentifySize);

  // The last reachable sector: byte offset 0xFFFFFE00.
  const uint32_t sector = 0x7FFFFF;
  uint8_t buffer[kSector];
  ASSERT_TRUE(ReadSector(buffer, sector));
  EXPECT_EQ(buffer[100], 0x11);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[3].code, kReadCode);
  EXPECT_EQ(seen[3].out_cap, kSector);
  EXPECT_EQ(seen[3].input,
            (std::vector<uint8_t>{2, 0, 0, 0, 0x00, 0xFE, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0,
                                  0, 0, 0, 0, 0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0}));

  uint8_t data[kSector];
  for (size_t i = 0; i < kSector; ++i) data[i] = static_cast<uint8_t>(i);
  EXPECT_FALSE(WriteSector(data, sector));
  EXPECT_EQ(ErrorList(), std::vector<std::string>{"KDV_ERR_WRITE_FAULT"});
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[4].code, kWriteCode);
  EXPECT_EQ(seen[4].out_cap, 0u);
  std::vector<uint8_t> write_request = {2,    0,    0xAA, 0x55, 0, 0, 0, 0, 0x00,
                                        0xFE, 0xFF, 0xFF, 0,    2, 0, 0, 1, 0};
  write_request.resize(kWriteHeaderSize + kSector, 0);
  std::copy(data, data + kSector, write_request.begin() + kWriteHeaderSize);
  EXPECT_EQ(seen[4].input, write_request);

  // A failed read leaves the caller's buffer as it was.
  struct Case {
    uint32_t result;
    size_t length;
    std::string error;
  } cases[] = {
      {kKdvErrReadFault, 0, "KDV_ERR_READ_FAULT"},
      {kDriverOk, 100, FormatText("API result %08X", static_cast<unsigned>(EPROTO))},
  };
  for (const Case& c : cases) {
    ClearErrors();
    read_result = c.result;
    read_length = c.length;
    std::memset(buffer, 0xEE, kSector);
    EXPECT_FALSE(ReadSector(buffer, 5));
    EXPECT_EQ(ErrorList(), std::vector<std::string>{c.error});
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(buffer[kSector - 1], 0xEE);
  }
}

TEST_F(CardDriverTest, OpenWithoutADriverKeepsTheSystemsReason) {
  // A socket nobody listens on, as a driver that died leaves it.
  ASSERT_EQ(mkdir((dir_.path() + "/kdv").c_str(), 0700), 0);
  int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string stale_path = DeviceChannelPath("\\\\.\\stale");
  std::strncpy(address.sun_path, stale_path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(stale);

  struct Case {
    std::string device;
    int error;
  } cases[] = {
      {"\\\\.\\nobody", ENOENT},
      {"\\\\.\\stale", ECONNREFUSED},
      {"\\\\.\\" + std::string(60, 'x'), ENAMETOOLONG},  // 64 characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    NextCase("case");
    EXPECT_FALSE(OpenSectorDevice(c.device, 0, 0));
    EXPECT_EQ(ErrorList(), std::vector<std::string>{OpenFailure(c.device)});
    EXPECT_EQ(ErrorText(ErrorCode()), std::strerror(c.error));
  }
}

TEST_F(CardDriverTest, DriverOutlivesBadClients) {
  std::string image = Image("card.img", 64);
  auto driver = StartDriver({"--slot", "0=" + image});
  std::string path = DeviceChannelPath(kDevice);

  // Gone in the middle of a request header.
  int client = ConnectRaw(kDevice);
  ASSERT_GE(client, 0);
  ASSERT_EQ(send(client, "\x04\x28", 2, MSG_NOSIGNAL), 2);
  close(client);

  // Announces more input than any request has: the driver hangs up.
  client = ConnectRaw(kDevice);
  ASSERT_GE(client, 0);
  uint8_t header[kChannelRequestHeaderSize];
  Put32(header, kWriteCode);
  Put32(header + 4, 0x7FFFFFFF);
  Put32(header + 8, 0);
  ASSERT_EQ(send(client, header, sizeof header, MSG_NOSIGNAL), 12);
  pollfd fd{client, POLLIN, 0};
  ASSERT_EQ(poll(&fd, 1, 5000), 1);
  char byte;
  EXPECT_EQ(recv(client, &byte, 1, 0), 0);
  close(client);

  // Unknown requests and malformed records are answered, not fatal.
  DeviceChannel channel;
  int error = 0;
  ASSERT_TRUE(channel.Open(kDevice, error)) << std::strerror(error);
  uint8_t out[kIdentifySize];
  EXPECT_EQ(channel.Control(0xA0002899, nullptr, 0, out, sizeof out).result, kKdvErrBadRequest);
  uint8_t short_request[4] = {};
  EXPECT_EQ(channel.Control(kReadCode, short_request, sizeof short_request, out, kSector).result,
            kKdvErrBadRequest);
  uint8_t read_request[kDriverRequestSize];
  EncodeReadRequest(100, 0, read_request);  // not on a sector boundary
  EXPECT_EQ(channel.Control(kReadCode, read_request, sizeof read_request, out, kSector).result,
            kKdvErrParameter);
  EncodeReadRequest(0, 0, read_request);
  ChannelReply reply = channel.Control(kIdentifyCode, read_request, sizeof read_request, out, 100);
  EXPECT_EQ(reply.system_error, 0);
  EXPECT_EQ(reply.result, kKdvErrParameter);  // identity does not fit
  // A call on a closed connection is a system error, not a driver result.
  channel.Close();
  reply = channel.Control(kDriverInfoCode, nullptr, 0, out, kDriverInfoSize);
  EXPECT_EQ(reply.system_error, EBADF);
  EXPECT_EQ(reply.result, kDriverOk);

  EXPECT_TRUE(OpenSectorDevice(kDevice, 0, 0)) << JoinErrors(true);
  EXPECT_EQ(driver->Stop(), 0);
  EXPECT_NE(access(path.c_str(), F_OK), 0) << "socket left behind";
}

TEST_F(CardDriverTest, OneDriverPerName) {
  std::string image = Image("card.img", 64);
  auto first = StartDriver({"--slot", "0=" + image});
  DriverProcess second({"--name", "QUIL97", "--slot", "0=" + image});
  EXPECT_NE(second.FirstLine().find("already serves"), std::string::npos);
  EXPECT_EQ(second.Wait(), 1);
  // The first one still serves.
  EXPECT_TRUE(OpenSectorDevice(kDevice, 0, 0)) << JoinErrors(true);

  // A driver killed outright leaves its socket behind; the next one
  // replaces it.
  DriverProcess killed({"--name", "other", "--slot", "0=" + image});
  ASSERT_NE(killed.FirstLine().find("serving"), std::string::npos);
  killed.Stop(SIGKILL);
  ASSERT_EQ(access(DeviceChannelPath("\\\\.\\other").c_str(), F_OK), 0);
  DriverProcess next({"--name", "other", "--slot", "0=" + image});
  EXPECT_NE(next.FirstLine().find("serving other"), std::string::npos);
  EXPECT_EQ(next.Stop(), 0);

  // Anything but a socket in the way is left alone.
  dir_.Write("kdv/plain", "data");
  DriverProcess refused({"--name", "plain", "--slot", "0=" + image});
  EXPECT_NE(refused.FirstLine().find("cannot listen"), std::string::npos);
  EXPECT_EQ(refused.Wait(), 1);
  EXPECT_EQ(dir_.Read("kdv/plain"), "data");
}

// What a driver holds between taking its name and listening: the lock beside
// the socket and a socket that does not answer yet. A second driver started
// then stops and leaves both alone.
TEST_F(CardDriverTest, AStartingDriverKeepsItsName) {
  std::string image = Image("card.img", 64);
  const std::string socket_path = DeviceChannelPath(kDevice);
  ASSERT_EQ(mkdir((dir_.path() + "/kdv").c_str(), 0700), 0);
  int lock = open((socket_path + ".LOCK").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  int bound = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size());
  ASSERT_EQ(bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  struct stat before;
  ASSERT_EQ(stat(socket_path.c_str(), &before), 0);

  DriverProcess second({"--name", "quil97", "--slot", "0=" + image});
  const std::string line = second.FirstLine();
  ASSERT_NE(line.find("already serves"), std::string::npos) << line;
  EXPECT_EQ(second.Wait(), 1);
  struct stat after;
  ASSERT_EQ(stat(socket_path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  close(bound);
  close(lock);
}

// Drivers started together with one name: exactly one serves; the other
// stops with an error and leaves the server's socket in place.
TEST_F(CardDriverTest, DriversStartedTogetherNeverBothServe) {
  std::string image = Image("card.img", 64);
  const std::string socket_path = DeviceChannelPath(kDevice);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    DriverProcess a({"--name", "quil97", "--slot", "0=" + image});
    DriverProcess b({"--name", "quil97", "--slot", "0=" + image});
    const std::string line_a = a.FirstLine();
    const std::string line_b = b.FirstLine();
    const bool a_serves = line_a.find("serving") != std::string::npos;
    const bool b_serves = line_b.find("serving") != std::string::npos;
    ASSERT_NE(a_serves, b_serves) << line_a << line_b;
    DriverProcess& winner = a_serves ? a : b;
    DriverProcess& loser = a_serves ? b : a;
    EXPECT_NE((a_serves ? line_b : line_a).find("already serves"), std::string::npos);
    EXPECT_EQ(loser.Wait(), 1);
    EXPECT_TRUE(OpenSectorDevice(kDevice, 0, 0)) << JoinErrors(true);
    NextCase("round");
    EXPECT_EQ(winner.Stop(), 0);
    EXPECT_NE(access(socket_path.c_str(), F_OK), 0) << "socket left behind";
  }
}

// A name no client could open is refused before anything is created: a
// device name beyond the 63 characters a card driver is opened by, a socket
// path beyond what a connect takes.
TEST_F(CardDriverTest, NamesNoClientCanOpenAreRefused) {
  std::string image = Image("card.img", 64);
  const std::string longest(59, 'n');  // "\\.\" and 59 characters: 63
  {
    DriverProcess driver({"--name", longest, "--slot", "0=" + image});
    ASSERT_NE(driver.FirstLine().find("serving"), std::string::npos);
    EXPECT_TRUE(OpenSectorDevice("\\\\.\\" + longest, 0, 0)) << JoinErrors(true);
    NextCase("longest");
  }
  DriverProcess too_long({"--name", longest + "n", "--slot", "0=" + image});
  std::string line = too_long.FirstLine();
  ASSERT_NE(line.find("too long"), std::string::npos) << line;
  EXPECT_EQ(too_long.Wait(), 1);

  const std::string deep = dir_.path() + "/" + std::string(100, 'd');
  env_.Set("DD_KDVDIR", deep);
  DriverProcess deep_socket({"--name", "quil97", "--slot", "0=" + image});
  line = deep_socket.FirstLine();
  ASSERT_NE(line.find("socket path " + deep + "/quil97 too long"), std::string::npos) << line;
  EXPECT_EQ(deep_socket.Wait(), 1);
  EXPECT_NE(access(deep.c_str(), F_OK), 0) << "a folder was made for a socket no one can reach";
}

// A card belongs to one client at a time: another client's open of it is
// refused at once as a card in use, other slots stay free, a job on the
// image itself is refused as well, and the card is free again as soon as
// its holder closes it.
TEST_F(CardDriverTest, OneClientPerCard) {
  const std::string image0 = Image("card0.img", 64);
  const std::string image1 = Image("card1.img", 64);
  auto driver = StartDriver({"--slot", "0=" + image0, "--slot", "1=" + image1});
  auto status = [](DeviceChannel& channel, uint16_t slot) {
    uint8_t request[kDriverRequestSize];
    EncodeSlotRequest(slot, request);
    uint8_t reply[kSlotStatusSize];
    return channel.Control(kSlotStatusCode, request, sizeof request, reply, sizeof reply).result;
  };
  int error = 0;
  const std::string busy = "PC Card is in use by another job";

  DeviceChannel holder;
  ASSERT_TRUE(holder.Open(kDevice, error)) << std::strerror(error);
  ASSERT_EQ(status(holder, 0), kDriverOk);
  ExpectOpen(0, busy);
  NextCase("other slot");
  ExpectOpen(1, "");
  NextCase("image");
  EXPECT_FALSE(OpenSectorDevice(image0, 0, 0));
  EXPECT_EQ(ErrorList(), std::vector<std::string>{OpenFailure(image0)});
  EXPECT_EQ(ErrorText(ErrorCode()), busy);
  holder.Close();
  NextCase("closed");
  ExpectOpen(0, "");

  // A job on the image itself keeps the driver's clients out in turn.
  NextCase("image held");
  ASSERT_TRUE(OpenSectorDevice(image0, 0, 0)) << JoinErrors(true);
  DeviceChannel other;
  ASSERT_TRUE(other.Open(kDevice, error)) << std::strerror(error);
  EXPECT_EQ(status(other, 0), kKdvErrBusy);
  EXPECT_EQ(status(other, 1), kDriverOk);
  NextCase("image closed");
  EXPECT_EQ(status(other, 0), kDriverOk);
}

TEST(CardDriverRecords, AtaTextIsReadWordByWord) {
  struct Case {
    std::string raw;
    std::string text;
  } cases[] = {
      {"eTts", "Test"},
      {"  bA   c", "Ab  c"},  // inner blanks stay
      {"        ", ""},
      {std::string("BA\0\0DC", 6), "AB"},  // a NUL ends the text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeAtaText(reinterpret_cast<const uint8_t*>(c.raw.data()), c.raw.size() / 2),
              c.text)
        << c.raw;
  }
}

TEST(CardDriverRecords, DriverInfoTextsStayInTheirFields) {
  uint8_t record[kDriverInfoSize];
  std::memset(record, 'N', sizeof record);
  std::memcpy(record, "KDVX", 4);
  DriverInfo info = DecodeDriverInfo(record);
  EXPECT_EQ(info.signature, "KDVX");
  EXPECT_EQ(info.name, std::string(16, 'N'));
  EXPECT_EQ(info.slots, 0x4E4E);
}

TEST(CardDriverRecords, SynthesizedGeometryStaysInsideTheCard) {
  for (uint64_t sectors : {0ull, 1ull, 64ull, 1000ull, 2048ull, 1000944ull, 4194304ull, 1ull << 32,
                           (1ull << 40) + 5}) {
    SCOPED_TRACE(sectors);
    uint8_t block[kIdentifySize];
    EncodeIdentify(SynthesizeIdentify(sectors), block);
    IdentifyData identity = DecodeIdentify(block);
    uint64_t geometry =
        static_cast<uint64_t>(identity.cylinders) * identity.heads * identity.sectors_per_track;
    EXPECT_LE(geometry, sectors);
    EXPECT_EQ(identity.validity, 1);
    EXPECT_EQ(identity.current_capacity, std::min<uint64_t>(sectors, 0xFFFFFFFF));
  }
}

TEST(CardDriverChannel, DeviceNameToSocketPath) {
  struct Env {
    const char* kdvdir;
    const char* runtime;
    std::string folder;
  } envs[] = {
      {"/srv/kdv", "/run/user/5", "/srv/kdv"},
      {"", "/run/user/5", "/run/user/5/kdv"},
      {nullptr, nullptr, "/tmp/kdv-" + std::to_string(getuid())},
  };
  test::ScopedEnv saved;
  for (const Env& env : envs) {
    saved.Set("DD_KDVDIR", env.kdvdir);
    saved.Set("XDG_RUNTIME_DIR", env.runtime);
    EXPECT_EQ(DeviceChannelPath("\\\\.\\QuilUSB"), env.folder + "/quilusb");
  }
  for (const char* bad : {"\\\\.\\", "\\\\.\\..", "\\\\.\\a/b", "\\\\?\\quil97", "quil97"}) {
    EXPECT_EQ(DeviceChannelPath(bad), "") << bad;
  }
}

}  // namespace
}  // namespace qb
