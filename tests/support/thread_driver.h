// A card driver on a thread of the test process: it serves the device
// channel under a device name, one connection at a time, and answers each
// request with whatever bytes the test's handler gives, well-formed or not.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cardio/driver_records.h"
#include "format/byte_order.h"
#include "format/sector.h"
#include "platform/device_channel.h"

namespace qb::test {

// What a test driver sends for one request: any bytes, then perhaps hangs up.
struct RawReply {
  std::string bytes;
  bool hang_up = false;
};

inline std::string ReplyBytes(uint32_t result, const std::vector<uint8_t>& output) {
  std::string bytes(kChannelReplyHeaderSize, '\0');
  Put32(reinterpret_cast<uint8_t*>(bytes.data()), result);
  Put32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, static_cast<uint32_t>(output.size()));
  return bytes + std::string(output.begin(), output.end());
}

// A driver on a thread of the test, one connection at a time.
class ThreadDriver {
 public:
  using Handler = std::function<RawReply(const ChannelRequest&)>;

  ThreadDriver(const std::string& device, Handler handler)
      : handler_(std::move(handler)), path_(DeviceChannelPath(device)) {
    if (!DeviceChannelListen(path_, server_) || pipe2(stop_, O_CLOEXEC) != 0) return;
    listener_ = server_.listener;
    thread_ = std::thread([this] { Run(); });
  }
  ~ThreadDriver() {
    if (thread_.joinable()) {
      (void)!write(stop_[1], "x", 1);
      thread_.join();
    }
    DeviceChannelUnlisten(path_, server_);
    for (int fd : {stop_[0], stop_[1]}) {
      if (fd >= 0) close(fd);
    }
  }
  bool listening() const { return listener_ >= 0; }

 private:
  void Run() {
    for (;;) {
      pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      ChannelRequest request;
      while (DeviceChannelReadRequest(client, stop_[0], request) == ChannelRead::kRequest) {
        RawReply reply = handler_(request);
        if (!reply.bytes.empty() &&
            send(client, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL) < 0) {
          break;
        }
        if (reply.hang_up) break;
      }
      close(client);
    }
  }

  Handler handler_;
  std::string path_;
  ChannelServer server_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

// A well-behaved driver with two slots and a card in each, whose identity
// the test chooses. Reads answer 0x11 bytes; writes succeed.
inline RawReply GoodDriver(const ChannelRequest& request, const IdentifyData& identity) {
  std::vector<uint8_t> output;
  switch (request.code) {
    case kDriverInfoCode: {
      DriverInfo info;
      info.signature = "KDV";
      info.name = "testdriver";
      info.version_major = 2;
      info.version_minor = 5;
      info.api_major = 1;
      info.api_minor = 3;
      info.slots = 2;
      output.resize(kDriverInfoSize);
      EncodeDriverInfo(info, output.data());
      break;
    }
    case kSlotStatusCode:
      output.assign(kSlotStatusSize, 0);
      output[0] = kSlotCardInserted;
      break;
    case kIdentifyCode:
      output.resize(kIdentifySize);
      EncodeIdentify(identity, output.data());
      break;
    case kReadCode:
      output.assign(kSectorSize, 0x11);
      break;
    default:
      break;
  }
  return {ReplyBytes(kDriverOk, output)};
}

}  // namespace qb::test
