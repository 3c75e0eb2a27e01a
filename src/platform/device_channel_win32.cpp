#include "platform/device_channel.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace qb {
namespace {

std::atomic<int> g_timeout_ms{kChannelDefaultTimeoutMs};

constexpr char kDevicePrefix[] = "\\\\.\\";  // the four characters \\.\ of a device name
constexpr size_t kDevicePrefixLength = 4;

}  // namespace

// Here the device name reaches the driver directly; there is no channel
// folder.
std::string DeviceChannelFolder() {
  const char* folder = std::getenv("DD_KDVDIR");
  if (folder != nullptr && folder[0] != '\0') return folder;
  return std::string();
}

std::string DeviceChannelPath(const std::string& device_name) {
  if (device_name.compare(0, kDevicePrefixLength, kDevicePrefix) != 0) return std::string();
  std::string name = device_name.substr(kDevicePrefixLength);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
    return std::string();
  }
  return device_name;
}

struct DeviceChannelHandle {
  HANDLE device = INVALID_HANDLE_VALUE;
};

DeviceChannel::DeviceChannel() : handle_(std::make_unique<DeviceChannelHandle>()) {}

DeviceChannel::~DeviceChannel() {
  Close();
}

DeviceChannel::DeviceChannel(DeviceChannel&& other) noexcept
    : handle_(std::exchange(other.handle_, std::make_unique<DeviceChannelHandle>())) {}

DeviceChannel& DeviceChannel::operator=(DeviceChannel&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(handle_, other.handle_);
  }
  return *this;
}

bool DeviceChannel::IsOpen() const {
  return handle_->device != INVALID_HANDLE_VALUE;
}

bool DeviceChannel::Open(const std::string& device_name, int& error) {
  Close();
  error = 0;
  std::string path = DeviceChannelPath(device_name);
  if (path.empty()) {
    error = ERROR_FILE_NOT_FOUND;
    return false;
  }
  HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  handle_->device = device;
  return true;
}

ChannelReply DeviceChannel::Control(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
                                    uint32_t out_cap) {
  ChannelReply reply;
  // The driver answers every call itself: its result is the call's error
  // code, and the exchange as such never breaks.
  if (!IsOpen()) {
    reply.result = ERROR_INVALID_HANDLE;
    return reply;
  }
  if ((in == nullptr && in_len != 0) || (out == nullptr && out_cap != 0)) {
    reply.result = ERROR_INVALID_PARAMETER;
    return reply;
  }
  DWORD returned = 0;
  if (DeviceIoControl(handle_->device, code, const_cast<uint8_t*>(in), in_len, out, out_cap,
                      &returned, nullptr) == 0) {
    reply.result = static_cast<uint32_t>(GetLastError());
    return reply;
  }
  reply.out_len = returned <= out_cap ? returned : out_cap;
  return reply;
}

void DeviceChannel::Close() {
  if (handle_ == nullptr || handle_->device == INVALID_HANDLE_VALUE) return;
  CloseHandle(std::exchange(handle_->device, INVALID_HANDLE_VALUE));
}

int SetDeviceChannelTimeout(int millis) {
  return g_timeout_ms.exchange(millis);
}

// The serving side belongs to the driver here: none of it is offered.

size_t DeviceChannelMaxPath() {
  return 0;
}

bool DeviceChannelListen(const std::string&, ChannelServer& server) {
  server = ChannelServer{};
  errno = ERROR_NOT_SUPPORTED;
  return false;
}

void DeviceChannelUnlisten(const std::string&, ChannelServer& server) {
  server = ChannelServer{};
}

ChannelRead DeviceChannelReadRequest(int, int, ChannelRequest&) {
  return ChannelRead::kBroken;
}

bool DeviceChannelWriteReply(int, int, uint32_t, const uint8_t*, uint32_t) {
  return false;
}

}  // namespace qb
