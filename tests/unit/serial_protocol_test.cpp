// The serial card drive: frames and the receiver on byte buffers, the
// environment settings and the rate formula, the port on a pseudo-terminal,
// and the back-end's waits against a device played by a test thread.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_host.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "cardio/driver_records.h"
#include "cardio/sector_device.h"
#include "cardio/serial_drive_device.h"
#include "cardio/serial_protocol.h"
#include "cardio/serial_settings.h"
#include "format/byte_order.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "support/recording_host.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using Bytes = std::vector<uint8_t>;

using test::ScopedEnv;

const char* const kSettingNames[] = {"DD_COM",     "DD_MAXRATE", "DD_BAUDRATE", "DD_TSOHSTX",
                                     "DD_TCMDACK", "DD_TCMDRSP", "DD_TBYTBYT",  "DD_DEVICE"};

// Every DD_ variable removed, the error report and clean-ups empty.
class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kSettingNames) env_.Set(name, nullptr);
    ClearErrors();
    ClearCleanups();
  }
  void TearDown() override { RunCleanups(); }

  // Log lines of the job log in `dir` without their time stamps.
  static std::vector<std::string> LogLines(const test::TempDir& dir) {
    std::vector<std::string> lines;
    std::string text = dir.Read("job.log");
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      lines.push_back(line.size() > 20 ? line.substr(20) : line);
      start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
  }

  ScopedEnv env_;
};

Bytes Frame(uint8_t sequence, uint8_t code, const Bytes& payload) {
  Bytes frame(kSerialBufferSize);
  size_t size = BuildFrame(frame.data(), sequence, code, payload.data(), payload.size());
  frame.resize(size);
  return frame;
}

// ---------------------------------------------------------------------------
// Frames

TEST(SerialFrame, SectorFiveReadWithSlotZeroAndSequenceOne) {
  uint8_t frame[kSerialBufferSize];
  ASSERT_EQ(BuildReadRequest(frame, 1, 0, 5), 11u);
  const uint8_t expected[] = {0x0A, 0x00, 0x01, 0x0C, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(frame, frame + 10), Bytes(expected, expected + 10));
  EXPECT_EQ(frame[10], FrameChecksum(frame, 10));
}

TEST(SerialFrame, EveryRequestCarriesItsLengthAndXorsToZero) {
  uint8_t data[kSectorBytes];
  for (size_t i = 0; i < kSectorBytes; ++i) data[i] = static_cast<uint8_t>(i * 7);
  struct Case {
    const char* name;
    std::function<size_t(uint8_t*)> build;
    uint16_t length;
    uint8_t code;
  };
  const Case cases[] = {
      {"identification",
       [](uint8_t* f) { return BuildFrame(f, 9, kCmdIdentification, nullptr, 0); }, 4,
       kCmdIdentification},
      {"capacity", [](uint8_t* f) { return BuildSlotRequest(f, 9, kCmdCapacity, 0); }, 5,
       kCmdCapacity},
      {"write", [&](uint8_t* f) { return BuildWriteRequest(f, 9, 0, 0x01020304, data); }, 522,
       kCmdWriteSector},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t frame[kSerialBufferSize];
    ASSERT_EQ(c.build(frame), c.length + 1u);
    EXPECT_EQ(Get16(frame), c.length);
    EXPECT_EQ(frame[2], 9);
    EXPECT_EQ(frame[3], c.code);
    EXPECT_EQ(FrameChecksum(frame, c.length + 1u), 0);
  }
  uint8_t frame[kSerialBufferSize];
  BuildWriteRequest(frame, 1, 0, 0x01020304, data);
  EXPECT_EQ(Get32(frame + kRequestSectorOffset), 0x01020304u);
  EXPECT_EQ(std::memcmp(frame + kRequestDataOffset, data, kSectorBytes), 0);
  // A payload that cannot fit the buffer builds nothing.
  uint8_t big[kSerialBufferSize] = {};
  EXPECT_EQ(BuildFrame(frame, 1, 0, big, kSerialBufferSize - 4), 0u);
}

