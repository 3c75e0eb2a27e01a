#include "driver_service.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cardio/driver_records.h"
#include "format/sector.h"

namespace qb::carddriver {
namespace {

constexpr uint16_t kVersionMajor = 1;
constexpr uint16_t kVersionMinor = 0;
constexpr uint16_t kApiMajor = 1;
constexpr uint16_t kApiMinor = 0;
constexpr char kDriverName[] = "carddriver";

Reply Answer(uint32_t result) {
  return Reply{result, {}};
}

// Whole transfer at a 64-bit offset, retrying short transfers and EINTR.
template <typename Buffer, typename Io>
bool TransferAll(int fd, Buffer data, size_t size, uint64_t offset, Io io) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = io(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The card's byte range for `length` bytes at `offset`: both whole sectors,
// 1 to 64 sectors long. Returns 0 or the result to answer.
uint32_t CheckRange(uint32_t offset, uint32_t length, uint64_t sectors) {
  if (length == 0 || length > kMaxWritePiece || length % kSectorSize != 0 ||
      offset % kSectorSize != 0) {
    return kKdvErrParameter;
  }
  uint64_t end = static_cast<uint64_t>(offset) + length;
  return end > sectors * kSectorSize ? kKdvErrBadSector : kDriverOk;
}

// Whether the client of `session` (its connection) has closed its end.
bool SessionGone(int session) {
  pollfd peer{session, POLLRDHUP, 0};
  int n;
  do {
    n = poll(&peer, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace

DriverService::~DriverService() {
  for (auto& [slot, card] : cards_) {
    if (card.fd >= 0) close(card.fd);
  }
}

bool DriverService::Start(const DriverSetup& setup, std::string& error) {
  setup_ = setup;
  for (const auto& [slot, slot_setup] : setup.slot) {
    if (slot_setup.path.empty() || slot_setup.empty) continue;
    Card card;
    card.write_protected = slot_setup.write_protected;
    card.non_ata = slot_setup.non_ata;
    card.fd = open(slot_setup.path.c_str(), O_RDWR | O_CLOEXEC);
    if (card.fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      card.fd = open(slot_setup.path.c_str(), O_RDONLY | O_CLOEXEC);
      card.write_protected = true;
    }
    if (card.fd < 0) {
      error = "cannot open " + slot_setup.path + ": " + std::strerror(errno);
      return false;
    }
    off_t length = lseek(card.fd, 0, SEEK_END);
    if (length < 0) {
      error = "cannot size " + slot_setup.path + ": " + std::strerror(errno);
      close(card.fd);
      return false;
    }
    card.sectors = static_cast<uint64_t>(length) / kSectorSize;
    cards_[slot] = card;
  }
  return true;
}

Reply DriverService::Handle(const ChannelRequest& request, int session) {
  std::lock_guard<std::mutex> hold(mutex_);
  switch (request.code) {
    case kDriverInfoCode:
      return Info(request);
    case kSlotStatusCode:
      return Status(request, session);
    case kIdentifyCode:
      return Identify(request, session);
    case kReadCode:
      return Read(request, session);
    case kWriteCode:
      return Write(request, session);
    default:
      return Answer(kKdvErrBadRequest);
  }
}

void DriverService::EndSession(int session) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto& [slot, card] : cards_) {
    if (card.owner != session) continue;
    card.owner = -1;
    (void)flock(card.fd, LOCK_UN);
  }
}

uint32_t DriverService::Claim(Card& card, int session) {
  if (card.owner == session) return kDriverOk;
  // A client that has hung up holds nothing any more, even before its
  // session has seen the end: a job that closes the card and the next job
  // that opens it (in this slot or another slot with the same image) follow
  // each other without a busy answer between them.
  for (auto& [slot, held] : cards_) {
    if (held.owner < 0 || held.owner == session || !SessionGone(held.owner)) continue;
    held.owner = -1;
    (void)flock(held.fd, LOCK_UN);
  }
  if (card.owner >= 0) return kKdvErrBusy;
  int rc;
  do {
    rc = flock(card.fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  // A job holds the image itself; a file system without locks is served
  // without one.
  if (rc != 0 && errno == EWOULDBLOCK) return kKdvErrBusy;
  card.owner = session;
  return kDriverOk;
}

DriverService::Card* DriverService::CardIn(uint16_t slot, int session, uint32_t& result) {
  if (slot >= setup_.slots) {
    result = kKdvErrNoDevice;
    return nullptr;
  }
  auto found = cards_.find(slot);
  if (found == cards_.end()) {
    result = kKdvErrNotReady;
    return nullptr;
  }
  result = Claim(found->second, session);
  return result == kDriverOk ? &found->second : nullptr;
}

Reply DriverService::Info(const ChannelRequest& request) const {
  if (request.out_cap < kDriverInfoSize) return Answer(kKdvErrParameter);
  DriverInfo info;
  info.signature = setup_.signature;
  info.name = kDriverName;
  info.version_major = kVersionMajor;
  info.version_minor = kVersionMinor;
  info.api_major = kApiMajor;
  info.api_minor = kApiMinor;
  info.slots = setup_.slots;
  Reply reply;
  reply.output.resize(kDriverInfoSize);
  EncodeDriverInfo(info, reply.output.data());
  return reply;
}

Reply DriverService::Status(const ChannelRequest& request, int session) {
  if (request.input.size() < kDriverRequestSize) return Answer(kKdvErrBadRequest);
  if (request.out_cap < kSlotStatusSize) return Answer(kKdvErrParameter);
  uint16_t slot = DecodeDriverRequest(request.input.data()).first;
  if (slot >= setup_.slots) return Answer(kKdvErrNoDevice);
  Reply reply;
  reply.output.assign(kSlotStatusSize, 0);
  auto found = cards_.find(slot);
  if (found != cards_.end()) {
    // Every job asks for the status when it opens the card: a card in use
    // elsewhere refuses the job here, before it reads or writes anything.
    if (uint32_t result = Claim(found->second, session); result != kDriverOk) {
      return Answer(result);
    }
    reply.output[0] = kSlotCardInserted;
    if (found->second.write_protected) reply.output[0] |= kSlotWriteProtected;
  }
  return reply;
}

Reply DriverService::Identify(const ChannelRequest& request, int session) {
  if (request.input.size() < kDriverRequestSize) return Answer(kKdvErrBadRequest);
  if (request.out_cap < kIdentifySize) return Answer(kKdvErrParameter);
  uint32_t result = kDriverOk;
  Card* card = CardIn(DecodeDriverRequest(request.input.data()).first, session, result);
  if (card == nullptr) return Answer(result);
  if (card->non_ata) return Answer(kKdvErrMediaAccess);
  IdentifyData identity = SynthesizeIdentify(card->sectors);
  if (setup_.chs_only) identity.validity = 0;
  Reply reply;
  reply.output.resize(kIdentifySize);
  EncodeIdentify(identity, reply.output.data());
  return reply;
}

Reply DriverService::Read(const ChannelRequest& request, int session) {
  if (request.input.size() < kDriverRequestSize) return Answer(kKdvErrBadRequest);
  DriverRequest fields = DecodeDriverRequest(request.input.data());
  if (fields.first != kReadRequestMarker) return Answer(kKdvErrParameter);
  uint32_t result = kDriverOk;
  Card* card = CardIn(fields.slot, session, result);
  if (card == nullptr) return Answer(result);
  // The caller's output capacity is the length to read.
  result = CheckRange(fields.offset, request.out_cap, card->sectors);
  if (result != kDriverOk) return Answer(result);
  Reply reply;
  reply.output.resize(request.out_cap);
  if (!TransferAll(card->fd, reply.output.data(), reply.output.size(), fields.offset, pread)) {
    return Answer(kKdvErrReadFault);
  }
  return reply;
}

Reply DriverService::Write(const ChannelRequest& request, int session) {
  if (request.input.size() < kWriteHeaderSize) return Answer(kKdvErrBadRequest);
  WriteHeader header = DecodeWriteHeader(request.input.data());
  if (header.first != kReadRequestMarker || header.marker != kWriteMarker ||
      header.length != request.input.size() - kWriteHeaderSize) {
    return Answer(kKdvErrParameter);
  }
  uint32_t result = kDriverOk;
  Card* card = CardIn(header.slot, session, result);
  if (card == nullptr) return Answer(result);
  if (card->write_protected) return Answer(kKdvErrProtected);
  result = CheckRange(header.offset, header.length, card->sectors);
  if (result != kDriverOk) return Answer(result);
  if (!TransferAll(card->fd, request.input.data() + kWriteHeaderSize, header.length, header.offset,
                   pwrite)) {
    return Answer(kKdvErrWriteFault);
  }
  return Answer(kDriverOk);
}

}  // namespace qb::carddriver
