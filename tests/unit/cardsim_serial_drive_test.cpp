// The simulated serial card drive on byte buffers: the host's bytes go in,
// the drive's answers come out through a line that only records them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cardio/serial_protocol.h"
#include "cardsim/card_image.h"
#include "cardsim/simulated_drive.h"
#include "format/byte_order.h"

namespace qb::cardsim {
namespace {

using Bytes = std::vector<uint8_t>;

// Records what the drive sends; can hang up at a chosen send.
class RecordingLine : public DriveLine {
 public:
  Line Answering(size_t) override { return Line::kOk; }
  Line Send(const uint8_t* data, size_t size) override { return Put(data, size, false); }
  Line SendSlowly(const uint8_t* data, size_t size) override { return Put(data, size, true); }

  Bytes sent;
  bool slowly = false;
  int hang_up_at = -1;  // the number of the send that finds the line gone

 private:
  Line Put(const uint8_t* data, size_t size, bool slow) {
    if (sends_++ == hang_up_at) return Line::kHangup;
    sent.insert(sent.end(), data, data + size);
    slowly = slowly || slow;
    return Line::kOk;
  }
  int sends_ = 0;
};

Bytes Frame(uint8_t sequence, uint8_t code, const Bytes& payload) {
  uint8_t frame[kSerialBufferSize] = {};
  size_t size = BuildFrame(frame, sequence, code, payload.data(), payload.size());
  return Bytes(frame, frame + size);
}

Bytes ReadRequest(uint32_t sector) {
  uint8_t frame[kSerialBufferSize] = {};
  size_t size = BuildReadRequest(frame, 7, 0, sector);
  return Bytes(frame, frame + size);
}

Bytes WriteRequest(uint32_t sector, uint8_t fill) {
  uint8_t data[kSectorBytes];
  std::memset(data, fill, sizeof data);
  uint8_t frame[kSerialBufferSize] = {};
  size_t size = BuildWriteRequest(frame, 7, 0, sector, data);
  return Bytes(frame, frame + size);
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SimulatedDriveTest : public ::testing::Test {
 protected:
  SimulatedDriveTest() : image_(4) {
    for (uint64_t s = 0; s < 4; ++s) std::memset(image_.Sector(s), static_cast<int>(0x10 + s), 512);
  }

  // One exchange: SOH, then the request; what the drive sent back.
  Bytes Exchange(SimulatedDrive& drive, const Bytes& request, RecordingLine line = {}) {
    Bytes bytes = Cat({kSoh}, request);
    EXPECT_EQ(drive.Take(bytes.data(), bytes.size(), line), Line::kOk);
    return line.sent;
  }

  MemoryCardImage image_;
};

TEST_F(SimulatedDriveTest, AnswersSohAndRequestsAgainstTheImage) {
  SimulatedDrive drive({}, image_, true);
  Bytes sector2(kSectorBytes, 0x12);
  EXPECT_EQ(Exchange(drive, ReadRequest(2)), Cat({kStx, kAck}, Frame(7, kStatusOk, sector2)));

  EXPECT_EQ(Exchange(drive, WriteRequest(1, 0xA5)), Cat({kStx, kAck}, Frame(7, kStatusOk, {})));
  EXPECT_EQ(image_.Sector(1)[0], 0xA5);
  EXPECT_EQ(image_.Sector(1)[511], 0xA5);

  // Beyond the card's end: status 2, and nothing written.
  EXPECT_EQ(Exchange(drive, ReadRequest(4)), Cat({kStx, kAck}, Frame(7, 2, {})));
  EXPECT_EQ(Exchange(drive, WriteRequest(4, 0)), Cat({kStx, kAck}, Frame(7, 2, {})));
  EXPECT_EQ(drive.counters().exchanges, 4u);
  EXPECT_EQ(drive.counters().sectors_read, 1u);
  EXPECT_EQ(drive.counters().sectors_written, 1u);

  // The capacity in sectors, u32 little-endian.
  uint8_t frame[kSerialBufferSize] = {};
  size_t size = BuildSlotRequest(frame, 7, kCmdCapacity, 0);
  EXPECT_EQ(Exchange(drive, Bytes(frame, frame + size)),
            Cat({kStx, kAck}, Frame(7, kStatusOk, {4, 0, 0, 0})));
}

TEST_F(SimulatedDriveTest, ReadOnlyImageRefusesWrites) {
  SimulatedDrive drive({}, image_, false);
  EXPECT_EQ(Exchange(drive, WriteRequest(1, 0xA5)), Cat({kStx, kAck}, Frame(7, 3, {})));
  EXPECT_EQ(image_.Sector(1)[0], 0x11);
}

TEST_F(SimulatedDriveTest, BytesAcrossCallsNoiseAndSpoiltRequests) {
  SimulatedDrive drive({}, image_, true);
  RecordingLine line;
  // Noise before SOH is passed over; a request may come in pieces.
  Bytes bytes = Cat({0x00, 0x7F, kSoh}, ReadRequest(0));
  for (uint8_t byte : bytes) ASSERT_EQ(drive.Take(&byte, 1, line), Line::kOk);
  EXPECT_EQ(line.sent, Cat({kStx, kAck}, Frame(7, kStatusOk, Bytes(kSectorBytes, 0x10))));
  EXPECT_FALSE(drive.in_frame());

  // A request with a wrong checksum is not acknowledged.
  Bytes spoilt = ReadRequest(0);
  spoilt.back() ^= 0xFF;
  EXPECT_EQ(Exchange(drive, spoilt), Bytes{kStx});
  EXPECT_FALSE(drive.in_frame());

  // A frame stopped half-way can be dropped, and the next one is served.
  Bytes half = Cat({kSoh}, ReadRequest(0));
  half.resize(half.size() / 2);
  line.sent.clear();
  drive.Take(half.data(), half.size(), line);
  EXPECT_TRUE(drive.in_frame());
  drive.DropFrame();
  EXPECT_EQ(Exchange(drive, ReadRequest(3)).size(), 2 + kFrameHeaderSize + kSectorBytes + 1);
}

TEST_F(SimulatedDriveTest, HangUpBeforeTheAckLeavesTheCardUnwritten) {
  SimulatedDrive drive({}, image_, true);
  RecordingLine line;
  line.hang_up_at = 1;  // the STX goes, the ACK does not
  Bytes bytes = Cat({kSoh}, WriteRequest(1, 0xA5));
  EXPECT_EQ(drive.Take(bytes.data(), bytes.size(), line), Line::kHangup);
  EXPECT_EQ(image_.Sector(1)[0], 0x11);
  EXPECT_EQ(drive.counters().exchanges, 0u);
}

TEST_F(SimulatedDriveTest, FaultModesChangeTheAnswer) {
  const Bytes full = Frame(7, kStatusOk, {});
  Bytes checksum = full;
  checksum.back() ^= 0xFF;
  struct Case {
    const char* rule;
    Bytes answer;
    bool written;
    bool slowly;
  } cases[] = {
      {"no-stx", {}, false, false},
      {"soh", {0x15}, false, false},
      {"no-ack:0x0D", {kStx}, false, false},
      {"status1", Cat({kStx, kAck}, Frame(7, 1, {})), false, false},
      {"status10:13", Cat({kStx, kAck}, Frame(7, kStatusOkAlso, {})), true, false},
      {"checksum", Cat({kStx, kAck}, checksum), true, false},
      {"truncate", Cat({kStx, kAck}, Bytes(full.begin(), full.begin() + full.size() / 2)), true,
       false},
      {"slow", Cat({kStx, kAck}, full), true, true},
      {"protected", Cat({kStx, kAck}, Frame(7, 3, {})), false, false},
      // A rule for another command leaves this one alone.
      {"status1:0x0C", Cat({kStx, kAck}, full), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    MemoryCardImage image(4, 0x00);
    FaultRule rule;
    std::string error;
    ASSERT_TRUE(ParseFaultRule(c.rule, rule, error)) << error;
    SimulatedDrive drive({rule}, image, true);
    RecordingLine line;
    Bytes bytes = Cat({kSoh}, WriteRequest(2, 0xA5));
    EXPECT_EQ(drive.Take(bytes.data(), bytes.size(), line), Line::kOk);
    EXPECT_EQ(line.sent, c.answer);
    EXPECT_EQ(line.slowly, c.slowly);
    EXPECT_EQ(image.Sector(2)[0], c.written ? 0xA5 : 0x00);
  }
}

TEST_F(SimulatedDriveTest, OverflowFrameIsLongerThanAnyBuffer) {
  FaultRule rule;
  std::string error;
  ASSERT_TRUE(ParseFaultRule("overflow", rule, error));
  SimulatedDrive drive({rule}, image_, true);
  Bytes answer = Exchange(drive, ReadRequest(0));
  ASSERT_GT(answer.size(), 2 + kSerialBufferSize);
  EXPECT_GT(Get16(answer.data() + 2), kMaxFrameLength);
}

}  // namespace
}  // namespace qb::cardsim
