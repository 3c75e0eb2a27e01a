#include "cardsim/simulated_drive.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cardio/driver_records.h"
#include "format/byte_order.h"

namespace qb::cardsim {

namespace {

constexpr uint8_t kNak = 0x15;
constexpr uint8_t kStatusBadCommand = 1;
constexpr uint8_t kStatusNoSuchSector = 2;
constexpr uint8_t kStatusProtected = 3;
constexpr uint8_t kStatusCardFailed = 4;
// The frame of the overflow fault: L well beyond any buffer.
constexpr uint16_t kOverflowLength = 600;
constexpr char kIdentification[] = "cardsim serial card drive V1.00";

struct FaultName {
  const char* name;
  SerialFault fault;
};

const FaultName kFaultNames[] = {
    {"soh", SerialFault::kSohAnswer},
    {"no-stx", SerialFault::kNoStx},
    {"no-ack", SerialFault::kNoAck},
    {"checksum", SerialFault::kChecksum},
    {"status1", SerialFault::kStatus1},
    {"status10", SerialFault::kStatus10},
    {"truncate", SerialFault::kTruncate},
    {"overflow", SerialFault::kOverflow},
    {"unsupported", SerialFault::kUnsupported},
    {"protected", SerialFault::kProtected},
    {"slow", SerialFault::kSlow},
};

bool ParseCommandCode(const std::string& text, int& code) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > 0xFF || text[0] == '-' || text[0] == '+') return false;
  code = static_cast<int>(value);
  return true;
}

}  // namespace

bool ParseFaultRule(const std::string& text, FaultRule& rule, std::string& error) {
  const size_t colon = text.find(':');
  const std::string mode = text.substr(0, colon);
  bool known = false;
  for (const FaultName& entry : kFaultNames) {
    if (mode == entry.name) {
      rule.fault = entry.fault;
      known = true;
    }
  }
  if (!known) {
    error = "unknown fault mode \"" + mode + "\" (see cardsim --help)";
    return false;
  }
  rule.command = -1;
  if (colon != std::string::npos && !ParseCommandCode(text.substr(colon + 1), rule.command)) {
    error = "bad command code in --fault " + text + " (a number from 0 to 0xFF)";
    return false;
  }
  return true;
}

SimulatedDrive::SimulatedDrive(const std::vector<FaultRule>& faults, CardImage& image,
                               bool writable)
    : faults_(faults), image_(image), writable_(writable), receiver_(request_) {}

Line SimulatedDrive::Take(const uint8_t* data, size_t size, DriveLine& line) {
  for (size_t i = 0; i < size; ++i) {
    Line state = TakeByte(data[i], i, line);
    if (state != Line::kOk) return state;
  }
  return Line::kOk;
}

Line SimulatedDrive::TakeByte(uint8_t byte, size_t index, DriveLine& line) {
  if (!in_frame_) {
    if (byte != kSoh) return Line::kOk;  // noise between exchanges
    Line state = line.Answering(index);
    return state == Line::kOk ? AnswerSoh(line) : state;
  }
  size_t used = 0;
  FrameReceiver::State state = receiver_.Take(&byte, 1, used);
  if (state == FrameReceiver::State::kMore) {
    // A length no request can have: drop the frame.
    if (receiver_.count() == 2 &&
        (receiver_.length() < kFrameHeaderSize || receiver_.length() > kMaxFrameLength))
      in_frame_ = false;
    return Line::kOk;
  }
  if (state != FrameReceiver::State::kComplete || !receiver_.HasHeader()) {
    in_frame_ = false;  // a spoilt request is not acknowledged
    return Line::kOk;
  }
  Line answering = line.Answering(index);
  return answering == Line::kOk ? AnswerRequest(line) : answering;
}

const FaultRule* SimulatedDrive::FindRule(std::initializer_list<SerialFault> faults,
                                          uint8_t code) const {
  for (const FaultRule& rule : faults_) {
    if (rule.command >= 0 && rule.command != code) continue;
    if (std::find(faults.begin(), faults.end(), rule.fault) != faults.end()) return &rule;
  }
  return nullptr;
}

const FaultRule* SimulatedDrive::FindHandshakeRule(
    std::initializer_list<SerialFault> faults) const {
  for (const FaultRule& rule : faults_) {
    if (std::find(faults.begin(), faults.end(), rule.fault) == faults.end()) continue;
    if (rule.command < 0) return &rule;
    switch (expect_) {
      case Expect::kIdentification:
        if (rule.command == kCmdIdentification) return &rule;
        break;
      case Expect::kSelect:
        if (rule.command == kCmdSelectSlot) return &rule;
        break;
      case Expect::kStatus:
        if (rule.command == kCmdCardStatus) return &rule;
        break;
      case Expect::kIdentify:
        if (rule.command == kCmdIdentifyCard) return &rule;
        break;
      case Expect::kCapacity:
        if (rule.command == kCmdCapacity) return &rule;
        break;
      case Expect::kSector:
        if (rule.command == kCmdReadSector || rule.command == kCmdWriteSector) return &rule;
        break;
    }
  }
  return nullptr;
}