TEST(SerialFrame, SequenceFollowsTheLastResponse) {
  uint8_t receive[kSerialBufferSize] = {};
  EXPECT_EQ(NextSequence(receive), 1);  // before any response
  receive[2] = 0x41;
  EXPECT_EQ(NextSequence(receive), 0x42);
  receive[2] = 0xFF;
  EXPECT_EQ(NextSequence(receive), 0);
}

// ---------------------------------------------------------------------------
// Receiver

TEST(SerialReceiver, StatesOfWholeFrames) {
  Bytes spoilt = Frame(3, 0, {1, 2, 3});
  spoilt[4] ^= 0x10;
  struct Case {
    const char* name;
    Bytes bytes;
    FrameReceiver::State state;
    bool good_status;
  };
  const Case cases[] = {
      {"status 0", Frame(3, 0, {1, 2, 3}), FrameReceiver::State::kComplete, true},
      {"status 10", Frame(3, 10, {}), FrameReceiver::State::kComplete, true},
      {"status 1", Frame(3, 1, {}), FrameReceiver::State::kComplete, false},
      {"checksum", spoilt, FrameReceiver::State::kBadChecksum, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t buffer[kSerialBufferSize] = {};
    FrameReceiver receiver(buffer);
    size_t used = 0;
    EXPECT_EQ(receiver.Take(c.bytes.data(), c.bytes.size(), used), c.state);
    EXPECT_EQ(used, c.bytes.size());
    if (c.state == FrameReceiver::State::kComplete) {
      EXPECT_TRUE(receiver.HasHeader());
      EXPECT_EQ(SerialStatusGood(buffer[3]), c.good_status);
    }
  }
}

TEST(SerialReceiver, TakesNoByteBeyondTheFrame) {
  uint8_t buffer[kSerialBufferSize] = {};
  FrameReceiver receiver(buffer);
  Bytes bytes = Frame(1, 0, {0xAA, 0xBB});
  EXPECT_EQ(receiver.Wanted(), 2u);
  bytes.push_back(0x77);  // the start of whatever follows
  size_t used = 0;
  ASSERT_EQ(receiver.Take(bytes.data(), 1, used), FrameReceiver::State::kMore);
  ASSERT_EQ(receiver.Take(bytes.data() + 1, 1, used), FrameReceiver::State::kMore);
  EXPECT_EQ(receiver.Wanted(), 5u);  // L = 6: bytes 2 to 6
  ASSERT_EQ(receiver.Take(bytes.data() + 2, bytes.size() - 2, used),
            FrameReceiver::State::kComplete);
  EXPECT_EQ(used, 5u);
  EXPECT_EQ(receiver.Wanted(), 0u);
  EXPECT_EQ(receiver.payload_size(), 2u);
  EXPECT_EQ(receiver.payload()[1], 0xBB);
}

TEST(SerialReceiver, OverflowsAtTheByteAfter528AndNeverStoresIt) {
  // The buffer sits inside a larger block whose guard bytes must stay.
  uint8_t block[kSerialBufferSize + 64];
  std::memset(block, 0xEE, sizeof block);
  FrameReceiver receiver(block);
  Bytes flood(600, 0x00);
  flood[0] = 0xFF;
  flood[1] = 0xFF;  // L = 65535
  size_t used = 0;
  EXPECT_EQ(receiver.Take(flood.data(), 2, used), FrameReceiver::State::kMore);
  EXPECT_EQ(receiver.Wanted(), kSerialBufferSize + 1 - 2);
  EXPECT_EQ(receiver.Take(flood.data() + 2, flood.size() - 2, used),
            FrameReceiver::State::kOverflow);
  EXPECT_EQ(used, kSerialBufferSize + 1 - 2);
  EXPECT_EQ(receiver.count(), kSerialBufferSize);
  for (size_t i = kSerialBufferSize; i < sizeof block; ++i) ASSERT_EQ(block[i], 0xEE) << i;

  // The longest frame that fits (L = 527) is complete at byte 528.
  uint8_t buffer[kSerialBufferSize] = {};
  FrameReceiver fits(buffer);
  Bytes payload(kMaxFrameLength - kFrameHeaderSize, 0x5A);
  Bytes largest = Frame(1, 0, payload);
  ASSERT_EQ(largest.size(), kSerialBufferSize);
  EXPECT_EQ(fits.Take(largest.data(), largest.size(), used), FrameReceiver::State::kComplete);
}

TEST(SerialReceiver, FramesTooShortForAStatusHaveNoHeader) {
  uint8_t buffer[kSerialBufferSize] = {};
  FrameReceiver receiver(buffer);
  const uint8_t empty[] = {0x00, 0x00};  // L = 0: complete, XOR 0
  size_t used = 0;
  EXPECT_EQ(receiver.Take(empty, 2, used), FrameReceiver::State::kComplete);
  EXPECT_FALSE(receiver.HasHeader());
  EXPECT_EQ(receiver.payload_size(), 0u);
}

// ---------------------------------------------------------------------------
// Environment and rate

TEST(SerialSettings, ValuesOutsideTheirRangeFallBackSilently) {
  struct Case {
    const char* text;
    unsigned long min, max, fallback;
    unsigned long value;
    bool accepted;
  };
  const Case cases[] = {
      {"200", 500, 30000, 10000, 10000, false},  // DD_TCMDRSP below its range
      {"0x1F4", 500, 30000, 10000, 500, true},   // hexadecimal
      {"010", 1, 9, 1, 8, true},                 // leading zero: octal
      {"10", 1, 9, 1, 1, false},                 // DD_COM = 10
      {"-1", 1, 9, 1, 1, false},                 // negative compares as huge
      {"abc", 1, 9, 3, 3, false},                // no number counts as 0
      {"250ms", 100, 30000, 7, 250, true},       // the leading number counts
      {nullptr, 100, 30000, 250, 250, false},    // missing
      {"99999999999999999999", 100, 30000, 250, 250, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(missing)");
    bool accepted = !c.accepted;
    EXPECT_EQ(SerialSettingValue(c.text, c.min, c.max, c.fallback, accepted), c.value);
    EXPECT_EQ(accepted, c.accepted);
  }
}

TEST_F(SerialTest, SettingsAreReadInOrderAndAcceptedOnesLogged) {
  test::TempDir dir;
  ASSERT_TRUE(OpenJobLog(dir.File("job.log")));
  env_.Set("DD_COM", "3");
  env_.Set("DD_BAUDRATE", "19200");
  env_.Set("DD_TSOHSTX", "99");
  env_.Set("DD_TCMDRSP", "0x1F4");
  env_.Set("DD_TBYTBYT", "-5");
  SerialSettings settings = ReadSerialSettings();
  CloseJobLog();
  EXPECT_EQ(settings.com, 3u);
  EXPECT_EQ(settings.max_rate, 115200u);
  EXPECT_EQ(settings.baud_rate, 19200u);
  EXPECT_EQ(settings.soh_stx_ms, 250u);
  EXPECT_EQ(settings.cmd_ack_ms, 250u);
  EXPECT_EQ(settings.cmd_rsp_ms, 500u);
  EXPECT_EQ(settings.byte_ms, 250u);
  std::vector<std::string> expected = {"Open logfile", "DD_COM = 3 ", "DD_BAUDRATE = 19200 Baud",
                                       "DD_TCMDRSP = 500 ms", "Close logfile"};
  EXPECT_EQ(LogLines(dir), expected);
}

TEST(SerialSettings, LineRateScalesByThePortsRealRate) {
  struct Case {
    unsigned long baud, max_rate;
    uint32_t rate;
  };
  const Case cases[] = {
      {500000, 500000, 115200}, {9600, 115200, 9600},   {115200, 115200, 115200},
      {600, 500000, 138},       {57600, 230400, 28800}, {500000, 115200, 500000},
  };
  for (const Case& c : cases) {
    SerialSettings settings;
    settings.baud_rate = c.baud;
    settings.max_rate = c.max_rate;
    EXPECT_EQ(SerialLineRate(settings), c.rate) << c.baud << " / " << c.max_rate;
  }
}

// ---------------------------------------------------------------------------
// The port on a pseudo-terminal

// The master side of a pseudo-terminal pair; the slave is the "COM port".
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  int master() const { return master_; }
  const std::string& slave() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};

TEST_F(SerialTest, PortPathComesFromDdDeviceWhenSet) {
  EXPECT_EQ(SerialPortPath(3), "/dev/ttyS2");
  env_.Set("DD_DEVICE", "");
  EXPECT_EQ(SerialPortPath(1), "/dev/ttyS0");
  env_.Set("DD_DEVICE", "/dev/pts/77");
  EXPECT_EQ(SerialPortPath(1), "/dev/pts/77");
}

TEST_F(SerialTest, PortIsExclusiveTakesAnyRateAndOpensAgainAfterClosing) {
  Pty pty;
  ASSERT_FALSE(pty.slave().empty());
  SerialPort port;
  ASSERT_TRUE(port.Open(pty.slave())) << std::strerror(port.LastError());
  for (uint32_t rate : {115200u, 1000u, 138u}) {
    ASSERT_TRUE(port.Setup(rate)) << std::strerror(port.LastError());
    uint32_t set = 0;
    ASSERT_TRUE(port.Rate(set));
    EXPECT_EQ(set, rate);
  }
  EXPECT_TRUE(port.SetRts(true));  // no modem lines: no error
  SerialPort second;
  EXPECT_FALSE(second.Open(pty.slave()));
  EXPECT_EQ(second.LastError(), EBUSY);
  // A moved port is still the one open port; closing it frees the line.
  SerialPort moved = std::move(port);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(moved.IsOpen());
  moved.Close();
  EXPECT_TRUE(second.Open(pty.slave()));
}

TEST_F(SerialTest, OpenFailureNamesThePortAndKeepsTheSystemReason) {
  env_.Set("DD_DEVICE", "/nonexistent/serial");
  env_.Set("DD_COM", "4");
  EXPECT_FALSE(OpenSerialDrivePort());
  EXPECT_EQ(ErrorList(), std::vector<std::string>{"Error opening COM4:"});
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(PendingCleanups(), 0u);

  // A device that is no terminal fails in the set-up; the port is still
  // closed by its clean-up.
  test::TempDir dir;
  env_.Set("DD_DEVICE", dir.Write("plain", "x").c_str());
  env_.Set("DD_COM", nullptr);
  ClearErrors();
  EXPECT_FALSE(OpenSerialDrivePort());
  EXPECT_EQ(ErrorList(), std::vector<std::string>{"Error opening COM1:"});
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOTTY));
  EXPECT_EQ(PendingCleanups(), 1u);
}

