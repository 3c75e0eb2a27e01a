#include "platform/device_channel.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace qb {
namespace {

std::atomic<int> g_timeout_ms{kChannelDefaultTimeoutMs};

constexpr char kDevicePrefix[] = "\\\\.\\";  // the four characters \\.\ of a device name
constexpr size_t kDevicePrefixLength = 4;

// Kernel handles fit in 32 bits (and are sign-extended back), so a device's
// handle travels in the same int as a descriptor does elsewhere.
HANDLE ToHandle(int handle) {
  return LongToHandle(handle);
}

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

int DeviceChannelOpen(const std::string& device_name) {
  std::string path = DeviceChannelPath(device_name);
  if (path.empty()) {
    errno = ERROR_FILE_NOT_FOUND;
    return -1;
  }
  HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    errno = static_cast<int>(GetLastError());
    return -1;
  }
  return HandleToLong(device);
}

uint32_t DeviceChannelControl(int handle, uint32_t code, const uint8_t* in, uint32_t in_len,
                              uint8_t* out, uint32_t out_cap, uint32_t& out_len,
                              int* system_error) {
  out_len = 0;
  // The driver answers every call itself: its result is the call's error
  // code, and the exchange as such never breaks.
  if (system_error != nullptr) *system_error = 0;
  if (handle < 0) return ERROR_INVALID_HANDLE;
  if ((in == nullptr && in_len != 0) || (out == nullptr && out_cap != 0)) {
    return ERROR_INVALID_PARAMETER;
  }
  DWORD returned = 0;
  if (DeviceIoControl(ToHandle(handle), code, const_cast<uint8_t*>(in), in_len, out, out_cap,
                      &returned, nullptr) == 0) {
    return static_cast<uint32_t>(GetLastError());
  }
  out_len = returned <= out_cap ? returned : out_cap;
  return 0;
}

void DeviceChannelClose(int handle) {
  if (handle >= 0) CloseHandle(ToHandle(handle));
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