Line SimulatedDrive::AnswerSoh(DriveLine& line) {
  const FaultRule* rule = FindHandshakeRule({SerialFault::kSohAnswer, SerialFault::kNoStx});
  if (rule != nullptr && rule->fault == SerialFault::kNoStx) return Line::kOk;
  if (rule != nullptr) return line.Send(&kNak, 1);
  in_frame_ = true;
  receiver_.Reset();
  return line.Send(&kStx, 1);
}
uint8_t SimulatedDrive::Execute(uint8_t code, const uint8_t* payload, size_t size, uint8_t* answer,
                                size_t& answer_size) {
  answer_size = 0;
  const uint64_t sectors = image_.SectorCount();
  // Every command but the identification names the slot first; there is
  // only slot 0.
  const bool slot_command = code == kCmdSelectSlot || code == kCmdCardStatus ||
                            code == kCmdIdentifyCard || code == kCmdCapacity ||
                            code == kCmdReadSector || code == kCmdWriteSector;
  if (slot_command && size >= 1 && payload[0] != 0) return kStatusNoSuchSector;
  switch (code) {
    case kCmdIdentification:
      std::memcpy(answer, kIdentification, sizeof kIdentification);
      answer_size = sizeof kIdentification;
      return kStatusOk;
    case kCmdSelectSlot:
      return size == 1 ? kStatusOk : kStatusBadCommand;
    case kCmdCardStatus: {
      if (size != 1) return kStatusBadCommand;
      uint8_t flags = 0;
      if (FindRule({SerialFault::kUnsupported}, code)) flags |= kCardNotSupported;
      if (!writable_ || FindRule({SerialFault::kProtected}, code)) flags |= kCardWriteProtected;
      answer[0] = flags;
      answer_size = 1;
      return kStatusOk;
    }
    case kCmdIdentifyCard:
      if (size != 1) return kStatusBadCommand;
      EncodeIdentify(SynthesizeIdentify(sectors), answer);
      answer_size = kIdentifySize;
      return kStatusOk;
    case kCmdCapacity:
      if (size != 1) return kStatusBadCommand;
      Put32(answer, static_cast<uint32_t>(std::min<uint64_t>(sectors, UINT32_MAX)));
      answer_size = 4;
      return kStatusOk;
    case kCmdReadSector: {
      if (size != kReadRequestLength - kFrameHeaderSize) return kStatusBadCommand;
      uint32_t sector = Get32(payload + (kRequestSectorOffset - kFrameHeaderSize));
      if (sector >= sectors) return kStatusNoSuchSector;
      if (!image_.Read(sector, answer)) return kStatusCardFailed;
      answer_size = kSectorBytes;
      ++counters_.sectors_read;
      return kStatusOk;
    }
    case kCmdWriteSector: {
      if (size != kWriteRequestLength - kFrameHeaderSize) return kStatusBadCommand;
      uint32_t sector = Get32(payload + (kRequestSectorOffset - kFrameHeaderSize));
      if (sector >= sectors) return kStatusNoSuchSector;
      if (!writable_ || FindRule({SerialFault::kProtected}, code)) return kStatusProtected;
      if (!image_.Write(sector, payload + (kRequestDataOffset - kFrameHeaderSize), 1))
        return kStatusCardFailed;
      ++counters_.sectors_written;
      return kStatusOk;
    }
    default:
      return kStatusBadCommand;
  }
}

Line SimulatedDrive::AnswerRequest(DriveLine& line) {
  in_frame_ = false;
  const uint8_t sequence = request_[2];
  const uint8_t code = request_[3];
  switch (code) {
    case kCmdIdentification:
      expect_ = Expect::kSelect;
      break;
    case kCmdSelectSlot:
      expect_ = Expect::kStatus;
      break;
    case kCmdCardStatus:
      expect_ = Expect::kIdentify;
      break;
    case kCmdIdentifyCard:
      expect_ = Expect::kCapacity;
      break;
    default:
      expect_ = Expect::kSector;
      break;
  }
  const FaultRule* rule = FindRule(
      {SerialFault::kNoAck, SerialFault::kChecksum, SerialFault::kStatus1, SerialFault::kStatus10,
       SerialFault::kTruncate, SerialFault::kOverflow, SerialFault::kSlow},
      code);
  const SerialFault fault = rule != nullptr ? rule->fault : SerialFault::kSohAnswer;
  if (rule != nullptr && fault == SerialFault::kNoAck) return Line::kOk;
  Line sent = line.Send(&kAck, 1);
  if (sent != Line::kOk) return sent;
  ++counters_.exchanges;

  uint8_t answer[kSerialBufferSize] = {};
  size_t answer_size = 0;
  uint8_t status = kStatusBadCommand;
  if (rule == nullptr || fault != SerialFault::kStatus1)
    status =
        Execute(code, request_ + kFrameHeaderSize, receiver_.payload_size(), answer, answer_size);
  if (rule != nullptr && fault == SerialFault::kStatus10) status = kStatusOkAlso;

  uint8_t frame[kOverflowLength + 1] = {};
  size_t frame_size = 0;
  if (rule != nullptr && fault == SerialFault::kOverflow) {
    // A well-formed frame, only far longer than any receiver takes.
    Put16(frame, kOverflowLength);
    frame[2] = sequence;
    frame[3] = status;
    frame[kOverflowLength] = FrameChecksum(frame, kOverflowLength);
    frame_size = kOverflowLength + 1;
  } else {
    frame_size = BuildFrame(frame, sequence, status, answer, answer_size);
  }
  if (rule != nullptr && fault == SerialFault::kChecksum) frame[frame_size - 1] ^= 0xFF;
  if (rule != nullptr && fault == SerialFault::kTruncate) return line.Send(frame, frame_size / 2);
  if (rule != nullptr && fault == SerialFault::kSlow) return line.SendSlowly(frame, frame_size);
  return line.Send(frame, frame_size);
}

}  // namespace qb::cardsim