// ---------------------------------------------------------------------------
// The back-end against a device played by a thread on the master side

// Answers SOH with STX and a whole request with ACK, then sends what the
// answer function returns for the request (nothing: no response).
class PtyDevice {
 public:
  using Answer = std::function<Bytes(const Bytes& request)>;

  explicit PtyDevice(Answer answer) : answer_(std::move(answer)) {
    if (pty_.master() < 0 || pipe2(stop_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { Run(); });
  }
  ~PtyDevice() {
    if (thread_.joinable()) {
      (void)!write(stop_[1], "x", 1);
      thread_.join();
    }
    for (int fd : stop_)
      if (fd >= 0) close(fd);
  }
  const std::string& slave() const { return pty_.slave(); }
  std::vector<Bytes> requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Send(const Bytes& bytes) {
    if (!bytes.empty()) (void)!write(pty_.master(), bytes.data(), bytes.size());
  }
  void Run() {
    uint8_t buffer[kSerialBufferSize] = {};
    FrameReceiver receiver(buffer);
    bool in_frame = false;
    for (;;) {
      pollfd fds[2] = {{pty_.master(), POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      if ((fds[0].revents & POLLIN) == 0) {
        in_frame = false;  // hung up: nobody has the slave open
        poll(nullptr, 0, 5);
        continue;
      }
      uint8_t byte = 0;
      if (read(pty_.master(), &byte, 1) != 1) continue;
      if (!in_frame) {
        if (byte == kSoh) {
          Send({kStx});
          receiver.Reset();
          in_frame = true;
        }
        continue;
      }
      size_t used = 0;
      if (receiver.Take(&byte, 1, used) == FrameReceiver::State::kMore) continue;
      in_frame = false;
      Bytes request(buffer, buffer + receiver.count());
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      Send({kAck});
      Send(answer_(request));
    }
  }

  Pty pty_;
  Answer answer_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Bytes> requests_;
};

// A good drive with a card of `sectors` sectors whose sectors hold 0x5C.
Bytes GoodAnswer(const Bytes& request, uint32_t sectors) {
  Bytes payload;
  switch (request[3]) {
    case kCmdIdentification:
      payload.assign({'T', 'e', 's', 't', ' ', 'd', 'r', 'i', 'v', 'e', 0, 'x'});
      break;
    case kCmdCardStatus:
      payload = {0};
      break;
    case kCmdIdentifyCard:
      payload.resize(kIdentifySize);
      EncodeIdentify(SynthesizeIdentify(sectors), payload.data());
      break;
    case kCmdCapacity:
      payload.resize(4);
      Put32(payload.data(), sectors);
      break;
    case kCmdReadSector:
      payload.assign(kSectorBytes, 0x5C);
      break;
    default:
      break;
  }
  return Frame(request[2], 0, payload);
}

// A job host whose user presses Escape `after_ms` after it was made.
class EscapeHost : public test::RecordingHost {
 public:
  explicit EscapeHost(int64_t after_ms) : at_(MonotonicMillis() + after_ms) {}
  bool PollKey(int& key) override {
    ++polls;
    if (MonotonicMillis() < at_) return false;
    key = kKeyEscape;
    return true;
  }

 private:
  int64_t at_;
};

double ThreadCpuMillis() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

TEST_F(SerialTest, SequenceCarriesOnAcrossOpeningsAndTheTextEndsAtNul) {
  PtyDevice device([](const Bytes& request) { return GoodAnswer(request, 100); });
  env_.Set("DD_DEVICE", device.slave().c_str());
  std::string text;
  ASSERT_TRUE(OpenSerialDrivePort());
  ASSERT_TRUE(SendSerialIdentification(&text));
  EXPECT_EQ(text, "Test drive");
  ASSERT_TRUE(SendSerialIdentification());
  RunCleanups();
  ASSERT_TRUE(OpenSerialDrivePort());
  ASSERT_TRUE(SendSerialIdentification());
  std::vector<Bytes> requests = device.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1][2], static_cast<uint8_t>(requests[0][2] + 1));
  EXPECT_EQ(requests[2][2], static_cast<uint8_t>(requests[0][2] + 2));
  EXPECT_TRUE(ErrorList().empty());
}

TEST_F(SerialTest, OpenLogsTheDriveAndTheCardAndAppliesTheCardsize) {
  PtyDevice device([](const Bytes& request) { return GoodAnswer(request, 1000); });
  env_.Set("DD_DEVICE", device.slave().c_str());
  test::TempDir dir;
  ASSERT_TRUE(OpenJobLog(dir.File("job.log")));
  ASSERT_TRUE(OpenSectorDevice("****anything", 0, 3)) << JoinErrors(true);
  EXPECT_EQ(SectorDeviceCapacity(), 3u);
  uint8_t sector[kSectorBytes] = {};
  ASSERT_TRUE(ReadSector(sector, 2));
  EXPECT_EQ(sector[511], 0x5C);
  uint8_t data[kSectorBytes] = {};
  ASSERT_TRUE(WriteSector(data, 2));
  RunCleanups();
  std::vector<std::string> expected = {"Open logfile",
                                       "Test drive",
                                       "KDV Card Image 1.00 (#IMG1000)",
                                       "Capacity 1000 sectors (approx. 0.5 MB)",
                                       "Used capacity 3 sectors",
                                       "Open card driver ****anything",
                                       "Close logfile"};
  EXPECT_EQ(LogLines(dir), expected);
  std::vector<uint8_t> codes;
  for (const Bytes& request : device.requests()) codes.push_back(request[3]);
  EXPECT_EQ(codes, (std::vector<uint8_t>{kCmdIdentification, kCmdSelectSlot, kCmdCardStatus,
                                         kCmdIdentifyCard, kCmdCapacity, kCmdReadSector,
                                         kCmdWriteSector}));
  EXPECT_EQ(device.requests()[5][kRequestSlotOffset], 0);
  EXPECT_EQ(Get32(device.requests()[6].data() + kRequestSectorOffset), 2u);

  ClearErrors();
  EXPECT_FALSE(OpenSectorDevice("****", 1, 0));
  EXPECT_EQ(ErrorList(), (std::vector<std::string>{"Slot 1 not available",
                                                   "Error while opening PC Card on '****'"}));
}

TEST_F(SerialTest, ResponsesTooShortForTheirCommandFailWithoutReadingStaleBytes) {
  struct Case {
    const char* name;
    uint8_t code;
    Bytes response;  // for the command `code`; the others are answered well
  };
  const Case cases[] = {
      {"identity of 10 bytes", kCmdIdentifyCard, Frame(0, 0, Bytes(10, 0x20))},
      {"capacity of 2 bytes", kCmdCapacity, Frame(0, 0, {1, 2})},
      {"status without flags", kCmdCardStatus, Frame(0, 0, {})},
      {"frame of L = 0", kCmdSelectSlot, {0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtyDevice device([&c](const Bytes& request) {
      return request[3] == c.code ? c.response : GoodAnswer(request, 1000);
    });
    env_.Set("DD_DEVICE", device.slave().c_str());
    ClearErrors();
    EXPECT_FALSE(OpenSectorDevice("****", 0, 0));
    EXPECT_EQ(ErrorList(), std::vector<std::string>{"Error while opening PC Card on '****'"});
    EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(EPROTO));
    RunCleanups();
  }
}

TEST_F(SerialTest, GarbageResponsesEndInOneOfTheReceiversMessages) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  std::mutex mutex;
  Bytes garbage;
  PtyDevice device([&](const Bytes&) {
    std::lock_guard<std::mutex> lock(mutex);
    return garbage;
  });
  env_.Set("DD_DEVICE", device.slave().c_str());
  env_.Set("DD_TCMDRSP", "500");
  env_.Set("DD_TBYTBYT", "100");
  ASSERT_TRUE(OpenSerialDrivePort());
  for (int round = 0; round < 24; ++round) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      // Lengths around the buffer's end, or any; bytes of any value.
      const size_t sizes[] = {1, 2, 5, 527, 528, 529, 700};
      garbage.assign(round % 3 == 0 ? sizes[next() % 7] : 1 + next() % 40, 0);
      for (uint8_t& byte : garbage) byte = next();
      if (round % 4 == 1) Put16(garbage.data(), 0xFFFF);
    }
    SCOPED_TRACE(round);
    ClearErrors();
    const int64_t start = MonotonicMillis();
    std::string text;
    if (SendSerialIdentification(&text)) continue;
    EXPECT_LT(MonotonicMillis() - start, 500 + 200);
    if (ErrorList().empty()) {
      EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(EPROTO));
      continue;
    }
    ASSERT_EQ(ErrorList().size(), 1u);
    const std::string& message = ErrorList()[0];
    EXPECT_TRUE(message == "Receiver overflow" || message == "Receiver timeout" ||
                message == "Receiver checksum" || message.rfind("Command error ", 0) == 0)
        << message;
    // Bytes that stay on the line after a broken frame would spoil the next
    // handshake: start each round on a clean line, as a new opening does.
    RunCleanups();
    ASSERT_TRUE(OpenSerialDrivePort());
  }
}

TEST_F(SerialTest, SilentLineTimesOutWithoutBurningTheProcessor) {
  Pty pty;  // nobody answers
  env_.Set("DD_DEVICE", pty.slave().c_str());
  env_.Set("DD_TSOHSTX", "400");
  ASSERT_TRUE(OpenSerialDrivePort());
  const int64_t start = MonotonicMillis();
  const double cpu = ThreadCpuMillis();
  EXPECT_FALSE(SendSerialIdentification());
  const int64_t elapsed = MonotonicMillis() - start;
  EXPECT_EQ(ErrorList(), std::vector<std::string>{"Timeout error (waiting for 0x02)"});
  EXPECT_GE(elapsed, 400);
  EXPECT_LT(elapsed, 700);
  EXPECT_LT(ThreadCpuMillis() - cpu, 40.0);  // a spinning wait would use about 400
}

TEST_F(SerialTest, EscapeBreaksEveryWaitWithin50Milliseconds) {
  struct Case {
    const char* name;
    bool acknowledge;  // false: never STX; true: STX and ACK, but no response
  };
  for (const Case c : {Case{"waiting for STX", false}, Case{"receiving", true}}) {
    SCOPED_TRACE(c.name);
    std::optional<Pty> silent;
    std::optional<PtyDevice> mute;
    if (c.acknowledge) {
      mute.emplace([](const Bytes&) { return Bytes(); });
      env_.Set("DD_DEVICE", mute->slave().c_str());
    } else {
      silent.emplace();
      env_.Set("DD_DEVICE", silent->slave().c_str());
    }
    env_.Set("DD_TSOHSTX", "10000");
    env_.Set("DD_TCMDRSP", "10000");
    ClearErrors();
    ASSERT_TRUE(OpenSerialDrivePort());
    EscapeHost host(200);
    ScopedJobHost scoped(&host);
    const int64_t start = MonotonicMillis();
    EXPECT_FALSE(SendSerialIdentification());
    const int64_t elapsed = MonotonicMillis() - start;
    EXPECT_EQ(ErrorList(), std::vector<std::string>{"User break"});
    EXPECT_GE(elapsed, 195);
    EXPECT_LE(elapsed, 200 + 50);
    RunCleanups();
  }
}

// A hung-up line ends the exchange with the time-out's message at once,
// without spinning and without sitting out the wait.
TEST_F(SerialTest, DeviceThatVanishesEndsAtOnceWithTheTimeOutMessage) {
  std::optional<Pty> pty;
  pty.emplace();
  env_.Set("DD_DEVICE", pty->slave().c_str());
  env_.Set("DD_TSOHSTX", "3000");
  ASSERT_TRUE(OpenSerialDrivePort());
  pty.reset();  // the master closes: the slave hangs up
  const double cpu = ThreadCpuMillis();
  const int64_t start = MonotonicMillis();
  EXPECT_FALSE(SendSerialIdentification());
  EXPECT_LT(MonotonicMillis() - start, 3000);
  EXPECT_EQ(ErrorList().back(), "Timeout error (waiting for 0x02)");
  EXPECT_LT(ThreadCpuMillis() - cpu, 40.0);
}

}  // namespace
}  // namespace qb
